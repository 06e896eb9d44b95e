// The common body of the drivers that stand in for ASIO where it does not
// exist: the calls and records of the interface, output channel buffers in a
// 16- or 32-bit integer format, and the double-buffer protocol. A concrete
// driver adds only how its stream runs (its own thread, or a sound library's).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/asio.h"

namespace zelmora {

class SubstituteDriverBase : public IAsioDriver {
public:
    struct Setup {
        const char* name;  // at most 31 characters are shown
        int32_t outputs;
        ASIOSampleType type;  // ASIOSTInt16LSB or ASIOSTInt32LSB
        int32_t minimumSize, maximumSize, preferredSize;
        double sampleRate;
    };

    explicit SubstituteDriverBase(const Setup& setup);
    virtual ~SubstituteDriverBase();

    int32_t QueryInterface(const AsioGuid& iid, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    ASIOBool init(void* systemHandle) override;
    void getDriverName(char* name) override;
    int32_t getDriverVersion() override;
    void getErrorMessage(char* text) override;
    ASIOError start() override;
    ASIOError stop() override;
    ASIOError getChannels(int32_t* inputs, int32_t* outputs) override;
    ASIOError getLatencies(int32_t* inputLatency, int32_t* outputLatency) override;
    ASIOError getBufferSize(int32_t* minimum, int32_t* maximum, int32_t* preferred, int32_t* granularity) override;
    ASIOError canSampleRate(ASIOSampleRate rate) override;
    ASIOError getSampleRate(ASIOSampleRate* rate) override;
    ASIOError setSampleRate(ASIOSampleRate rate) override;
    ASIOError getClockSources(ASIOClockSource* clocks, int32_t* count) override;
    ASIOError setClockSource(int32_t reference) override;
    ASIOError getSamplePosition(ASIOSamples* position, ASIOTimeStamp* stamp) override;
    ASIOError getChannelInfo(ASIOChannelInfo* info) override;
    ASIOError createBuffers(ASIOBufferInfo* infos, int32_t channels, int32_t bufferSize,
                            ASIOCallbacks* callbacks) override;
    ASIOError disposeBuffers() override;
    ASIOError controlPanel() override;
    ASIOError future(int32_t selector, void* opt) override;
    ASIOError outputReady() override;

protected:
    // Hooks of the concrete driver, called on the thread that calls the driver.
    virtual bool OpenStream() { return true; }  // from init; false sets the error text
    virtual bool ChangeRate(double rate) { sampleRate_ = rate; return true; }
    virtual bool StartStream() = 0;
    virtual void StopStream() = 0;  // returns when no callback can follow

    // Stream thread: asks the host to fill `half` (0 or 1) and counts its frames.
    void FillHalf(int32_t half);
    // The bytes of `half` of output channel `channel` (null before createBuffers).
    const uint8_t* HalfBuffer(int32_t channel, int32_t half) const;
    int32_t BytesPerSample() const { return type_ == ASIOSTInt16LSB ? 2 : 4; }
    void SetError(const char* text);

    char name_[32] = {};
    char error_[124] = {};
    int32_t outputs_;
    ASIOSampleType type_;
    int32_t minimumSize_, maximumSize_, preferredSize_;
    double sampleRate_;
    int32_t bufferSize_ = 0;  // frames of each half once created
    ASIOCallbacks* callbacks_ = nullptr;
    bool timeInfo_ = false;  // the host asked for bufferSwitchTimeInfo
    bool initialised_ = false;
    bool running_ = false;

private:
    std::atomic<uint32_t> references_{1};
    std::vector<uint8_t> storage_;
    std::vector<int32_t> created_;  // output channel of each created buffer
    std::atomic<uint64_t> position_{0};
    ASIOTime time_{};
};

// The recording driver: real-time paced by the clock on its own thread,
// writing output channels 0 and 1 as a 32-bit stereo WAV file that is
// finalised on stop.
IAsioDriver* CreateWavRecorder(const char* driverName, const char* fileName);

}  // namespace zelmora
