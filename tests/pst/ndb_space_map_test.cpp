// The free-space map on its own: map pages reserved where [MS-PST] puts them (FPMaps past
// about 2 GB included), alignment, deferred reuse, and a clean refusal at the size limit.
#include <gtest/gtest.h>

#include <set>

#include "pst/disk/layout.h"
#include "space_map.h"
#include "zentra/error.h"

using namespace pst::ndb;
using namespace pst::disk;

namespace {
constexpr uint64_t kNoLimit = uint64_t{50} << 30;

// The way the node database uses the map before its first commit: a span more when nothing fits.
uint64_t allocateGrowing(SpaceMap& m, uint32_t bytes, uint32_t align) {
    if (const auto ib = m.allocate(bytes, align)) return *ib;
    m.addEmptySpans(1);
    return m.allocate(bytes, align).value();
}

bool amapMarks(const SpaceMap& m, size_t span, uint64_t offsetInSpan) {
    const auto bits = m.amapBits(span);
    const uint64_t unit = offsetInSpan / 64;
    return (bits[unit / 8] >> (7 - unit % 8)) & 1;
}
}  // namespace

TEST(SpaceMap, ReservesTheMapPagesOfEachSpan) {
    SpaceMap m(kNoLimit);
    EXPECT_EQ(m.fileEof(), 0x4400u + kAMapSpan);
    // Fill well past span 128 with full-size blocks; first fit puts a block right after the
    // map pages of each span.
    std::set<uint64_t> starts;
    while (m.spanCount() < 130) starts.insert(allocateGrowing(m, 8192, 64));
    for (size_t span : {size_t{0}, size_t{1}, size_t{8}, size_t{127}, size_t{128}, size_t{129}}) {
        EXPECT_TRUE(amapMarks(m, span, 0)) << "AMap page of span " << span;
        EXPECT_FALSE(starts.count(amapOffset(span))) << span;
        const uint64_t firstData = span == 128 ? 1536 : (span % 8 == 0 ? 1024 : 512);
        EXPECT_TRUE(starts.count(amapOffset(span) + firstData)) << "span " << span;
    }
    EXPECT_TRUE(amapMarks(m, 128, 1024));   // the first FMap
    EXPECT_EQ(SpaceMap::fmapOffsetFor(127), std::nullopt);
    EXPECT_EQ(SpaceMap::fmapOffsetFor(128), amapOffset(128) + 1024);
    EXPECT_EQ(SpaceMap::fmapOffsetFor(623), amapOffset(128) + 1024);
    EXPECT_EQ(SpaceMap::fmapOffsetFor(624), amapOffset(624) + 1024);
}

TEST(SpaceMap, AlignsPagesAndHoldsFreedSpaceUntilTheHeaderIsDurable) {
    SpaceMap m(kNoLimit);
    const uint64_t block = m.allocate(64, 64).value();
    const uint64_t page = m.allocate(512, 512).value();
    EXPECT_EQ(page % 512, 0u);
    EXPECT_EQ(block % 64, 0u);
    EXPECT_NE(block, page);
    const uint64_t freeBefore = m.cbAMapFree();
    m.free(block, 64);
    // Still unavailable, and still marked in the next AMaps (the last commit may use it).
    EXPECT_NE(m.allocate(64, 64).value(), block);
    EXPECT_EQ(m.cbAMapFree(), freeBefore - 64);
    // A header that no longer references the block is written: still kept until it is durable.
    m.mapsWritten();
    m.headerWritten();
    EXPECT_NE(m.allocate(64, 64).value(), block);
    m.synced();
    EXPECT_FALSE(m.dirtySpans().empty());   // the AMap must be rewritten to show the hole
    EXPECT_EQ(m.allocate(64, 64).value(), block);
    EXPECT_THROW(m.free(block + 64 * 100, 64), zentra::Error);   // never allocated
}

// Every unit of a span's AMap, most significant bit first, shows the space as the map holds it:
// runs of uneven length that cross the map's own word and byte boundaries, and holes freed
// (and made reusable) among them.
TEST(SpaceMap, TheAMapShowsEveryUnitOfTheSpan) {
    SpaceMap m(kNoLimit);
    std::set<uint64_t> used;   // units of span 0 in use
    for (uint64_t u = 0; u < 1024 / 64; ++u) used.insert(u);   // its AMap and PMap pages
    std::vector<std::pair<uint64_t, uint32_t>> blocks;
    for (uint32_t i = 0; m.spanCount() == 1; ++i) {
        const uint32_t bytes = 64 * (1 + (i * 37) % 23);
        const uint64_t ib = m.allocate(bytes, 64).value_or(0);
        if (ib == 0 || ib >= amapOffset(1)) break;
        blocks.push_back({ib, bytes});
    }
    ASSERT_GT(blocks.size(), 100u);
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (i % 3 == 1) m.free(blocks[i].first, blocks[i].second);
        else for (uint64_t u = 0; u < blocks[i].second / 64; ++u) used.insert((blocks[i].first - amapOffset(0)) / 64 + u);
    }
    m.mapsWritten();
    m.headerWritten();
    m.synced();
    for (uint64_t unit = 0; unit < kAMapUnitsPerPage; ++unit)
        ASSERT_EQ(amapMarks(m, 0, unit * 64), used.count(unit) == 1) << "unit " << unit;
}

// Past 8192 spans (about 2 GB) the header's rgbFP no longer covers the file: span 8192 holds
// the first FPMap page, after the places of the AMap, PMap and FMap. The limit still holds.
TEST(SpaceMap, ReservesFPMapsPastTwoGigabytesAndRefusesToGrowPastTheLimit) {
    const uint64_t limitSpans = 8200;
    SpaceMap m(amapOffset(limitSpans));
    std::set<uint64_t> starts;
    try {
        for (;;) starts.insert(allocateGrowing(m, 253952 - 4096, 512));   // nearly a span each
        FAIL();
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrStoreWrite);
        EXPECT_NE(e.description().find("largest size"), std::string::npos) << e.description();
    }
    EXPECT_EQ(m.spanCount(), limitSpans);
    EXPECT_EQ(m.spansBelowLimit(), 0u);
    EXPECT_EQ(m.fileEof(), amapOffset(limitSpans));

    EXPECT_TRUE(amapMarks(m, 8192, 1536));                        // the first FPMap
    EXPECT_FALSE(amapMarks(m, 8192, 1024));                       // span 8192 has no FMap
    EXPECT_TRUE(starts.count(amapOffset(8192) + 2048));           // data right after the FPMap
    EXPECT_TRUE(starts.count(amapOffset(8191) + 512));            // no FPMap before span 8192
    EXPECT_TRUE(starts.count(amapOffset(8193) + 512));            // ... nor after it
    EXPECT_TRUE(spanHasFPMap(8192 + 31744));
    EXPECT_FALSE(spanHasFPMap(8192 + 31743));
    EXPECT_FALSE(spanHasFMap(8192 + 31744));
}

namespace {

// First fit as the AMaps show it: the lowest aligned run of free units over all spans.
std::optional<uint64_t> firstFitByTheMaps(const SpaceMap& m, uint32_t bytes, uint32_t align) {
    const uint64_t units = (bytes + 63) / 64, step = align / 64;
    for (size_t span = 0; span < m.spanCount(); ++span) {
        const auto bits = m.amapBits(span);
        const auto used = [&](uint64_t u) { return (bits[u / 8] >> (7 - u % 8)) & 1; };
        for (uint64_t first = 0; first + units <= kAMapUnitsPerPage; first += step) {
            uint64_t u = first;
            while (u < first + units && !used(u)) ++u;
            if (u == first + units) return amapOffset(span) + first * 64;
        }
    }
    return std::nullopt;
}

}  // namespace

// Blocks of every size and pages, freed and made reusable in any order over a file of several
// spans: each allocation lands exactly where a first fit over the whole map puts it, however
// many spans the search skipped before.
TEST(SpaceMap, EveryAllocationIsTheFirstFitOverTheWholeFile) {
    SpaceMap m(kNoLimit);
    std::vector<std::pair<uint64_t, uint32_t>> live;
    uint32_t mix = 12345;   // a fixed pseudo-random sequence of operations
    const auto next = [&mix](uint32_t n) {
        mix = mix * 1664525u + 1013904223u;
        return (mix >> 8) % n;
    };
    size_t skippedAhead = 0;
    for (int step = 0; step < 6000; ++step) {
        const uint32_t roll = next(100);
        if (roll < 70 || live.empty()) {
            const bool page = roll < 7;
            const uint32_t bytes = page ? 512 : 64 * (1 + next(roll < 40 ? 8 : 128));
            const uint32_t align = page ? 512 : 64;
            std::optional<uint64_t> expected = firstFitByTheMaps(m, bytes, align);
            std::optional<uint64_t> got = m.allocate(bytes, align);
            ASSERT_EQ(got, expected) << "step " << step << ", " << bytes << " bytes";
            if (!got) {
                m.addEmptySpans(1);
                got = m.allocate(bytes, align);
                ASSERT_TRUE(got) << "step " << step;
            }
            if (*got >= amapOffset(1)) ++skippedAhead;
            live.emplace_back(*got, bytes);
        } else if (roll < 95) {
            const size_t i = next(static_cast<uint32_t>(live.size()));
            m.free(live[i].first, live[i].second);
            live[i] = live.back();
            live.pop_back();
        } else {
            m.headerWritten();
            if (roll < 98) m.synced();
        }
    }
    EXPECT_GE(m.spanCount(), 4u);
    EXPECT_GT(skippedAhead, 100u) << "the allocations should have gone past the first span";
}
