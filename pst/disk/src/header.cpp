#include "pst/disk/header.h"

#include <algorithm>

#include "pst/core/crc.h"
#include "pst/core/le_codec.h"

namespace pst::disk {

using namespace pst::core;

void BREF::serialize(std::span<uint8_t> out) const {
    writeLe64(out, 0, bid);
    writeLe64(out, 8, ib);
}

BREF BREF::parse(std::span<const uint8_t> in) { return BREF{readLe64(in, 0), readLe64(in, 8)}; }

void ROOT::serialize(std::span<uint8_t> out) const {
    checkRange(out.size(), 0, kSize);
    writeLe32(out, 0x00, dwReserved);
    writeLe64(out, 0x04, ibFileEof);
    writeLe64(out, 0x0C, ibAMapLast);
    writeLe64(out, 0x14, cbAMapFree);
    writeLe64(out, 0x1C, cbPMapFree);
    BREFNBT.serialize(out.subspan(0x24, BREF::kSize));
    BREFBBT.serialize(out.subspan(0x34, BREF::kSize));
    writeU8(out, 0x44, fAMapValid);
    writeU8(out, 0x45, bReserved);
    writeLe16(out, 0x46, wReserved);
}

ROOT ROOT::parse(std::span<const uint8_t> in) {
    checkRange(in.size(), 0, kSize);
    ROOT r;
    r.dwReserved = readLe32(in, 0x00);
    r.ibFileEof = readLe64(in, 0x04);
    r.ibAMapLast = readLe64(in, 0x0C);
    r.cbAMapFree = readLe64(in, 0x14);
    r.cbPMapFree = readLe64(in, 0x1C);
    r.BREFNBT = BREF::parse(in.subspan(0x24, BREF::kSize));
    r.BREFBBT = BREF::parse(in.subspan(0x34, BREF::kSize));
    r.fAMapValid = readU8(in, 0x44);
    r.bReserved = readU8(in, 0x45);
    r.wReserved = readLe16(in, 0x46);
    return r;
}

void HEADER::serialize(std::span<uint8_t> out) const {
    checkRange(out.size(), 0, kSize);
    std::fill(out.begin(), out.begin() + kSize, uint8_t{0});
    writeLe32(out, 0x000, dwMagic);
    writeLe32(out, 0x004, dwCRCPartial);
    writeLe16(out, 0x008, wMagicClient);
    writeLe16(out, 0x00A, wVer);
    writeLe16(out, 0x00C, wVerClient);
    writeU8(out, 0x00E, bPlatformCreate);
    writeU8(out, 0x00F, bPlatformAccess);
    writeLe32(out, 0x010, dwReserved1);
    writeLe32(out, 0x014, dwReserved2);
    writeLe64(out, 0x018, bidUnused);
    writeLe64(out, 0x020, bidNextP);
    writeLe32(out, 0x028, dwUnique);
    for (size_t i = 0; i < rgnid.size(); ++i) writeLe32(out, kOffRgnid + 4 * i, rgnid[i]);
    writeLe64(out, 0x0AC, qwUnused);
    root.serialize(out.subspan(kOffRoot, ROOT::kSize));
    writeLe32(out, 0x0FC, dwAlign);
    std::copy(rgbFM.begin(), rgbFM.end(), out.begin() + kOffRgbFM);
    std::copy(rgbFP.begin(), rgbFP.end(), out.begin() + kOffRgbFP);
    writeU8(out, 0x200, bSentinel);
    writeU8(out, 0x201, bCryptMethod);
    writeLe16(out, 0x202, rgbReserved);
    writeLe64(out, 0x204, bidNextB);
    writeLe32(out, 0x20C, dwCRCFull);
    std::copy(rgbReserved2.begin(), rgbReserved2.end(), out.begin() + 0x210);
    writeU8(out, 0x213, bReserved);
    std::copy(rgbReserved3.begin(), rgbReserved3.end(), out.begin() + kOffRgbReserved3);
}

HEADER HEADER::parse(std::span<const uint8_t> in) {
    checkRange(in.size(), 0, kSize);
    HEADER h;
    h.dwMagic = readLe32(in, 0x000);
    h.dwCRCPartial = readLe32(in, 0x004);
    h.wMagicClient = readLe16(in, 0x008);
    h.wVer = readLe16(in, 0x00A);
    h.wVerClient = readLe16(in, 0x00C);
    h.bPlatformCreate = readU8(in, 0x00E);
    h.bPlatformAccess = readU8(in, 0x00F);
    h.dwReserved1 = readLe32(in, 0x010);
    h.dwReserved2 = readLe32(in, 0x014);
    h.bidUnused = readLe64(in, 0x018);
    h.bidNextP = readLe64(in, 0x020);
    h.dwUnique = readLe32(in, 0x028);
    for (size_t i = 0; i < h.rgnid.size(); ++i) h.rgnid[i] = readLe32(in, kOffRgnid + 4 * i);
    h.qwUnused = readLe64(in, 0x0AC);
    h.root = ROOT::parse(in.subspan(kOffRoot, ROOT::kSize));
    h.dwAlign = readLe32(in, 0x0FC);
    std::copy_n(in.begin() + kOffRgbFM, 128, h.rgbFM.begin());
    std::copy_n(in.begin() + kOffRgbFP, 128, h.rgbFP.begin());
    h.bSentinel = readU8(in, 0x200);
    h.bCryptMethod = readU8(in, 0x201);
    h.rgbReserved = readLe16(in, 0x202);
    h.bidNextB = readLe64(in, 0x204);
    h.dwCRCFull = readLe32(in, 0x20C);
    std::copy_n(in.begin() + 0x210, 3, h.rgbReserved2.begin());
    h.bReserved = readU8(in, 0x213);
    std::copy_n(in.begin() + kOffRgbReserved3, 32, h.rgbReserved3.begin());
    return h;
}

namespace {
uint32_t partialCrc(std::span<const uint8_t> b) { return computeCrc(b.subspan(8, HEADER::kCrcPartialLength)); }
uint32_t fullCrc(std::span<const uint8_t> b) { return computeCrc(b.subspan(8, HEADER::kCrcFullLength)); }
}  // namespace

void sealHeader(std::span<uint8_t> b) {
    checkRange(b.size(), 0, HEADER::kSize);
    writeLe32(b, HEADER::kOffCRCPartial, partialCrc(b));
    writeLe32(b, HEADER::kOffCRCFull, fullCrc(b));
}

bool headerCrcsValid(std::span<const uint8_t> b) {
    checkRange(b.size(), 0, HEADER::kSize);
    return readLe32(b, HEADER::kOffCRCPartial) == partialCrc(b) && readLe32(b, HEADER::kOffCRCFull) == fullCrc(b);
}

}  // namespace pst::disk
