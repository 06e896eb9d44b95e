#include <cctype>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"

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
// anywhere in the lower-cased path.
constexpr struct {
    const char* prefix;
    Loader loader;
} kAmigaPrefixes[] = {{"mod.", ImportMod}, {"xm.", ImportXm}, {"okt.", ImportOkt}};

}  // namespace

bool OpenForImport(AppState& app, const std::string& path, std::vector<uint8_t>& bytes) {
    if (ReadWholeFile(path, bytes)) return true;
    SetStatus(app, "%s", profile::kFailedToOpen);
    return false;
}

void ImportFile(AppState& app, char* path) {
    const std::string original = path;
    for (char* c = path; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    const std::size_t length = std::strlen(path);

    if (length >= 3) {
        const char* suffix = path + length - 3;
        for (const LoaderEntry& entry : kLoaders) {
            if (profile::kEarlierBuild && !entry.inEarlierBuild) continue;
            if (std::memcmp(suffix, entry.suffix, 3) == 0) {
                entry.loader(app, original);
                return;
            }
        }
    }
    if constexpr (profile::kAmigaPrefixes) {
        for (const auto& entry : kAmigaPrefixes) {
            if (std::strstr(path, entry.prefix)) {
                entry.loader(app, original);
                return;
            }
        }
    }
    SetStatus(app, "%s", profile::kNotSupported);
}

}  // namespace zelmora
