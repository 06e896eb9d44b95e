// Every loader of song files. Each has two entries: one that takes a path and
// opens the file, and one that reads bytes already in memory (tests and fuzzers
// use it). The path is also the source of names some formats derive from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/byte_reader.h"

namespace zelmora {

struct AppState;
struct Song;

// Chooses the loader by the last three characters of the lower-cased path.
// The path buffer is lower-cased in place; the file is opened under its
// original spelling so case-sensitive file systems find it.
void ImportFile(AppState& app, char* path);

// What ImportFile would change for path: a new song, the current instrument
// (a WAV or a SoundFont bank), or nothing (a name no loader takes).
enum class ImportTarget { kNothing, kSong, kInstrument };
ImportTarget ImportTargetOf(const std::string& path);

// Own module format.
void LoadModule(AppState& app, const std::string& path);
void LoadModuleData(AppState& app, ByteReader data);
void SaveModule(AppState& app);
// The bytes SaveModule writes for song, in memory.
std::vector<uint8_t> EncodeModule(const Song& song);

// Foreign formats. `path` is the path to open; a name derived from it (the WAV
// sample title) is lower-cased, as the dispatch lower-cases the path.
void ImportMod(AppState& app, const std::string& path);
void ImportModData(AppState& app, ByteReader data);
void ImportS3m(AppState& app, const std::string& path);
void ImportS3mData(AppState& app, ByteReader data);
void ImportXm(AppState& app, const std::string& path);
void ImportXmData(AppState& app, ByteReader data);
void ImportOkt(AppState& app, const std::string& path);
void ImportOktData(AppState& app, ByteReader data);
void ImportMidi(AppState& app, const std::string& path);
void ImportMidiData(AppState& app, ByteReader data);
void ImportSoundFont(AppState& app, const std::string& path);
void ImportSoundFontData(AppState& app, ByteReader data);
void ImportWav(AppState& app, const std::string& path);
void ImportWavData(AppState& app, ByteReader data, const std::string& path);

// Opens a file for a loader: reads it whole, or writes "Error: Failed To Open
// File." and returns false (also for anything but a regular file, or a file
// larger than maxBytes).
bool OpenForImport(AppState& app, const std::string& path, std::vector<uint8_t>& bytes,
                   uint64_t maxBytes = kMaxImportBytes);

}  // namespace zelmora
