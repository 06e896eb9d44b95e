#include "render/wav_writer.h"

#include <cstring>

#include "audio/sample_convert.h"

namespace zelmora::render {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr int kChannels = 2;
constexpr int kBlockFrames = 4096;

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Float files carry a fact chunk (frames per channel); PCM files do not.
uint32_t HeaderSize(WavFormat format) {
    return format == WavFormat::kFloat32 ? 12 + 24 + 12 + 8 : 12 + 24 + 8;
}

}  // namespace

int BytesPerSample(WavFormat format) {
    switch (format) {
        case WavFormat::kInt16:
            return 2;
        case WavFormat::kInt24:
            return 3;
        case WavFormat::kInt32:
            return 4;
        case WavFormat::kFloat32:
            return 4;
    }
    return 2;
}

void EncodeSample(WavFormat format, double x, uint8_t* out) {
    switch (format) {
        case WavFormat::kInt16:
            PutU16(out, static_cast<uint16_t>(ConvertToInt16(x)));
            break;
        case WavFormat::kInt24: {
            // The same rule as the driver formats: truncation of x times full
            // scale minus one step.
            const uint32_t v = static_cast<uint32_t>(static_cast<int32_t>(x * 8388607.0));
            out[0] = static_cast<uint8_t>(v);
            out[1] = static_cast<uint8_t>(v >> 8);
            out[2] = static_cast<uint8_t>(v >> 16);
            break;
        }
        case WavFormat::kInt32:
            PutU32(out, static_cast<uint32_t>(ConvertToInt32(x)));
            break;
        case WavFormat::kFloat32: {
            const float f = static_cast<float>(x);
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            PutU32(out, bits);
            break;
        }
    }
}

namespace {

// Encodes n interleaved frames, the format fixed for the whole loop; returns
// the end of what was written.
template <WavFormat kFormat>
uint8_t* EncodeFrames(const double* left, const double* right, int n, uint8_t* out) {
    const int bytes = BytesPerSample(kFormat);
    for (int i = 0; i < n; ++i) {
        EncodeSample(kFormat, left[i], out);
        EncodeSample(kFormat, right[i], out + bytes);
        out += 2 * bytes;
    }
    return out;
}

}  // namespace

uint64_t WavWriter::MaxFrames(WavFormat format) {
    // The RIFF size field counts everything after its own eight bytes.
    const uint64_t room = 0xFFFFFFFFull - (HeaderSize(format) - 8);
    return room / (static_cast<uint64_t>(BytesPerSample(format)) * kChannels);
}

WavWriter::~WavWriter() {
    if (file_ && owned_) std::fclose(file_);
}

void WavWriter::Fail(const char* what) {
    if (error_.empty()) error_ = what;
}

bool WavWriter::Open(const std::string& path, uint32_t sampleRate, WavFormat format) {
    if (file_) Close();
    error_.clear();
    format_ = format;
    sampleRate_ = sampleRate;
    frames_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    owned_ = true;
    if (!file_) {
        Fail("cannot create the output file");
        return false;
    }
    return WriteHeader();
}

bool WavWriter::WriteHeader() {
    const int bytes = BytesPerSample(format_);
    const uint32_t dataSize = static_cast<uint32_t>(frames_ * bytes * kChannels);
    const uint32_t headerSize = HeaderSize(format_);
    uint8_t h[12 + 24 + 12 + 8];
    std::memcpy(h, "RIFF", 4);
    PutU32(h + 4, headerSize - 8 + dataSize);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    PutU32(h + 16, 16);
    PutU16(h + 20, format_ == WavFormat::kFloat32 ? kFormatFloat : kFormatPcm);
    PutU16(h + 22, kChannels);
    PutU32(h + 24, sampleRate_);
    PutU32(h + 28, sampleRate_ * static_cast<uint32_t>(bytes * kChannels));
    PutU16(h + 32, static_cast<uint16_t>(bytes * kChannels));
    PutU16(h + 34, static_cast<uint16_t>(bytes * 8));
    uint8_t* p = h + 36;
    if (format_ == WavFormat::kFloat32) {
        std::memcpy(p, "fact", 4);
        PutU32(p + 4, 4);
        PutU32(p + 8, static_cast<uint32_t>(frames_));
        p += 12;
    }
    std::memcpy(p, "data", 4);
    PutU32(p + 4, dataSize);
    if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(h, 1, headerSize, file_) != headerSize) {
        Fail("cannot write the output file");
        return false;
    }
    return true;
}

bool WavWriter::Write(const double* left, const double* right, int frames) {
    if (!file_) {
        Fail("the output file is not open");
        return false;
    }
    if (frames <= 0) return true;
    // SANITY: the format's sizes are 32-bit; past 4 GiB they would wrap and
    // the file would claim a fraction of its data, so writing stops instead.
    if (frames_ + static_cast<uint64_t>(frames) > MaxFrames(format_)) {
        Fail("the output is too long for a WAV file");
        return false;
    }
    for (int done = 0; done < frames;) {
        const int n = frames - done < kBlockFrames ? frames - done : kBlockFrames;
        uint8_t* p = block_;
        switch (format_) {
            case WavFormat::kInt16: p = EncodeFrames<WavFormat::kInt16>(left + done, right + done, n, p); break;
            case WavFormat::kInt24: p = EncodeFrames<WavFormat::kInt24>(left + done, right + done, n, p); break;
            case WavFormat::kInt32: p = EncodeFrames<WavFormat::kInt32>(left + done, right + done, n, p); break;
            case WavFormat::kFloat32: p = EncodeFrames<WavFormat::kFloat32>(left + done, right + done, n, p); break;
        }
        const std::size_t size = static_cast<std::size_t>(p - block_);
        if (std::fwrite(block_, 1, size, file_) != size) {
            Fail("cannot write the output file");
            return false;
        }
        done += n;
    }
    frames_ += static_cast<uint64_t>(frames);
    return true;
}

bool WavWriter::Attach(std::FILE* file, uint32_t sampleRate, WavFormat format) {
    if (file_) Close();
    error_.clear();
    format_ = format;
    sampleRate_ = sampleRate;
    frames_ = 0;
    file_ = file;
    owned_ = false;
    return file_ && WriteHeader();
}

bool WavWriter::Detach() {
    const bool ok = file_ && WriteHeader() && std::fflush(file_) == 0;
    file_ = nullptr;
    owned_ = true;
    return ok && error_.empty();
}

bool WavWriter::Close() {
    if (!owned_) return Detach();
    if (!file_) return error_.empty();
    bool ok = WriteHeader();
    if (std::fclose(file_) != 0) {
        Fail("cannot write the output file");
        ok = false;
    }
    file_ = nullptr;
    return ok && error_.empty();
}

}  // namespace zelmora::render
