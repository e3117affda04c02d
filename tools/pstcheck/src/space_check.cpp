// Space accounting ([MS-PST] 2.2.2.7.2–2.2.2.7.6): the map pages at their fixed places, the
// optional DList, no overlap between live pages and blocks, and every AMap bit against what is
// really allocated.
#include <algorithm>

#include "checks.h"

namespace pstcheck {
namespace {

constexpr uint64_t kUnitsPerSpan = kAMapSpan / 64;  // 3968 bits in 496 bytes

uint64_t spanCount(const Image& img) {
    uint64_t end = std::min<uint64_t>(img.hdr.ibFileEof, img.file.size());
    return end < kFirstAMap + kPageSize ? 0 : (end - kFirstAMap - kPageSize) / kAMapSpan + 1;
}

void checkMapPages(Image& img, uint64_t spans) {
    auto mapPage = [&](uint64_t ib, uint8_t type) {
        if (checkPage(img, ib, type, ib)) img.extents.push_back({ib, kPageSize, pageTypeName(type)});
    };
    for (uint64_t i = 0; i < spans; ++i) mapPage(kFirstAMap + i * kAMapSpan, kPtAMap);
    // PMaps are deprecated but must still be present with valid CRCs, every 8 spans.
    for (uint64_t i = 0; i < spans; i += 8) mapPage(kFirstAMap + i * kAMapSpan + kPageSize, kPtPMap);
    // FMaps once there are more than 128 AMaps, FPMaps beyond 8192 (the header covers the rest).
    for (uint64_t i = 128; i < spans; i += 496) mapPage(kFirstAMap + i * kAMapSpan + 2 * kPageSize, kPtFMap);
    for (uint64_t i = 8192; i < spans; i += 496 * 64) mapPage(kFirstAMap + i * kAMapSpan + 3 * kPageSize, kPtFPMap);

    uint64_t expectLast = kFirstAMap + (spans ? spans - 1 : 0) * kAMapSpan;
    if (img.hdr.ibAMapLast != expectLast)
        img.sink.error("amap.last", 0xC0, "ibAMapLast " + hex(img.hdr.ibAMapLast) + ", the last AMap is at " + hex(expectLast));
}

void checkDList(Image& img) {
    if (!fits(img.file, kDListOffset, kPageSize)) return;
    Bytes p = img.file.subspan(kDListOffset, kPageSize);
    if (p[kPageTrailer] == kPtDList) {
        checkPage(img, kDListOffset, kPtDList, std::nullopt);
        return;
    }
    // The DList is optional; an absent one is an all-zero page.
    if (std::any_of(p.begin(), p.end(), [](uint8_t b) { return b != 0; }))
        img.sink.warn("dlist.unknown", kDListOffset, "the DList area holds data but no DList trailer");
}

void checkOverlaps(Image& img) {
    auto ext = img.extents;
    std::sort(ext.begin(), ext.end(), [](const Extent& a, const Extent& b) { return a.ib < b.ib; });
    for (size_t i = 1; i < ext.size(); ++i) {
        const Extent& prev = ext[i - 1];
        if (ext[i].ib < prev.ib + prev.size)
            img.sink.error("space.overlap", ext[i].ib, ext[i].what + " overlaps " + prev.what + " at " + hex(prev.ib));
    }
}

void checkAMapBits(Image& img, uint64_t spans) {
    std::vector<bool> used(spans * kUnitsPerSpan, false);
    for (const Extent& e : img.extents) {
        if (e.ib < kFirstAMap) continue;
        uint64_t first = (e.ib - kFirstAMap) / 64, last = (e.ib + e.size - kFirstAMap + 63) / 64;
        for (uint64_t u = first; u < last && u < used.size(); ++u) used[u] = true;
    }
    uint64_t freeUnits = 0;
    bool liveMarkedFree = false;
    for (uint64_t s = 0; s < spans; ++s) {
        const uint64_t base = kFirstAMap + s * kAMapSpan;
        if (!fits(img.file, base, kPageSize)) break;
        Bytes bits = img.file.subspan(base, kPageTrailer);
        uint64_t liveFree = 0, leaked = 0;
        std::optional<uint64_t> firstLiveFree;
        for (uint64_t u = 0; u < kUnitsPerSpan; ++u) {
            bool set = (bits[u / 8] >> (7 - u % 8)) & 1;
            bool inUse = used[s * kUnitsPerSpan + u];
            freeUnits += !set;
            if (inUse && !set) {
                ++liveFree;
                if (!firstLiveFree) firstLiveFree = base + u * 64;
            }
            leaked += set && !inUse;
        }
        liveMarkedFree |= liveFree != 0;
        if (liveFree)
            img.sink.error("amap.free_live", *firstLiveFree, std::to_string(liveFree) + " allocated 64-byte units of the AMap at " +
                                                                 hex(base) + " are marked free");
        // Outlook leaves allocated-but-unused space behind; harmless, so only a warning.
        if (leaked)
            img.sink.warn("amap.leak", base, std::to_string(leaked) + " units marked allocated by the AMap at " + hex(base) +
                                                 " hold no live page or block");
    }
    // A total that disagrees with maps that are right unit by unit is what a writer stopped
    // between rewriting its AMaps and its header leaves: stale, not damaging.
    if (freeUnits * 64 != img.hdr.cbAMapFree) {
        const std::string text = "cbAMapFree " + std::to_string(img.hdr.cbAMapFree) + ", the AMaps mark " +
                                 std::to_string(freeUnits * 64) + " bytes free";
        if (liveMarkedFree) img.sink.error("amap.free_total", 0xC8, text);
        else img.sink.warn("amap.free_total", 0xC8, text);
    }
}

}  // namespace

void checkSpace(Image& img) {
    const uint64_t spans = spanCount(img);
    checkMapPages(img, spans);
    checkDList(img);
    checkOverlaps(img);
    checkAMapBits(img, spans);
}

}  // namespace pstcheck
