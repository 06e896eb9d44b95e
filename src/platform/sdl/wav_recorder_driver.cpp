// The recording driver: a stand-in for a sound card that plays into a file.
// Its own thread keeps real time by the clock, asks the host for each half
// buffer in turn, and appends output channels 0 and 1 to a 32-bit stereo WAV
// file, whose sizes are written when the stream stops.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/sdl/substitute_driver.h"

namespace zelmora {

namespace {

constexpr uint32_t kWavHeaderBytes = 44;
// The data chunk's size is 32 bits; the recording ends there.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kWavHeaderBytes;

void PutU16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

class WavRecorder final : public SubstituteDriverBase {
public:
    WavRecorder(const char* driverName, const char* fileName)
        : SubstituteDriverBase(Setup{driverName, 2, ASIOSTInt32LSB, 32, 8192, 256, 44100.0}) {
        std::snprintf(fileName_, sizeof fileName_, "%s", fileName);
    }
    ~WavRecorder() override {
        if (running_) StopStream();
    }

protected:
    bool StartStream() override {
        file_ = std::fopen(fileName_, "wb");
        if (!file_) {
            SetError("The recording file cannot be created.");
            return false;
        }
        try {
            frame_.assign(static_cast<std::size_t>(bufferSize_) * 8, 0);
        } catch (const std::bad_alloc&) {
            std::fclose(file_);
            file_ = nullptr;
            return false;
        }
        dataBytes_ = 0;
        WriteHeader();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = false;
        }
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (...) {
            std::fclose(file_);
            file_ = nullptr;
            return false;
        }
        return true;
    }

    void StopStream() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
        if (file_) {
            WriteHeader();
            std::fclose(file_);
            file_ = nullptr;
        }
    }

private:
    void WriteHeader() {
        uint8_t h[kWavHeaderBytes] = {};
        const uint32_t rate = static_cast<uint32_t>(sampleRate_ + 0.5);
        std::memcpy(h, "RIFF", 4);
        PutU32(h + 4, static_cast<uint32_t>(36 + dataBytes_));
        std::memcpy(h + 8, "WAVEfmt ", 8);
        PutU32(h + 16, 16);
        PutU16(h + 20, 1);  // integer PCM
        PutU16(h + 22, 2);
        PutU32(h + 24, rate);
        PutU32(h + 28, rate * 8);
        PutU16(h + 32, 8);
        PutU16(h + 34, 32);
        std::memcpy(h + 36, "data", 4);
        PutU32(h + 40, static_cast<uint32_t>(dataBytes_));
        std::fseek(file_, 0, SEEK_SET);
        std::fwrite(h, 1, sizeof h, file_);
        std::fseek(file_, 0, SEEK_END);
    }

    void Run() {
        using Clock = std::chrono::steady_clock;
        const auto period = std::chrono::duration<double>(bufferSize_ / sampleRate_);
        auto next = Clock::now();
        int32_t half = 0;
        for (;;) {
            FillHalf(half);
            Append(half);
            half ^= 1;
            next += std::chrono::duration_cast<Clock::duration>(period);
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_until(lock, next, [this] { return quit_; })) return;
        }
    }

    void Append(int32_t half) {
        const std::size_t bytes = static_cast<std::size_t>(bufferSize_) * 8;
        if (dataBytes_ + bytes > kMaxDataBytes) return;  // SANITY: the file format ends here
        const uint8_t* left = HalfBuffer(0, half);
        const uint8_t* right = HalfBuffer(1, half);
        uint8_t* out = frame_.data();
        for (int32_t i = 0; i < bufferSize_; ++i) {
            // Channel buffers hold little-endian 32-bit samples, as in the file.
            if (left)
                std::memcpy(out, left + 4 * i, 4);
            else
                std::memset(out, 0, 4);
            if (right)
                std::memcpy(out + 4, right + 4 * i, 4);
            else
                std::memset(out + 4, 0, 4);
            out += 8;
        }
        if (std::fwrite(frame_.data(), 1, bytes, file_) == bytes) dataBytes_ += bytes;
    }

    char fileName_[260] = {};
    FILE* file_ = nullptr;
    uint64_t dataBytes_ = 0;
    std::vector<uint8_t> frame_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
};

}  // namespace

IAsioDriver* CreateWavRecorder(const char* driverName, const char* fileName) {
    return new (std::nothrow) WavRecorder(driverName, fileName);
}

}  // namespace zelmora
