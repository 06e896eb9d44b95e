// The loaded song as one JSON object, for tests and scripts that inspect an
// import. The set of keys and their order are a stable interface.
#pragma once

#include <cstdint>
#include <string>

namespace zelmora {
struct AppState;
struct Sample;
}  // namespace zelmora

namespace zelmora::render {

// Appends the JSON text of the song (and the status line) to out. Takes the
// state lock while it reads.
void AppendSongJson(AppState& app, std::string& out);

// FNV-1a 64 over the little-endian bytes of the stored audio values, channel
// after channel, guards excluded; the offset basis for an unusable slot.
uint64_t SampleAudioHash(const Sample& sample);

// A fixed text field as a JSON string: the bytes up to the first NUL (or the
// whole field), bytes of 0x80 and above as the code point of the same value.
void AppendJsonText(std::string& out, const char* field, std::size_t size);

// The shortest decimal form that reads back as the same double, always with a
// fraction or exponent ("44100.0"); null for values JSON cannot hold.
void AppendJsonDouble(std::string& out, double value);

}  // namespace zelmora::render
