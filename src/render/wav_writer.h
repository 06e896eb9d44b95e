// Stereo WAV output of the offline renderer. Integer formats use the driver's
// own conversion, so a render and a recording of the driver are bit-identical.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace zelmora::render {

enum class WavFormat { kInt16, kInt24, kInt32, kFloat32 };

int BytesPerSample(WavFormat format);

// The integer or float image of one engine value (already limited to -1..+1),
// little-endian, into out (BytesPerSample bytes).
void EncodeSample(WavFormat format, double x, uint8_t* out);

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates the file and writes a header for an empty file. False with
    // error() set when the file cannot be created.
    bool Open(const std::string& path, uint32_t sampleRate, WavFormat format);

    // Appends frames of the two channels. False (and error()) when the disk
    // refuses the data or the file would pass the 4 GiB limit of the format.
    bool Write(const double* left, const double* right, int frames);

    // Writes the final sizes into the header and closes the file.
    bool Close();

    // The same over a file its owner opened and closes (the safe writer's):
    // the header goes at its start, and Detach writes the final sizes.
    bool Attach(std::FILE* file, uint32_t sampleRate, WavFormat format);
    bool Detach();

    const std::string& error() const { return error_; }
    uint64_t framesWritten() const { return frames_; }

    // Largest number of frames a file of this format can hold.
    static uint64_t MaxFrames(WavFormat format);

private:
    bool WriteHeader();
    void Fail(const char* what);

    std::FILE* file_ = nullptr;
    bool owned_ = true;
    WavFormat format_ = WavFormat::kInt16;
    uint32_t sampleRate_ = 44100;
    uint64_t frames_ = 0;
    std::string error_;
    uint8_t block_[4096 * 8];
};

}  // namespace zelmora::render
