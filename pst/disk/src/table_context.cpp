#include "pst/disk/table_context.h"

#include <string>

#include "pst/core/le_codec.h"
#include "zentra/error.h"

namespace pst::disk {

using namespace pst::core;

void TCOLDESC::serialize(std::span<uint8_t> out) const {
    checkRange(out.size(), 0, kSize);
    writeLe32(out, 0, tag);
    writeLe16(out, 4, ibData);
    writeU8(out, 6, cbData);
    writeU8(out, 7, iBit);
}

TCOLDESC TCOLDESC::parse(std::span<const uint8_t> in) {
    checkRange(in.size(), 0, kSize);
    return TCOLDESC{readLe32(in, 0), readLe16(in, 4), readU8(in, 6), readU8(in, 7)};
}

void TCINFO::serialize(std::span<uint8_t> out) const {
    if (rgTCOLDESC.size() > 0xFF)
        throw zentra::Error(zentra::kErrInvalidArgument, "TCINFO with " + std::to_string(rgTCOLDESC.size()) + " columns");
    checkRange(out.size(), 0, sizeFor(rgTCOLDESC.size()));
    writeU8(out, 0, bType);
    writeU8(out, 1, static_cast<uint8_t>(rgTCOLDESC.size()));
    for (size_t i = 0; i < rgib.size(); ++i) writeLe16(out, 2 + 2 * i, rgib[i]);
    writeLe32(out, 10, hidRowIndex);
    writeLe32(out, 14, hnidRows);
    writeLe32(out, 18, hidIndex);
    for (size_t i = 0; i < rgTCOLDESC.size(); ++i)
        rgTCOLDESC[i].serialize(out.subspan(kHeaderSize + TCOLDESC::kSize * i, TCOLDESC::kSize));
}

TCINFO TCINFO::parse(std::span<const uint8_t> in) {
    checkRange(in.size(), 0, kHeaderSize);
    TCINFO t;
    t.bType = readU8(in, 0);
    t.cCols = readU8(in, 1);
    for (size_t i = 0; i < t.rgib.size(); ++i) t.rgib[i] = readLe16(in, 2 + 2 * i);
    t.hidRowIndex = readLe32(in, 10);
    t.hnidRows = readLe32(in, 14);
    t.hidIndex = readLe32(in, 18);
    checkRange(in.size(), 0, sizeFor(t.cCols));
    t.rgTCOLDESC.reserve(t.cCols);
    for (size_t i = 0; i < t.cCols; ++i)
        t.rgTCOLDESC.push_back(TCOLDESC::parse(in.subspan(kHeaderSize + TCOLDESC::kSize * i, TCOLDESC::kSize)));
    return t;
}

void TCROWID::serialize(std::span<uint8_t> out) const {
    checkRange(out.size(), 0, kSize);
    writeLe32(out, 0, dwRowID);
    writeLe32(out, 4, dwRowIndex);
}

void TCROWID::appendTo(std::vector<uint8_t>& out) const {
    const size_t at = out.size();
    out.resize(at + kSize);
    serialize(std::span(out).subspan(at));
}

TCROWID TCROWID::parse(std::span<const uint8_t> in) {
    checkRange(in.size(), 0, kSize);
    return TCROWID{readLe32(in, 0), readLe32(in, 4)};
}

}  // namespace pst::disk
