#include "pst/disk/heap_on_node.h"

#include <algorithm>
#include <string>

#include "pst/core/le_codec.h"
#include "zentra/error.h"

namespace pst::disk {

using namespace pst::core;

void HNHDR::serialize(std::span<uint8_t> out) const {
    checkRange(out.size(), 0, kSize);
    writeLe16(out, 0, ibHnpm);
    writeU8(out, 2, bSig);
    writeU8(out, 3, bClientSig);
    writeLe32(out, 4, hidUserRoot);
    std::copy(rgbFillLevel.begin(), rgbFillLevel.end(), out.begin() + 8);
}

HNHDR HNHDR::parse(std::span<const uint8_t> in) {
    checkRange(in.size(), 0, kSize);
    HNHDR h;
    h.ibHnpm = readLe16(in, 0);
    h.bSig = readU8(in, 2);
    h.bClientSig = readU8(in, 3);
    h.hidUserRoot = readLe32(in, 4);
    std::copy_n(in.begin() + 8, h.rgbFillLevel.size(), h.rgbFillLevel.begin());
    return h;
}

void HNPAGEHDR::serialize(std::span<uint8_t> out) const { writeLe16(out, 0, ibHnpm); }

HNPAGEHDR HNPAGEHDR::parse(std::span<const uint8_t> in) { return HNPAGEHDR{readLe16(in, 0)}; }

void HNBITMAPHDR::serialize(std::span<uint8_t> out) const {
    checkRange(out.size(), 0, kSize);
    writeLe16(out, 0, ibHnpm);
    std::copy(rgbFillLevel.begin(), rgbFillLevel.end(), out.begin() + 2);
}

HNBITMAPHDR HNBITMAPHDR::parse(std::span<const uint8_t> in) {
    checkRange(in.size(), 0, kSize);
    HNBITMAPHDR h;
    h.ibHnpm = readLe16(in, 0);
    std::copy_n(in.begin() + 2, h.rgbFillLevel.size(), h.rgbFillLevel.begin());
    return h;
}

uint8_t fillLevelAt(std::span<const uint8_t> rgbFillLevel, uint32_t slot) {
    const uint8_t byte = readU8(rgbFillLevel, slot / 2);
    return slot % 2 == 0 ? (byte & 0x0F) : (byte >> 4);
}

void setFillLevelAt(std::span<uint8_t> rgbFillLevel, uint32_t slot, uint8_t level) {
    const uint8_t byte = readU8(rgbFillLevel, slot / 2);
    writeU8(rgbFillLevel, slot / 2,
            slot % 2 == 0 ? static_cast<uint8_t>((byte & 0xF0) | (level & 0x0F))
                          : static_cast<uint8_t>((byte & 0x0F) | (level << 4)));
}

void HNPAGEMAP::serialize(std::span<uint8_t> out) const { serialize(out, cFree, rgibAlloc); }

void HNPAGEMAP::serialize(std::span<uint8_t> out, uint16_t cFree, std::span<const uint16_t> rgibAlloc) {
    if (rgibAlloc.empty() || rgibAlloc.size() > 0x10000)
        throw zentra::Error(zentra::kErrInvalidArgument,
                            "HNPAGEMAP with " + std::to_string(rgibAlloc.size()) + " offsets");
    checkRange(out.size(), 0, sizeFor(rgibAlloc.size() - 1));
    writeLe16(out, 0, static_cast<uint16_t>(rgibAlloc.size() - 1));
    writeLe16(out, 2, cFree);
    for (size_t i = 0; i < rgibAlloc.size(); ++i) writeLe16(out, kHeaderSize + 2 * i, rgibAlloc[i]);
}

HNPAGEMAP HNPAGEMAP::parse(std::span<const uint8_t> in) {
    HNPAGEMAP m;
    m.cAlloc = readLe16(in, 0);
    m.cFree = readLe16(in, 2);
    checkRange(in.size(), 0, sizeFor(m.cAlloc));
    m.rgibAlloc.reserve(m.cAlloc + 1u);
    for (size_t i = 0; i <= m.cAlloc; ++i) m.rgibAlloc.push_back(readLe16(in, kHeaderSize + 2 * i));
    return m;
}

}  // namespace pst::disk
