#include "pst/disk/btree_on_heap.h"

#include <algorithm>

#include "pst/core/le_codec.h"

namespace pst::disk {

using namespace pst::core;

void BTHHEADER::serialize(std::span<uint8_t> out) const {
    checkRange(out.size(), 0, kSize);
    writeU8(out, 0, bType);
    writeU8(out, 1, cbKey);
    writeU8(out, 2, cbEnt);
    writeU8(out, 3, bIdxLevels);
    writeLe32(out, 4, hidRoot);
}

BTHHEADER BTHHEADER::parse(std::span<const uint8_t> in) {
    checkRange(in.size(), 0, kSize);
    BTHHEADER h;
    h.bType = readU8(in, 0);
    h.cbKey = readU8(in, 1);
    h.cbEnt = readU8(in, 2);
    h.bIdxLevels = readU8(in, 3);
    h.hidRoot = readLe32(in, 4);
    return h;
}

void BthIndexRecord::serialize(std::span<uint8_t> out) const {
    checkRange(out.size(), 0, sizeFor(key.size()));
    std::copy(key.begin(), key.end(), out.begin());
    writeLe32(out, key.size(), hidNextLevel);
}

void BthIndexRecord::appendTo(std::vector<uint8_t>& out) const {
    const size_t at = out.size();
    out.resize(at + sizeFor(key.size()));
    serialize(std::span(out).subspan(at));
}

BthIndexRecord BthIndexRecord::parse(std::span<const uint8_t> in, size_t cbKey) {
    checkRange(in.size(), 0, sizeFor(cbKey));
    return BthIndexRecord{in.first(cbKey), readLe32(in, cbKey)};
}

void PcBthRecord::serialize(std::span<uint8_t> out) const {
    checkRange(out.size(), 0, kSize);
    writeLe16(out, 0, wPropId);
    writeLe16(out, 2, wPropType);
    writeLe32(out, 4, dwValueHnid);
}

PcBthRecord PcBthRecord::parse(std::span<const uint8_t> in) {
    checkRange(in.size(), 0, kSize);
    return PcBthRecord{readLe16(in, 0), readLe16(in, 2), readLe32(in, 4)};
}

}  // namespace pst::disk
