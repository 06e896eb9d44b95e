#include "platform/sdl/substitute_driver.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>

namespace zelmora {

namespace {

void CopyText(char* out, std::size_t size, const char* text) {
    std::snprintf(out, size, "%s", text ? text : "");
}

}  // namespace

SubstituteDriverBase::SubstituteDriverBase(const Setup& setup)
    : outputs_(setup.outputs),
      type_(setup.type),
      minimumSize_(setup.minimumSize),
      maximumSize_(setup.maximumSize),
      preferredSize_(setup.preferredSize),
      sampleRate_(setup.sampleRate) {
    CopyText(name_, sizeof name_, setup.name);
}

SubstituteDriverBase::~SubstituteDriverBase() = default;

int32_t SubstituteDriverBase::QueryInterface(const AsioGuid&, void** object) {
    if (!object) return ASE_InvalidParameter;
    *object = this;
    AddRef();
    return 0;
}

uint32_t SubstituteDriverBase::AddRef() { return references_.fetch_add(1) + 1; }

uint32_t SubstituteDriverBase::Release() {
    const uint32_t left = references_.fetch_sub(1) - 1;
    if (left == 0) {
        // A driver dropped while running is stopped first, so its stream
        // never calls into a host that let it go.
        if (running_) stop();
        delete this;
    }
    return left;
}

ASIOBool SubstituteDriverBase::init(void*) {
    if (initialised_) return ASIOTrue;
    if (!OpenStream()) return ASIOFalse;
    initialised_ = true;
    return ASIOTrue;
}

void SubstituteDriverBase::getDriverName(char* name) {
    if (name) CopyText(name, 32, name_);
}

int32_t SubstituteDriverBase::getDriverVersion() { return 1; }

void SubstituteDriverBase::getErrorMessage(char* text) {
    if (text) CopyText(text, 124, error_);
}

void SubstituteDriverBase::SetError(const char* text) { CopyText(error_, sizeof error_, text); }

ASIOError SubstituteDriverBase::start() {
    if (!initialised_ || !callbacks_) return ASE_InvalidMode;
    if (running_) return ASE_OK;
    position_.store(0, std::memory_order_relaxed);
    if (!StartStream()) return ASE_HWMalfunction;
    running_ = true;
    return ASE_OK;
}

ASIOError SubstituteDriverBase::stop() {
    if (!initialised_) return ASE_InvalidMode;
    if (running_) {
        StopStream();
        running_ = false;
    }
    return ASE_OK;
}

ASIOError SubstituteDriverBase::getChannels(int32_t* inputs, int32_t* outputs) {
    if (!initialised_) return ASE_NotPresent;
    if (!inputs || !outputs) return ASE_InvalidParameter;
    *inputs = 0;
    *outputs = outputs_;
    return ASE_OK;
}

ASIOError SubstituteDriverBase::getLatencies(int32_t* inputLatency, int32_t* outputLatency) {
    if (!initialised_) return ASE_NotPresent;
    const int32_t frames = bufferSize_ > 0 ? bufferSize_ : preferredSize_;
    if (inputLatency) *inputLatency = frames;
    if (outputLatency) *outputLatency = frames;
    return ASE_OK;
}

ASIOError SubstituteDriverBase::getBufferSize(int32_t* minimum, int32_t* maximum, int32_t* preferred,
                                              int32_t* granularity) {
    if (!initialised_) return ASE_NotPresent;
    if (!minimum || !maximum || !preferred || !granularity) return ASE_InvalidParameter;
    *minimum = minimumSize_;
    *maximum = maximumSize_;
    *preferred = preferredSize_;
    *granularity = 1;  // any size from minimum to maximum
    return ASE_OK;
}

ASIOError SubstituteDriverBase::canSampleRate(ASIOSampleRate rate) {
    return rate >= 8000.0 && rate <= 192000.0 ? ASE_OK : ASE_NoClock;
}

ASIOError SubstituteDriverBase::getSampleRate(ASIOSampleRate* rate) {
    if (!rate) return ASE_InvalidParameter;
    *rate = sampleRate_;
    return ASE_OK;
}

ASIOError SubstituteDriverBase::setSampleRate(ASIOSampleRate rate) {
    if (canSampleRate(rate) != ASE_OK) return ASE_NoClock;
    if (running_) return ASE_InvalidMode;
    if (rate == sampleRate_) return ASE_OK;
    return ChangeRate(rate) ? ASE_OK : ASE_NoClock;
}

ASIOError SubstituteDriverBase::getClockSources(ASIOClockSource* clocks, int32_t* count) {
    if (!clocks || !count) return ASE_InvalidParameter;
    if (*count < 1) {
        *count = 0;
        return ASE_OK;
    }
    std::memset(clocks, 0, sizeof *clocks);
    clocks->associatedChannel = -1;
    clocks->associatedGroup = -1;
    clocks->isCurrentSource = ASIOTrue;
    CopyText(clocks->name, sizeof clocks->name, "Internal");
    *count = 1;
    return ASE_OK;
}

ASIOError SubstituteDriverBase::setClockSource(int32_t reference) { return reference == 0 ? ASE_OK : ASE_InvalidParameter; }

ASIOError SubstituteDriverBase::getSamplePosition(ASIOSamples* position, ASIOTimeStamp* stamp) {
    if (!position || !stamp) return ASE_InvalidParameter;
    const uint64_t frames = position_.load(std::memory_order_relaxed);
    position->hi = static_cast<uint32_t>(frames >> 32);
    position->lo = static_cast<uint32_t>(frames);
    const uint64_t ns = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
    stamp->hi = static_cast<uint32_t>(ns >> 32);
    stamp->lo = static_cast<uint32_t>(ns);
    return ASE_OK;
}

ASIOError SubstituteDriverBase::getChannelInfo(ASIOChannelInfo* info) {
    if (!info) return ASE_InvalidParameter;
    if (info->isInput || info->channel < 0 || info->channel >= outputs_) return ASE_InvalidParameter;
    info->isActive = ASIOFalse;
    for (int32_t c : created_)
        if (c == info->channel) info->isActive = ASIOTrue;
    info->channelGroup = 0;
    info->type = type_;
    std::snprintf(info->name, sizeof info->name, "Out %d", static_cast<int>(info->channel + 1));
    return ASE_OK;
}

ASIOError SubstituteDriverBase::createBuffers(ASIOBufferInfo* infos, int32_t channels, int32_t bufferSize,
                                              ASIOCallbacks* callbacks) {
    if (!initialised_) return ASE_InvalidMode;
    if (!infos || !callbacks || channels <= 0 || channels > outputs_) return ASE_InvalidParameter;
    if (bufferSize < minimumSize_ || bufferSize > maximumSize_) return ASE_InvalidParameter;
    if (!callbacks->bufferSwitch) return ASE_InvalidParameter;
    if (!storage_.empty()) disposeBuffers();
    for (int32_t i = 0; i < channels; ++i) {
        if (infos[i].isInput || infos[i].channelNum < 0 || infos[i].channelNum >= outputs_)
            return ASE_InvalidParameter;
    }
    const std::size_t half = static_cast<std::size_t>(bufferSize) * static_cast<std::size_t>(BytesPerSample());
    std::vector<uint8_t> storage;
    std::vector<int32_t> created;
    try {
        storage.assign(half * 2 * static_cast<std::size_t>(channels), 0);
        created.resize(static_cast<std::size_t>(channels));
    } catch (const std::bad_alloc&) {
        return ASE_NoMemory;
    }
    storage_.swap(storage);
    created_.swap(created);
    for (int32_t i = 0; i < channels; ++i) {
        uint8_t* base = storage_.data() + half * 2 * static_cast<std::size_t>(i);
        infos[i].buffers[0] = base;
        infos[i].buffers[1] = base + half;
        created_[static_cast<std::size_t>(i)] = infos[i].channelNum;
    }
    bufferSize_ = bufferSize;
    callbacks_ = callbacks;
    timeInfo_ = callbacks->asioMessage && callbacks->bufferSwitchTimeInfo &&
                callbacks->asioMessage(kAsioSelectorSupported, kAsioSupportsTimeInfo, nullptr, nullptr) == 1 &&
                callbacks->asioMessage(kAsioSupportsTimeInfo, 0, nullptr, nullptr) == 1;
    return ASE_OK;
}

ASIOError SubstituteDriverBase::disposeBuffers() {
    if (!initialised_) return ASE_InvalidMode;
    if (running_) stop();
    if (storage_.empty()) return ASE_InvalidMode;
    storage_.clear();
    storage_.shrink_to_fit();
    created_.clear();
    bufferSize_ = 0;
    callbacks_ = nullptr;
    return ASE_OK;
}

ASIOError SubstituteDriverBase::controlPanel() { return ASE_NotPresent; }

ASIOError SubstituteDriverBase::future(int32_t, void*) { return ASE_InvalidParameter; }

ASIOError SubstituteDriverBase::outputReady() { return ASE_OK; }

void SubstituteDriverBase::FillHalf(int32_t half) {
    const uint64_t position = position_.load(std::memory_order_relaxed);
    if (timeInfo_) {
        time_.timeInfo.samplePosition.hi = static_cast<uint32_t>(position >> 32);
        time_.timeInfo.samplePosition.lo = static_cast<uint32_t>(position);
        time_.timeInfo.sampleRate = sampleRate_;
        time_.timeInfo.speed = 1.0;
        callbacks_->bufferSwitchTimeInfo(&time_, half, ASIOTrue);
    } else {
        callbacks_->bufferSwitch(half, ASIOTrue);
    }
    position_.store(position + static_cast<uint64_t>(bufferSize_), std::memory_order_relaxed);
}

const uint8_t* SubstituteDriverBase::HalfBuffer(int32_t channel, int32_t half) const {
    const std::size_t bytes = static_cast<std::size_t>(bufferSize_) * static_cast<std::size_t>(BytesPerSample());
    for (std::size_t i = 0; i < created_.size(); ++i)
        if (created_[i] == channel) return storage_.data() + bytes * (2 * i + static_cast<std::size_t>(half));
    return nullptr;
}

}  // namespace zelmora
