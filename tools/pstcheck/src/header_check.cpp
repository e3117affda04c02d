// HEADER checks ([MS-PST] 2.2.2.6): identity, CRCs, root record and file size.
#include "checks.h"

namespace pstcheck {
namespace {
constexpr size_t kHeaderSize = 0x234;
}

bool checkHeader(Image& img) {
    Bytes f = img.file;
    Sink& s = img.sink;
    if (f.size() < kHeaderSize) {
        s.error("header.size", 0, "file of " + std::to_string(f.size()) + " bytes is too small for a PST header");
        return false;
    }
    if (u32(f, 0) != 0x4E444221) {
        s.error("header.magic", 0, "dwMagic is not !BDN");
        return false;
    }
    if (u16(f, 8) != 0x4D53) s.error("header.magic", 8, "wMagicClient is not SM");

    Header& h = img.hdr;
    h.wVer = u16(f, 10);
    if (h.wVer != 23) {
        // 14/15 are ANSI, 36 and up the 4k-page variant; neither is what this project writes.
        s.error("header.version", 10, "wVer is " + std::to_string(h.wVer) + ", expected 23 (Unicode)");
        return false;
    }
    uint32_t crcPartial = pstCrc(f.subspan(8, 471));
    if (crcPartial != u32(f, 4))
        s.error("header.crc_partial", 4, "dwCRCPartial is " + hex(u32(f, 4)) + ", computed " + hex(crcPartial));
    uint32_t crcFull = pstCrc(f.subspan(8, 516));
    if (crcFull != u32(f, 0x20C))
        s.error("header.crc_full", 0x20C, "dwCRCFull is " + hex(u32(f, 0x20C)) + ", computed " + hex(crcFull));

    h.bidNextP = u64(f, 0x20);
    for (int i = 0; i < 32; ++i) h.rgnid[i] = u32(f, 0x2C + 4 * i);
    h.ibFileEof = u64(f, 0xB8);
    h.ibAMapLast = u64(f, 0xC0);
    h.cbAMapFree = u64(f, 0xC8);
    h.cbPMapFree = u64(f, 0xD0);
    h.nbtBid = u64(f, 0xD8);
    h.nbtIb = u64(f, 0xE0);
    h.bbtBid = u64(f, 0xE8);
    h.bbtIb = u64(f, 0xF0);
    h.fAMapValid = u8(f, 0xF8);
    h.bCryptMethod = u8(f, 0x201);
    h.bidNextB = u64(f, 0x204);

    if (u8(f, 0x200) != 0x80) s.error("header.sentinel", 0x200, "bSentinel is " + hex(u8(f, 0x200)) + ", expected 0x80");
    if (h.bCryptMethod > 1)
        s.error("header.crypt", 0x201, "bCryptMethod " + hex(h.bCryptMethod) + " is neither NONE nor PERMUTE");
    if (h.fAMapValid != 2)
        s.error("header.amap_valid", 0xF8, "fAMapValid is " + std::to_string(h.fAMapValid) + ", expected 2 (VALID_AMAP2)");
    // A file shorter than ibFileEof has lost data. Bytes after ibFileEof are what a writer
    // stopped between two commits leaves behind: nothing the header reaches, and no reader
    // looks at them, so they are only worth a warning.
    if (h.ibFileEof > f.size())
        s.error("header.eof", 0xB8, "ibFileEof is " + std::to_string(h.ibFileEof) + " but the file has only " +
                                        std::to_string(f.size()) + " bytes");
    else if (h.ibFileEof < f.size())
        s.warn("header.eof_trailing", 0xB8, std::to_string(f.size() - h.ibFileEof) +
                                                " bytes follow ibFileEof " + std::to_string(h.ibFileEof));
    if (h.ibFileEof < kFirstAMap + kAMapSpan || (h.ibFileEof - kFirstAMap) % kAMapSpan != 0)
        s.error("header.eof_grid", 0xB8, "ibFileEof " + std::to_string(h.ibFileEof) +
                                             " is not 0x4400 plus a whole number of 253952-byte spans");
    if (h.cbPMapFree != 0) s.warn("header.pmap_free", 0xD0, "cbPMapFree is " + std::to_string(h.cbPMapFree));
    if (h.bidNextB & 0x3) s.error("header.bid_next", 0x204, "bidNextB " + hex(h.bidNextB) + " has low bits set");
    // Outlook fills dwReserved1/2 and, in older files, rgbFM/rgbFP; tolerated, not reported.
    return true;
}

}  // namespace pstcheck
