#include <cctype>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "platform/platform.h"

namespace zelmora {

namespace {

using Loader = void (*)(AppState&, const std::string&);

struct LoaderEntry {
    const char* suffix;  // the last three characters of the lower-cased path
    Loader loader;
    bool inEarlierBuild;
};

// Searched in this order; the first equal suffix decides.
constexpr LoaderEntry kLoaders[] = {
    {"zmo", LoadModule, false},      {"wav", ImportWav, false},        {".xm", ImportXm, true},
    {"s3m", ImportS3m, false},       {"sf2", ImportSoundFont, false},  {"mid", ImportMidi, false},
    {"mod", ImportMod, true},        {"okt", ImportOkt, true},
};

// The earlier build also knows Amiga-style names: "mod.", "xm." or "okt."
// anywhere in the lower-cased file name.
constexpr struct {
    const char* prefix;
    Loader loader;
} kAmigaPrefixes[] = {{"mod.", ImportMod}, {"xm.", ImportXm}, {"okt.", ImportOkt}};

}  // namespace

bool OpenForImport(AppState& app, const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes) {
    if (ReadWholeFile(path, bytes, maxBytes)) return true;
    SetStatus(app, "%s", profile::kFailedToOpen);
    return false;
}

namespace {

Loader ChooseLoader(char* path) {
    for (char* c = path; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    const std::size_t length = std::strlen(path);
    if (length >= 3) {
        const char* suffix = path + length - 3;
        for (const LoaderEntry& entry : kLoaders) {
            if (profile::kEarlierBuild && !entry.inEarlierBuild) continue;
            if (std::memcmp(suffix, entry.suffix, 3) == 0) return entry.loader;
        }
    }
    if constexpr (profile::kAmigaPrefixes) {
        // SANITY: the prefix is looked for in the file's own name only, so a
        // folder named "mod.archive" does not make every file in it a module.
        const char* name = path + length;
        while (name > path && !IsPathSeparator(name[-1])) --name;
        for (const auto& entry : kAmigaPrefixes)
            if (std::strstr(name, entry.prefix)) return entry.loader;
    }
    return nullptr;
}

}  // namespace

ImportTarget ImportTargetOf(const std::string& path) {
    std::string lower = path;
    const Loader loader = ChooseLoader(lower.data());
    if (!loader) return ImportTarget::kNothing;
    return loader == ImportWav || loader == ImportSoundFont ? ImportTarget::kInstrument : ImportTarget::kSong;
}

void ImportFile(AppState& app, char* path) {
    const std::string original = path;
    const Loader loader = ChooseLoader(path);
    if (!loader) {
        SetStatus(app, "%s", profile::kNotSupported);
        return;
    }
    // SANITY: running out of memory anywhere in an import ends that import
    // with a message; the program and whatever the loader left in place go on
    // (locks are released on the way out).
    try {
        loader(app, original);
    } catch (const std::bad_alloc&) {
        SetStatus(app, "%s", profile::kOutOfMemory);
    } catch (const std::length_error&) {
        SetStatus(app, "%s", profile::kOutOfMemory);
    }
}

}  // namespace zelmora
