#pragma once
// Explicit little-endian codecs. Every integer that reaches the file goes through these,
// so the byte order never depends on the host. Offsets are checked: a structure that reads
// past its buffer is a corrupt file (or a writer bug), never undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <span>

namespace pst::core {

// Throws zentra::Error(kErrStoreCorrupt) naming the offending range.
[[noreturn]] void throwOutOfRange(size_t offset, size_t width, size_t size);

inline void checkRange(size_t size, size_t offset, size_t width) {
    if (offset > size || width > size - offset) throwOutOfRange(offset, width, size);
}

inline uint8_t readU8(std::span<const uint8_t> b, size_t off) {
    checkRange(b.size(), off, 1);
    return b[off];
}

inline uint16_t readLe16(std::span<const uint8_t> b, size_t off) {
    checkRange(b.size(), off, 2);
    return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
}

inline uint32_t readLe32(std::span<const uint8_t> b, size_t off) {
    checkRange(b.size(), off, 4);
    return static_cast<uint32_t>(b[off]) | (static_cast<uint32_t>(b[off + 1]) << 8) |
           (static_cast<uint32_t>(b[off + 2]) << 16) | (static_cast<uint32_t>(b[off + 3]) << 24);
}

inline uint64_t readLe64(std::span<const uint8_t> b, size_t off) {
    return static_cast<uint64_t>(readLe32(b, off)) | (static_cast<uint64_t>(readLe32(b, off + 4)) << 32);
}

inline void writeU8(std::span<uint8_t> b, size_t off, uint8_t v) {
    checkRange(b.size(), off, 1);
    b[off] = v;
}

inline void writeLe16(std::span<uint8_t> b, size_t off, uint16_t v) {
    checkRange(b.size(), off, 2);
    b[off] = static_cast<uint8_t>(v);
    b[off + 1] = static_cast<uint8_t>(v >> 8);
}

inline void writeLe32(std::span<uint8_t> b, size_t off, uint32_t v) {
    checkRange(b.size(), off, 4);
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void writeLe64(std::span<uint8_t> b, size_t off, uint64_t v) {
    checkRange(b.size(), off, 8);
    for (int i = 0; i < 8; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace pst::core
