// The program's own module file: a fixed header, all 256 patterns with their
// non-empty rows, then all 256 instruments with their usable samples.
#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/history.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "platform/platform.h"

namespace zelmora {

namespace {

constexpr char kMagic[4] = {'Z', 'M', 'O', '0'};
constexpr const char* kSaveFailed = "Error: Failed To Save Zelmora Module File.";
constexpr const char* kInvalidFile = "Error: Invalid Zelmora Module File.";

// Buffered little-endian writer that remembers any failed write. Over a file
// it passes the bytes on in blocks; without one it keeps them all in memory.
class FileWriter {
public:
    explicit FileWriter(FILE* file) : file_(file) {}
    void Bytes(const void* data, std::size_t count) {
        const auto* p = static_cast<const uint8_t*>(data);
        if (file_ && count >= kBlock) {  // large sample data goes straight through
            Flush();
            if (std::fwrite(p, 1, count, file_) != count) failed_ = true;
            return;
        }
        buffer_.insert(buffer_.end(), p, p + count);
        if (buffer_.size() >= kBlock) Flush();
    }
    void U8(uint8_t v) { buffer_.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 8; ++i) U8(static_cast<uint8_t>(bits >> (8 * i)));
    }
    void Flush() {
        if (!file_) return;
        if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            failed_ = true;
        buffer_.clear();
    }
    // Flushes, then reports whether every byte reached the file.
    bool Finish() {
        Flush();
        if (file_ && (std::fflush(file_) != 0 || std::ferror(file_))) failed_ = true;
        return !failed_;
    }
    std::vector<uint8_t> TakeBytes() { return std::move(buffer_); }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    FILE* file_;
    std::vector<uint8_t> buffer_;
    bool failed_ = false;
};

// SANITY: the song name becomes the file name as it stands, trailing spaces
// and inner dots included (".zmo" follows, so nothing is dropped from it).
// Refused are only names that would lead out of the folder (a separator of
// either kind), that leave nothing before the extension, that hold control
// characters, and on Windows the characters and device names it refuses.
bool IsSafeFileName(const char* name, std::size_t length) {
    if (length == 0) return false;
    const bool windows = PathSeparator() == '\\';
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
        if (windows && std::strchr("<>:\"|?*", c)) return false;
    }
    if (!windows) return true;
    // CON, PRN, AUX, NUL, COM1..9 and LPT1..9 name devices, also before an
    // extension and with trailing spaces.
    std::size_t stem = 0;
    while (stem < length && name[stem] != '.') ++stem;
    while (stem > 0 && name[stem - 1] == ' ') --stem;
    char upper[5] = {};
    if (stem < 3 || stem > 4) return true;
    for (std::size_t i = 0; i < stem; ++i)
        upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (std::strcmp(upper, device) == 0) return false;
    const bool numbered = stem == 4 && upper[3] >= '1' && upper[3] <= '9';
    return !(numbered && (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0));
}

void WritePatterns(FileWriter& w, const Song& song) {
    for (const Pattern& p : song.patterns) {
        w.Bytes(p.name, kNameLength);
        w.U8(p.lastRow);
        w.U8(p.rowsPerBeat);
        int rows = 0;
        for (int r = kMaxRows - 1; r >= 0 && rows == 0; --r) {
            static const PatternCell kEmpty{};
            for (int t = 0; t < kMaxTracks; ++t)
                if (std::memcmp(&p.cells[r][t], &kEmpty, sizeof kEmpty) != 0) rows = r + 1;
        }
        w.U16(static_cast<uint16_t>(rows));
        for (int r = 0; r < rows; ++r) {
            uint32_t masks[4] = {};
            for (int t = 0; t < kMaxTracks; ++t) {
                const uint8_t* bytes = CellBytes(p.cells[r][t]);
                for (int pair = 0; pair < 4; ++pair)
                    if (bytes[2 * pair] | bytes[2 * pair + 1]) masks[pair] |= 1u << t;
            }
            for (uint32_t m : masks) w.U32(m);
            for (int t = 0; t < kMaxTracks; ++t) {
                const uint8_t* bytes = CellBytes(p.cells[r][t]);
                for (int pair = 0; pair < 4; ++pair)
                    if (masks[pair] & (1u << t)) w.Bytes(bytes + 2 * pair, 2);
            }
        }
    }
}

void WriteInstrumentSettings(FileWriter& w, const Instrument& in) {
    const uint8_t settings[12] = {in.volume,      in.pan,           in.tune,          in.cutoff,
                                  in.filterType,  in.resonance,     in.modulation[0], in.modulation[1],
                                  in.modulation[2], in.modulation[3], in.modulation[4], in.modulation[5]};
    w.Bytes(settings, sizeof settings);
    w.Bytes(in.envelopes, sizeof in.envelopes);
}

void WriteSample(FileWriter& w, const Sample& s) {
    w.Bytes(s.name, kNameLength);
    w.I32(s.frames);
    w.I32(s.channels);
    w.F64(s.sampleRate);
    w.I32(s.loopStart);
    w.I32(s.loopLength);
    w.I32(s.loopMode);
    w.I32(s.reserved);
    const uint8_t bytes[12] = {s.keyLow,
                               s.keyHigh,
                               s.velocityLow,
                               s.velocityHigh,
                               s.reservedByte,
                               s.pan,
                               s.reserved2[0],
                               s.reserved2[1],
                               static_cast<uint8_t>(s.baseNote),
                               static_cast<uint8_t>(s.coarseTune),
                               static_cast<uint8_t>(s.fineTune),
                               s.scaleTuning};
    w.Bytes(bytes, sizeof bytes);
    for (int32_t c = 0; c < s.channels; ++c) {
        const double* audio = s.audio[c] + kSampleGuard;
        if constexpr (std::endian::native == std::endian::little)
            w.Bytes(audio, static_cast<std::size_t>(s.frames) * sizeof(double));
        else
            for (int32_t f = 0; f < s.frames; ++f) w.F64(audio[f]);
    }
}

void WriteInstruments(FileWriter& w, const Song& song) {
    for (const Instrument& in : song.instruments) {
        w.Bytes(in.name, kNameLength);
        int32_t usable = 0;
        for (const Sample& s : in.samples) usable += UsableFrames(s) != 0;
        w.I32(usable);
        if (usable == 0) continue;
        WriteInstrumentSettings(w, in);
        for (const Sample& s : in.samples)
            if (UsableFrames(s)) WriteSample(w, s);
    }
}

void WriteModule(FileWriter& w, const Song& song) {
    w.Bytes(kMagic, sizeof kMagic);
    w.Bytes(song.name, kNameLength);
    w.U8(song.orderPosition);
    w.U8(song.lastOrder);
    w.U8(song.restartOrder);
    w.U8(song.reserved);
    w.Bytes(song.orders, sizeof song.orders);
    w.U8(song.trackCount);
    w.U8(song.editStep);
    w.U8(song.tempo);
    w.U8(song.speed);
    WritePatterns(w, song);
    WriteInstruments(w, song);
}

// Reads the body after the magic into the freshly reset song. Returns the
// status message of a damaged file, or null when the file was whole.
const char* ReadBody(AppState& app, ByteReader& in) {
    Song& song = app.song;
    in.ReadField(song.name);
    song.orderPosition = in.U8();
    song.lastOrder = in.U8();
    song.restartOrder = in.U8();
    song.reserved = in.U8();
    in.Read(song.orders, sizeof song.orders);
    song.trackCount = in.U8();
    song.editStep = in.U8();
    song.tempo = in.U8();
    song.speed = in.U8();

    for (Pattern& p : song.patterns) {
        in.ReadField(p.name);
        p.lastRow = in.U8();
        p.rowsPerBeat = SanitizeRowsPerBeat(in.U8());
        const uint16_t rows = in.U16LE();
        // SANITY: a pattern never has more than 256 rows.
        if (rows > kMaxRows) return kInvalidFile;
        for (int r = 0; r < rows; ++r) {
            uint32_t masks[4];
            for (uint32_t& m : masks) m = in.U32LE();
            for (int t = 0; t < kMaxTracks; ++t) {
                uint8_t* bytes = &p.cells[r][t].note;
                for (int pair = 0; pair < 4; ++pair)
                    if (masks[pair] & (1u << t)) in.Read(bytes + 2 * pair, 2);
            }
            if (in.Truncated()) return kInvalidFile;
        }
    }

    for (Instrument& instrument : song.instruments) {
        in.ReadField(instrument.name);
        const int32_t count = in.I32LE();
        // SANITY: an instrument has at most 256 sample slots.
        if (count < 0 || count > kMaxSampleSlots) return kInvalidFile;
        if (count == 0) continue;
        uint8_t settings[12];
        in.Read(settings, sizeof settings);
        instrument.volume = settings[0];
        instrument.pan = settings[1];
        instrument.tune = settings[2];
        instrument.cutoff = settings[3];
        instrument.filterType = settings[4];
        instrument.resonance = settings[5];
        std::memcpy(instrument.modulation, settings + 6, 6);
        in.Read(instrument.envelopes, sizeof instrument.envelopes);
        for (int32_t i = 0; i < count; ++i) {
            Sample& s = instrument.samples[i];
            in.ReadField(s.name);
            const int32_t frames = in.I32LE();
            const int32_t channels = in.I32LE();
            s.sampleRate = in.F64LE();
            s.loopStart = in.I32LE();
            s.loopLength = in.I32LE();
            s.loopMode = in.I32LE();
            s.reserved = in.I32LE();
            uint8_t bytes[12];
            in.Read(bytes, sizeof bytes);
            s.keyLow = bytes[0];
            s.keyHigh = bytes[1];
            s.velocityLow = bytes[2];
            s.velocityHigh = bytes[3];
            s.reservedByte = bytes[4];
            s.pan = bytes[5];
            s.reserved2[0] = bytes[6];
            s.reserved2[1] = bytes[7];
            s.baseNote = static_cast<int8_t>(bytes[8]);
            s.coarseTune = static_cast<int8_t>(bytes[9]);
            s.fineTune = static_cast<int8_t>(bytes[10]);
            s.scaleTuning = bytes[11];
            // SANITY: a stored sample has at least one frame and channel, and its
            // audio lies inside the file; nothing larger is ever allocated.
            if (frames < 1 || channels < 1 || in.Truncated()) return kInvalidFile;
            // SANITY: the size is checked by division, so no product of
            // huge counts can overflow; only then is frames x channels x 8 formed.
            const uint64_t valuesInFile = in.Remaining() / 8u;
            if (static_cast<uint64_t>(channels) > valuesInFile / static_cast<uint64_t>(frames)) return kInvalidFile;
            const uint64_t audioBytes = static_cast<uint64_t>(frames) * static_cast<uint64_t>(channels) * 8u;
            s.frames = frames;
            s.channels = channels;
            if (!app.AllocateSampleAudio(s)) {
                s.frames = s.channels = 0;
                in.Skip(static_cast<std::size_t>(audioBytes));
                continue;
            }
            for (int32_t c = 0; c < channels; ++c)
                for (int32_t f = 0; f < frames; ++f) s.audio[c][kSampleGuard + f] = FiniteOrZero(in.F64LE());
        }
    }
    return in.Truncated() ? kInvalidFile : nullptr;
}

}  // namespace

void SaveModule(AppState& app) {
    const Song& song = app.song;
    const std::size_t nameLength = NameLength(song.name, sizeof song.name);
    // SANITY: a folder that could not be read (empty) would put the song at the
    // root of the drive or the file system; nothing is saved without a folder.
    if (!IsSafeFileName(song.name, nameLength) || app.browserFolder[0] == '\0') {
        SetStatus(app, "%s", kSaveFailed);
        return;
    }
    // A folder that already ends in a separator (a root) gets no second one.
    std::string folder(app.browserFolder);
    if (!IsPathSeparator(folder.back())) folder += PathSeparator();
    const std::string path = folder + std::string(song.name, nameLength) + ".zmo";
    // SANITY: a path past the 260 characters the program's paths hold is
    // refused rather than cut into another file's name; the temporary file
    // written beside it must fit as well.
    if (std::max(path.size(), folder.size() + kTemporaryNameLength) >= kPathLength) {
        SetStatus(app, "Error: Path Too Long.");
        return;
    }
    EndStep(app);  // a change still being made belongs to what is saved
    // SANITY: the previous file is replaced only once the new one is complete
    // and on the disk, through a temporary file no other writer can share.
    const bool saved = WriteFileSafely(path, [&song](FILE* file) {
        FileWriter w(file);
        WriteModule(w, song);
        return w.Finish();
    });
    if (!saved) {
        SetStatus(app, "%s", kSaveFailed);
        return;
    }
    MarkSongSaved(app);
    SetStatus(app, "Zelmora Module Saved.");
}

std::vector<uint8_t> EncodeModule(const Song& song) {
    FileWriter w(nullptr);
    WriteModule(w, song);
    return w.TakeBytes();
}

void LoadModuleData(AppState& app, ByteReader in) {
    char magic[4];
    in.Read(magic, sizeof magic);
    if (std::memcmp(magic, kMagic, sizeof magic) != 0) {
        SetStatus(app, "%s", kInvalidFile);
        return;
    }
    const char* failure;
    {
        StateGuard lock(app.stateLock);
        app.NewSong();
        failure = ReadBody(app, in);
    }
    SetStatus(app, "%s", failure ? failure : "Zelmora Module Loaded.");
}

void LoadModule(AppState& app, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!OpenForImport(app, path, bytes, kMaxModuleBytes)) return;
    LoadModuleData(app, ByteReader(bytes));
}

}  // namespace zelmora
