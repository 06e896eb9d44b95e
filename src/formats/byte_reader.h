// A cursor over read-only bytes whose every read is bounded. A read that runs
// past the end yields zeros for the missing bytes and sets a sticky flag the
// loader can test; nothing else in a loader touches file bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelmora {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const std::vector<uint8_t>& bytes) : ByteReader(bytes.data(), bytes.size()) {}

    std::size_t Size() const { return size_; }
    std::size_t Position() const { return position_; }
    std::size_t Remaining() const { return position_ < size_ ? size_ - position_ : 0; }
    bool AtEnd() const { return position_ >= size_; }
    // True once any read, skip or seek went past the end.
    bool Truncated() const { return truncated_; }

    // Moves to an absolute offset; beyond the end it stops at the end and flags.
    void Seek(std::size_t offset);
    void Skip(std::size_t count);

    // Copies `count` bytes, zero-filling what the data does not have.
    void Read(void* target, std::size_t count);
    // Whole-field text copy: exactly `count` bytes into target.
    template <std::size_t N>
    void ReadField(char (&target)[N], std::size_t count = N) {
        if (count > N) {
            Read(target, N);
            Skip(count - N);
        } else {
            Read(target, count);
        }
    }

    uint8_t U8();
    int8_t I8() { return static_cast<int8_t>(U8()); }
    uint16_t U16LE();
    uint16_t U16BE();
    uint32_t U32LE();
    uint32_t U32BE();
    int16_t I16LE() { return static_cast<int16_t>(U16LE()); }
    int16_t I16BE() { return static_cast<int16_t>(U16BE()); }
    int32_t I32LE() { return static_cast<int32_t>(U32LE()); }
    int32_t I32BE() { return static_cast<int32_t>(U32BE()); }
    uint64_t U64LE();
    double F64LE();
    float F32LE();

    // A reader over the next `count` bytes (cut to what remains); this reader
    // moves past them.
    ByteReader Sub(std::size_t count);

    // The bytes at the cursor, at most `count` of them, without moving.
    const uint8_t* Peek(std::size_t count, std::size_t* available) const;

private:
    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
    bool truncated_ = false;
};

// The largest file an importer reads: WAV files and SoundFont banks, the
// largest of the foreign formats, give their sizes in 32 bits (4 GiB and the
// 8-byte chunk header); every module format holds far less.
inline constexpr uint64_t kMaxImportBytes = (uint64_t{1} << 32) + 8;
// The largest own module file: one sample channel holds at most 2^31 frames of
// 8-byte values, and a song made from the largest WAV (two channels) is about
// 32 GiB on the disk.
inline constexpr uint64_t kMaxModuleBytes = uint64_t{32} << 30;

// Reads a whole file into memory; false when it cannot be opened or read, is
// not a regular file (after following links) or is larger than maxBytes.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes = kMaxImportBytes);

}  // namespace zelmora
