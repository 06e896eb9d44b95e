#include "formats/byte_reader.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace zelmora {

void ByteReader::Seek(std::size_t offset) {
    if (offset > size_) {
        position_ = size_;
        truncated_ = true;
    } else {
        position_ = offset;
    }
}

void ByteReader::Skip(std::size_t count) {
    if (count > Remaining()) {
        position_ = size_;
        truncated_ = true;
    } else {
        position_ += count;
    }
}

void ByteReader::Read(void* target, std::size_t count) {
    const std::size_t have = count < Remaining() ? count : Remaining();
    if (have) std::memcpy(target, data_ + position_, have);
    if (have < count) {
        std::memset(static_cast<uint8_t*>(target) + have, 0, count - have);
        truncated_ = true;
    }
    position_ += have;
}

uint8_t ByteReader::U8() {
    if (position_ >= size_) {
        truncated_ = true;
        return 0;
    }
    return data_[position_++];
}

uint16_t ByteReader::U16LE() {
    uint8_t b[2];
    Read(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint16_t ByteReader::U16BE() {
    uint8_t b[2];
    Read(b, 2);
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

uint32_t ByteReader::U32LE() {
    uint8_t b[4];
    Read(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint32_t ByteReader::U32BE() {
    uint8_t b[4];
    Read(b, 4);
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

uint64_t ByteReader::U64LE() {
    const uint64_t low = U32LE();
    const uint64_t high = U32LE();
    return low | (high << 32);
}

double ByteReader::F64LE() {
    const uint64_t bits = U64LE();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float ByteReader::F32LE() {
    const uint32_t bits = U32LE();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

ByteReader ByteReader::Sub(std::size_t count) {
    const std::size_t have = count < Remaining() ? count : Remaining();
    ByteReader sub(data_ + position_, have);
    if (have < count) truncated_ = true;
    position_ += have;
    return sub;
}

const uint8_t* ByteReader::Peek(std::size_t count, std::size_t* available) const {
    const std::size_t have = count < Remaining() ? count : Remaining();
    if (available) *available = have;
    return data_ + position_;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes) {
    bytes.clear();
    // SANITY: only a regular file is read. A FIFO would block the open forever
    // and a device such as /dev/zero never ends; a file larger than any song
    // would only exhaust the memory.
    std::error_code error;
    const std::filesystem::path name(path);
    if (!std::filesystem::is_regular_file(name, error) || error) return false;
    const uintmax_t size = std::filesystem::file_size(name, error);
    if (error || size > maxBytes) return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes.reserve(static_cast<std::size_t>(size));
    uint8_t chunk[65536];
    std::size_t n;
    bool ok = true;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (bytes.size() + n > maxBytes) {  // it grew while being read
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    if (!ok) bytes.clear();
    return ok;
}

}  // namespace zelmora
