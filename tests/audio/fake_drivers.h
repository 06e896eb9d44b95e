// An in-memory registry and a scripted driver for the audio tests.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "audio/asio.h"
#include "audio/driver_list.h"
#include "platform/audio_platform.h"

namespace zelmora::testing {

// The names of the list's drivers, by id.
inline std::vector<std::string> DriverNames(const DriverList& list) {
    std::vector<std::string> names;
    char name[kDriverNameLength];
    for (int32_t id = 0; id < list.DriverCount(); ++id)
        names.push_back(list.DriverName(id, name, sizeof name) == 0 ? name : "(failed)");
    return names;
}

// Keys by full path, enumerated in name order. Paths compare case-insensitively
// like the real registry; value names exactly, as the driver list spells them.
class MemoryRegistry final : public RegistryView {
public:
    // The values of the key at `path` (made when missing); "" is the default value.
    std::map<std::string, std::string>& Add(Key root, const std::string& path) {
        return keys[Path(root) + "\\" + path];
    }
    // Registers a driver the way an installer does.
    void AddDriver(const std::string& key, const std::string& clsid, const char* description,
                   const std::string& library) {
        auto& values = Add(kLocalMachine, "software\\asio\\" + key);
        values["clsid"] = clsid;
        if (description) values["description"] = description;
        Add(kClassesRoot, "clsid\\" + clsid + "\\InprocServer32")[""] = library;
    }

    // A key exists when it or a key below it was added.
    bool OpenKey(Key parent, const char* path, Key* key) override {
        const std::string full = Lower(Path(parent) + "\\" + path);
        for (const auto& entry : keys) {
            const std::string k = Lower(entry.first);
            if (k != full && k.rfind(full + "\\", 0) != 0) continue;
            *key = const_cast<std::string*>(&*opened.insert(full).first);
            ++openKeys;
            return true;
        }
        return false;
    }
    bool EnumKey(Key key, int32_t index, char* name, int32_t size) override {
        const std::string prefix = Path(key) + "\\";
        std::set<std::string> names;
        for (const auto& entry : keys)
            if (Lower(entry.first).rfind(prefix, 0) == 0) {
                const std::string rest = entry.first.substr(prefix.size());
                names.insert(rest.substr(0, rest.find('\\')));
            }
        return index >= 0 && index < static_cast<int32_t>(names.size()) &&
               Copy(*std::next(names.begin(), index), name, size);
    }
    bool QueryString(Key key, const char* name, char* text, int32_t size) override {
        for (const auto& [path, values] : keys) {
            const auto value = values.find(name ? name : "");
            if (Lower(path) == Path(key)) return value != values.end() && Copy(value->second, text, size);
        }
        return false;
    }
    void CloseKey(Key) override { --openKeys; }
    bool FileExists(const char* path) override { return files.count(path) != 0; }

    std::set<std::string> files;
    int openKeys = 0;

private:
    // The roots by name; an opened key is its lower-case full path.
    static std::string Path(Key key) {
        if (key == kLocalMachine) return "hklm";
        return key == kClassesRoot ? "hkcr" : *static_cast<const std::string*>(key);
    }
    static std::string Lower(std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }
    static bool Copy(const std::string& from, char* to, int32_t size) {
        if (static_cast<int32_t>(from.size()) >= size) return false;
        std::memcpy(to, from.c_str(), from.size() + 1);
        return true;
    }
    std::map<std::string, std::map<std::string, std::string>> keys;
    std::set<std::string> opened;
};

// A driver whose every answer is set by the test, and which keeps what it was given.
class ScriptedDriver final : public IAsioDriver {
public:
    // Results, set by the test.
    ASIOBool initResult = ASIOTrue;
    const char* errorText = "Scripted driver refused.";
    ASIOError channelsResult = ASE_OK, sizeResult = ASE_OK, createResult = ASE_OK, startResult = ASE_OK,
              stopResult = ASE_OK, disposeResult = ASE_OK, outputReadyResult = ASE_OK;
    int32_t failChannelInfoAt = -1;  // this getChannelInfo call (from 0) fails
    int32_t inputs = 2, outputs = 4;
    int32_t sizes[4] = {64, 4096, 256, 64};
    double rate = 44100.0, rateAsked = 0.0;
    bool acceptsRate = true;
    ASIOSampleType type = ASIOSTInt32LSB;

    // What the driver was given.
    int32_t references = 1, outputReadyCalls = 0, controlPanelCalls = 0, channelInfoCalls = 0;
    int32_t disposeCalls = 0;
    int32_t createdChannels = -1, createdSize = -1;
    ASIOCallbacks* callbacks = nullptr;
    std::vector<std::vector<uint8_t>> storage;  // two halves per created channel, filled with 0xAB
    bool started = false;

    int32_t QueryInterface(const AsioGuid&, void** object) override {
        return *object = this, ++references, 0;
    }
    uint32_t AddRef() override { return static_cast<uint32_t>(++references); }
    uint32_t Release() override { return static_cast<uint32_t>(--references); }
    ASIOBool init(void*) override { return initResult; }
    void getDriverName(char* name) override { std::strcpy(name, "Scripted"); }
    int32_t getDriverVersion() override { return 1; }
    void getErrorMessage(char* text) override { std::strcpy(text, errorText); }
    ASIOError start() override { return started = startResult == ASE_OK, startResult; }
    ASIOError stop() override { return started = started && stopResult != ASE_OK, stopResult; }
    ASIOError getChannels(int32_t* in, int32_t* out) override {
        return *in = inputs, *out = outputs, channelsResult;
    }
    ASIOError getLatencies(int32_t*, int32_t*) override { return ASE_OK; }
    ASIOError getBufferSize(int32_t* mn, int32_t* mx, int32_t* pr, int32_t* gr) override {
        *mn = sizes[0], *mx = sizes[1], *pr = sizes[2], *gr = sizes[3];
        return sizeResult;
    }
    ASIOError canSampleRate(ASIOSampleRate) override { return ASE_OK; }
    ASIOError getSampleRate(ASIOSampleRate* r) override { return *r = rate, ASE_OK; }
    ASIOError setSampleRate(ASIOSampleRate r) override {
        rateAsked = r;
        if (acceptsRate) rate = r;
        return acceptsRate ? ASE_OK : ASE_NoClock;
    }
    ASIOError getClockSources(ASIOClockSource*, int32_t*) override { return ASE_OK; }
    ASIOError setClockSource(int32_t) override { return ASE_OK; }
    ASIOError getSamplePosition(ASIOSamples*, ASIOTimeStamp*) override { return ASE_OK; }
    ASIOError getChannelInfo(ASIOChannelInfo* info) override {
        if (channelInfoCalls++ == failChannelInfoAt) return ASE_InvalidParameter;
        info->type = type;
        std::snprintf(info->name, sizeof info->name, "%s %d", info->isInput ? "In" : "Out",
                      int(info->channel + 1));
        return ASE_OK;
    }
    ASIOError createBuffers(ASIOBufferInfo* infos, int32_t channels, int32_t size,
                            ASIOCallbacks* cb) override {
        createdChannels = channels, createdSize = size, callbacks = cb;
        if (createResult != ASE_OK) return createResult;
        storage.assign(std::size_t(channels) * 2, std::vector<uint8_t>(std::size_t(size) * 4, 0xAB));
        for (int32_t i = 0; i < channels; ++i)
            for (int h = 0; h < 2; ++h) infos[i].buffers[h] = storage[std::size_t(2 * i + h)].data();
        return ASE_OK;
    }
    ASIOError disposeBuffers() override { return ++disposeCalls, disposeResult; }
    ASIOError controlPanel() override { return ++controlPanelCalls, ASE_OK; }
    ASIOError future(int32_t, void*) override { return ASE_InvalidParameter; }
    ASIOError outputReady() override { return ++outputReadyCalls, outputReadyResult; }

    // Frame `frame` of half `half` of created channel `k`.
    template <typename T>
    T Sample(int32_t k, int32_t half, int32_t frame) const {
        T v;
        std::memcpy(&v, storage[std::size_t(2 * k + half)].data() + sizeof(T) * std::size_t(frame), sizeof v);
        return v;
    }
};

// Hands out the scripted drivers by record id or, when it has none, the
// substitute drivers as the platform makes them; counts the object runtime.
class ScriptedFactory final : public DriverFactory {
public:
    std::vector<IAsioDriver*> drivers;  // by id
    int32_t failure = 0;
    int initialised = 0, uninitialised = 0;
    std::vector<AsioGuid> asked;

    int32_t CreateDriver(int32_t id, const AsioGuid& classId, IAsioDriver** driver) override {
        asked.push_back(classId);
        if (failure != 0) return failure;
        if (drivers.empty()) {
            *driver = CreateSubstitute(static_cast<int32_t>(classId.data1));
            return *driver ? 0 : ASE_NotPresent;
        }
        *driver = id >= 0 && id < static_cast<int32_t>(drivers.size()) ? drivers[static_cast<std::size_t>(id)]
                                                                       : nullptr;
        if (*driver) (*driver)->AddRef();
        return 0;
    }
    void InitialiseObjects() override { ++initialised; }
    void UninitialiseObjects() override { ++uninitialised; }
    bool FollowsWithSubstitutes() const override { return substitutesFollow; }
    bool substitutesFollow = false;
};

}  // namespace zelmora::testing
