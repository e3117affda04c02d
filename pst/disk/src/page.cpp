#include "pst/disk/page.h"

#include <algorithm>

#include "pst/core/crc.h"
#include "pst/core/le_codec.h"
#include "pst/core/signature.h"
#include "zentra/error.h"

namespace pst::disk {

using namespace pst::core;

namespace {
bool pageHasSignature(uint8_t ptype) { return ptype == kPtypeBBT || ptype == kPtypeNBT || ptype == kPtypeDL; }
std::span<const uint8_t> pageData(const PageBytes& p) { return std::span<const uint8_t>(p).first(kPageDataSize); }
}  // namespace

void PAGETRAILER::serialize(std::span<uint8_t> out) const {
    writeU8(out, 0, ptype);
    writeU8(out, 1, ptypeRepeat);
    writeLe16(out, 2, wSig);
    writeLe32(out, 4, dwCRC);
    writeLe64(out, 8, bid);
}

PAGETRAILER PAGETRAILER::parse(std::span<const uint8_t> in) {
    PAGETRAILER t;
    t.ptype = readU8(in, 0);
    t.ptypeRepeat = readU8(in, 1);
    t.wSig = readLe16(in, 2);
    t.dwCRC = readLe32(in, 4);
    t.bid = readLe64(in, 8);
    return t;
}

void sealPage(PageBytes& page, uint8_t ptype, uint64_t ib, Bid bid) {
    PAGETRAILER t;
    t.ptype = ptype;
    t.ptypeRepeat = ptype;
    t.wSig = pageHasSignature(ptype) ? computeSignature(ib, bid) : 0;
    t.dwCRC = computeCrc(pageData(page));
    t.bid = bid;
    t.serialize(std::span<uint8_t>(page).subspan(kPageDataSize));
}

PAGETRAILER pageTrailerOf(const PageBytes& page) {
    return PAGETRAILER::parse(std::span<const uint8_t>(page).subspan(kPageDataSize));
}

bool pageTrailerValid(const PageBytes& page, uint64_t ib) {
    const PAGETRAILER t = pageTrailerOf(page);
    if (t.ptype != t.ptypeRepeat) return false;
    if (t.dwCRC != computeCrc(pageData(page))) return false;
    const uint16_t expectedSig = pageHasSignature(t.ptype) ? computeSignature(ib, t.bid) : 0;
    return t.wSig == expectedSig;
}

void BTENTRY::serialize(std::span<uint8_t> out) const {
    writeLe64(out, 0, btkey);
    BREF.serialize(out.subspan(8, BREF::kSize));
}

BTENTRY BTENTRY::parse(std::span<const uint8_t> in) {
    BTENTRY e;
    e.btkey = readLe64(in, 0);
    e.BREF = BREF::parse(in.subspan(8, BREF::kSize));
    return e;
}

void BBTENTRY::serialize(std::span<uint8_t> out) const {
    BREF.serialize(out.subspan(0, BREF::kSize));
    writeLe16(out, 16, cb);
    writeLe16(out, 18, cRef);
    writeLe32(out, 20, dwPadding);
}

BBTENTRY BBTENTRY::parse(std::span<const uint8_t> in) {
    BBTENTRY e;
    e.BREF = BREF::parse(in.subspan(0, BREF::kSize));
    e.cb = readLe16(in, 16);
    e.cRef = readLe16(in, 18);
    e.dwPadding = readLe32(in, 20);
    return e;
}

void NBTENTRY::serialize(std::span<uint8_t> out) const {
    writeLe64(out, 0, nid);
    writeLe64(out, 8, bidData);
    writeLe64(out, 16, bidSub);
    writeLe32(out, 24, nidParent);
    writeLe32(out, 28, dwPadding);
}

NBTENTRY NBTENTRY::parse(std::span<const uint8_t> in) {
    NBTENTRY e;
    e.nid = readLe64(in, 0);
    e.bidData = readLe64(in, 8);
    e.bidSub = readLe64(in, 16);
    e.nidParent = readLe32(in, 24);
    e.dwPadding = readLe32(in, 28);
    return e;
}

void BTPAGE::serializeBody(PageBytes& out) const {
    std::copy(rgentries.begin(), rgentries.end(), out.begin());
    std::span<uint8_t> s(out);
    writeU8(s, kOffCEnt, cEnt);
    writeU8(s, kOffCEntMax, cEntMax);
    writeU8(s, kOffCbEnt, cbEnt);
    writeU8(s, kOffCLevel, cLevel);
    writeLe32(s, kOffDwPadding, dwPadding);
}

BTPAGE BTPAGE::parse(const PageBytes& in) {
    BTPAGE p;
    std::copy_n(in.begin(), kEntriesSize, p.rgentries.begin());
    std::span<const uint8_t> s(in);
    p.cEnt = readU8(s, kOffCEnt);
    p.cEntMax = readU8(s, kOffCEntMax);
    p.cbEnt = readU8(s, kOffCbEnt);
    p.cLevel = readU8(s, kOffCLevel);
    p.dwPadding = readLe32(s, kOffDwPadding);
    p.pageTrailer = pageTrailerOf(in);
    if (p.cbEnt == 0 || static_cast<size_t>(p.cEnt) * p.cbEnt > kEntriesSize)
        throw zentra::Error(zentra::kErrStoreCorrupt, "BT page entries (cEnt " + std::to_string(p.cEnt) +
                                                          ", cbEnt " + std::to_string(p.cbEnt) +
                                                          ") overflow the page");
    return p;
}

void MAPPAGE::serializeBody(PageBytes& out) const { std::copy(rgbMapBits.begin(), rgbMapBits.end(), out.begin()); }

MAPPAGE MAPPAGE::parse(const PageBytes& in) {
    MAPPAGE m;
    std::copy_n(in.begin(), kPageDataSize, m.rgbMapBits.begin());
    m.pageTrailer = pageTrailerOf(in);
    return m;
}

void DLISTPAGE::serializeBody(PageBytes& out) const {
    std::fill(out.begin(), out.begin() + kPageDataSize, uint8_t{0});
    std::span<uint8_t> s(out);
    writeU8(s, 0, bFlags);
    writeU8(s, 1, cEntDList);
    writeLe16(s, 2, wPadding);
    writeLe32(s, 4, ulCurrentPage);
    const size_t count = std::min(rgDListPageEnt.size(), kMaxEntries);
    for (size_t i = 0; i < count; ++i) {
        const auto& e = rgDListPageEnt[i];
        writeLe32(s, 8 + 4 * i, (e.dwPageNum & 0xFFFFF) | ((e.dwFreeSlots & 0xFFF) << 20));
    }
}

DLISTPAGE DLISTPAGE::parse(const PageBytes& in) {
    DLISTPAGE d;
    std::span<const uint8_t> s(in);
    d.bFlags = readU8(s, 0);
    d.cEntDList = readU8(s, 1);
    d.wPadding = readLe16(s, 2);
    d.ulCurrentPage = readLe32(s, 4);
    const size_t count = std::min<size_t>(d.cEntDList, kMaxEntries);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t v = readLe32(s, 8 + 4 * i);
        d.rgDListPageEnt.push_back({v & 0xFFFFF, v >> 20});
    }
    d.pageTrailer = pageTrailerOf(in);
    return d;
}

}  // namespace pst::disk
