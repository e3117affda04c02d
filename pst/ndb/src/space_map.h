#pragma once
// Free-space bookkeeping in units of 64 bytes, one bitmap per AMap span.
//
// Two views per span:
//  * allocated:   live blocks, live pages and the map pages themselves;
//  * unavailable: allocated, plus space freed that a header on disk may still reference. Space
//                 freed before a commit's header stays unavailable until a sync has made that
//                 header durable (synced()); space freed after it waits for the sync after the
//                 next header (headerWritten() moves it along).
// The AMaps a commit writes show `unavailable`: they then hold for every state a header on disk
// may describe, so they never have to be flagged invalid while the header is rewritten. Freed
// space shows as used until a later commit clears it (close() runs that extra commit, so a
// closed file's AMaps are exact).
// The file grows in whole spans; each new span starts with its AMap page, every 8th also holds a
// PMap, spans 128 + 496k hold an FMap and spans 8192 + 31,744k an FPMap.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "pst/disk/layout.h"

namespace pst::ndb {

class SpaceMap {
public:
    static constexpr size_t kWords = disk::kAMapUnitsPerPage / 64;   // 62

    // One span; the file never grows past maxFileSize bytes.
    explicit SpaceMap(uint64_t maxFileSize);

    // An offset for `bytes` (a multiple of 64) aligned to `align` (64 or 512) inside the spans
    // there are, or nullopt: the caller decides how the file grows (addEmptySpans), since
    // growing it is a change the header on disk must learn about.
    std::optional<uint64_t> allocate(uint32_t bytes, uint32_t align);
    // Marks the range free for the AMaps; it becomes reusable once the header written after
    // this call is durable.
    void free(uint64_t offset, uint32_t bytes);
    // The AMaps of the dirty spans are on disk.
    void mapsWritten();
    // A header was written: what was freed before it waits for the next sync.
    void headerWritten();
    // The file was synced, and with it every header written before: the space those headers
    // stopped referencing may be reused.
    void synced();

    uint64_t spanCount() const { return spans_.size(); }
    // Spans at the end of the file that hold nothing but their own map pages.
    size_t trailingEmptySpans() const;
    // Adds empty spans at the end. Throws kErrStoreWrite when that would take the file past
    // maxFileSize.
    void addEmptySpans(size_t count);
    // How many more spans the file may have.
    size_t spansBelowLimit() const;
    uint64_t fileEof() const { return disk::amapOffset(spans_.size()); }
    uint64_t cbAMapFree() const;

    // The 496 bytes of the AMap page of a span (bits most significant first).
    std::array<uint8_t, disk::kPageDataSize> amapBits(size_t span) const;
    // The longest run of free units in a span, capped at 255 (one FMap byte); kept until the
    // span changes, since an FMap page asks for 496 spans and most of them stay as they were.
    uint8_t longestFreeRun(size_t span);
    // Spans whose AMap must be rewritten at the next commit.
    std::vector<size_t> dirtySpans() const;
    bool spanNeverWritten(size_t span) const { return spans_.at(span).neverWritten; }

    // The FMap page covering a span's AMap, if any (offset of the FMap page).
    static std::optional<uint64_t> fmapOffsetFor(size_t span);

private:
    using Bits = std::array<uint64_t, kWords>;
    struct Span {
        Bits allocated{};
        Bits unavailable{};
        bool dirty = true;
        bool neverWritten = true;
        uint32_t unavailableCount = 0;
        uint32_t firstMaybeFree = 0;
        uint32_t mapUnits = 0;   // units taken by the span's own map pages
        uint8_t longestRun = 0;
        bool longestRunKnown = false;
    };

    void addSpan();
    size_t* searchStartFor(uint32_t units, uint32_t alignUnits);
    std::optional<uint32_t> findRun(const Span& s, uint32_t units, uint32_t alignUnits) const;
    void markRange(Span& s, uint32_t first, uint32_t count);

    uint64_t maxFileSize_;
    std::vector<Span> spans_;
    uint64_t unavailableTotal_ = 0;   // the unavailableCount of every span, summed
    struct Range { uint64_t offset; uint32_t bytes; };
    std::vector<Range> pendingFree_;    // freed since the last header was written
    std::vector<Range> awaitingSync_;   // freed before it; reusable at the next sync
    size_t firstSpanWithRoom_ = 0;
    // For each size of block (and of page) up to the largest block: no span before this one has
    // had room for it since space last became free. First fit then starts there instead of
    // walking every span of a file grown to thousands of them for every block it writes.
    static constexpr uint32_t kTrackedUnits = 128;
    std::array<size_t, 2 * kTrackedUnits> searchStart_{};   // [page-aligned][units - 1]
};

}  // namespace pst::ndb
