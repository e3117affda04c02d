#include "space_map.h"

#include <algorithm>
#include <bit>
#include <string>

#include "zentra/error.h"

namespace pst::ndb {

using namespace pst::disk;

namespace {

constexpr uint32_t kUnits = static_cast<uint32_t>(kAMapUnitsPerPage);
constexpr uint32_t kPageUnits = kPageSize / kBlockAlign;

bool testBit(const std::array<uint64_t, SpaceMap::kWords>& b, uint32_t u) { return (b[u / 64] >> (u % 64)) & 1; }
void setBit(std::array<uint64_t, SpaceMap::kWords>& b, uint32_t u) { b[u / 64] |= uint64_t{1} << (u % 64); }
void clearBit(std::array<uint64_t, SpaceMap::kWords>& b, uint32_t u) { b[u / 64] &= ~(uint64_t{1} << (u % 64)); }

// First unit >= from whose bit equals `value`, or kUnits.
uint32_t nextWithValue(const std::array<uint64_t, SpaceMap::kWords>& b, uint32_t from, bool value) {
    while (from < kUnits) {
        uint64_t word = value ? b[from / 64] : ~b[from / 64];
        word >>= (from % 64);
        if (word != 0) return std::min(kUnits, from + static_cast<uint32_t>(std::countr_zero(word)));
        from = (from / 64 + 1) * 64;
    }
    return kUnits;
}

}  // namespace

SpaceMap::SpaceMap(uint64_t maxFileSize) : maxFileSize_(maxFileSize) { addSpan(); }

std::optional<uint64_t> SpaceMap::fmapOffsetFor(size_t span) {
    if (span < kAMapsCoveredByHeaderFM) return std::nullopt;
    const size_t fmapSpan = kAMapsCoveredByHeaderFM + (span - kAMapsCoveredByHeaderFM) / kAMapsPerFMap * kAMapsPerFMap;
    return amapOffset(fmapSpan) + kFMapOffsetInSpan;
}

void SpaceMap::addSpan() {
    const size_t index = spans_.size();
    if (amapOffset(index + 1) > maxFileSize_)
        throw zentra::Error(zentra::kErrStoreWrite,
                            "the store would grow past " + std::to_string(amapOffset(index)) +
                                " bytes, the largest size allowed for it (" + std::to_string(maxFileSize_) + " bytes)");
    Span s;
    markRange(s, 0, kPageUnits);                               // the AMap page
    if (spanHasPMap(index)) markRange(s, kPageUnits, kPageUnits);
    if (spanHasFMap(index)) markRange(s, kFMapOffsetInSpan / kBlockAlign, kPageUnits);
    if (spanHasFPMap(index)) markRange(s, kFPMapOffsetInSpan / kBlockAlign, kPageUnits);
    s.mapUnits = s.unavailableCount;
    spans_.push_back(s);
}

size_t SpaceMap::trailingEmptySpans() const {
    size_t n = 0;
    for (size_t i = spans_.size(); i-- > 0 && spans_[i].unavailableCount == spans_[i].mapUnits;) ++n;
    return n;
}

void SpaceMap::addEmptySpans(size_t count) {
    for (size_t i = 0; i < count; ++i) addSpan();
}

size_t SpaceMap::spansBelowLimit() const {
    if (maxFileSize_ < kFirstAMapOffset) return 0;
    const uint64_t limit = (maxFileSize_ - kFirstAMapOffset) / kAMapSpan;
    return limit > spans_.size() ? static_cast<size_t>(limit - spans_.size()) : 0;
}

void SpaceMap::markRange(Span& s, uint32_t first, uint32_t count) {
    for (uint32_t u = first; u < first + count; ++u) {
        setBit(s.allocated, u);
        if (!testBit(s.unavailable, u)) {
            setBit(s.unavailable, u);
            ++s.unavailableCount;
            ++unavailableTotal_;
        }
    }
    s.dirty = true;
    s.longestRunKnown = false;
    if (first <= s.firstMaybeFree && first + count > s.firstMaybeFree) s.firstMaybeFree = first + count;
}

std::optional<uint32_t> SpaceMap::findRun(const Span& s, uint32_t units, uint32_t alignUnits) const {
    uint32_t u = s.firstMaybeFree;
    while (true) {
        u = nextWithValue(s.unavailable, u, false);
        u = (u + alignUnits - 1) / alignUnits * alignUnits;
        if (u + units > kUnits) return std::nullopt;
        const uint32_t busy = nextWithValue(s.unavailable, u, true);
        if (busy >= u + units) return u;
        u = busy + 1;
    }
}

size_t* SpaceMap::searchStartFor(uint32_t units, uint32_t alignUnits) {
    if (units == 0 || units > kTrackedUnits || (alignUnits != 1 && alignUnits != kPageUnits)) return nullptr;
    return &searchStart_[(alignUnits == 1 ? 0 : kTrackedUnits) + units - 1];
}

std::optional<uint64_t> SpaceMap::allocate(uint32_t bytes, uint32_t align) {
    const uint32_t units = (bytes + kBlockAlign - 1) / kBlockAlign;
    const uint32_t alignUnits = std::max<uint32_t>(1, align / kBlockAlign);
    size_t* const start = searchStartFor(units, alignUnits);
    for (size_t i = std::max(firstSpanWithRoom_, start ? *start : 0); i < spans_.size(); ++i) {
        Span& s = spans_[i];
        if (kUnits - s.unavailableCount < units) {
            if (i == firstSpanWithRoom_ && s.unavailableCount == kUnits) ++firstSpanWithRoom_;
            continue;
        }
        if (auto u = findRun(s, units, alignUnits)) {
            if (start) *start = i;
            markRange(s, *u, units);
            return amapOffset(i) + uint64_t{*u} * kBlockAlign;
        }
    }
    if (start) *start = spans_.size();   // a span added next is where the search goes on
    return std::nullopt;
}

void SpaceMap::free(uint64_t offset, uint32_t bytes) {
    if (offset < kFirstAMapOffset) throw zentra::Error(zentra::kErrStoreCorrupt, "freeing space below the first AMap");
    const size_t span = (offset - kFirstAMapOffset) / kAMapSpan;
    const uint32_t first = static_cast<uint32_t>((offset - amapOffset(span)) / kBlockAlign);
    const uint32_t units = (bytes + kBlockAlign - 1) / kBlockAlign;
    if (span >= spans_.size() || first + units > kUnits)
        throw zentra::Error(zentra::kErrStoreCorrupt, "freeing space outside the file at " + std::to_string(offset));
    Span& s = spans_[span];
    for (uint32_t u = first; u < first + units; ++u) {
        if (!testBit(s.allocated, u))
            throw zentra::Error(zentra::kErrStoreCorrupt, "freeing unallocated space at " + std::to_string(offset));
        clearBit(s.allocated, u);
    }
    pendingFree_.push_back({offset, bytes});
}

void SpaceMap::mapsWritten() {
    for (Span& s : spans_) {
        s.dirty = false;
        s.neverWritten = false;
    }
}

void SpaceMap::headerWritten() {
    awaitingSync_.insert(awaitingSync_.end(), pendingFree_.begin(), pendingFree_.end());
    pendingFree_.clear();
}

void SpaceMap::synced() {
    size_t lowestFreed = spans_.size();
    for (const Range& r : awaitingSync_) {
        const size_t span = (r.offset - kFirstAMapOffset) / kAMapSpan;
        Span& s = spans_[span];
        const uint32_t first = static_cast<uint32_t>((r.offset - amapOffset(span)) / kBlockAlign);
        const uint32_t units = (r.bytes + kBlockAlign - 1) / kBlockAlign;
        for (uint32_t u = first; u < first + units; ++u) {
            clearBit(s.unavailable, u);
            --s.unavailableCount;
        }
        unavailableTotal_ -= units;
        s.dirty = true;   // its AMap still shows the range as used
        s.longestRunKnown = false;
        s.firstMaybeFree = std::min(s.firstMaybeFree, first);
        firstSpanWithRoom_ = std::min(firstSpanWithRoom_, span);
        lowestFreed = std::min(lowestFreed, span);
    }
    for (size_t& start : searchStart_) start = std::min(start, lowestFreed);
    awaitingSync_.clear();
}

uint64_t SpaceMap::cbAMapFree() const { return (spans_.size() * kUnits - unavailableTotal_) * kBlockAlign; }

std::array<uint8_t, kPageDataSize> SpaceMap::amapBits(size_t span) const {
    // The map keeps unit u at bit u % 64 of word u / 64; an AMap byte holds 8 units from its
    // most significant bit down. So each AMap byte is one byte of a word, bits reversed: a byte
    // at a time rather than a bit, since a commit writes the maps of every span it touched.
    static constexpr std::array<uint8_t, 256> kReversed = [] {
        std::array<uint8_t, 256> table{};
        for (unsigned b = 0; b < 256; ++b)
            for (unsigned bit = 0; bit < 8; ++bit)
                if (b & (1u << bit)) table[b] |= static_cast<uint8_t>(0x80u >> bit);
        return table;
    }();
    std::array<uint8_t, kPageDataSize> out{};
    const Span& s = spans_.at(span);
    for (size_t k = 0; k < out.size(); ++k) out[k] = kReversed[static_cast<uint8_t>(s.unavailable[k / 8] >> (8 * (k % 8)))];
    return out;
}

uint8_t SpaceMap::longestFreeRun(size_t span) {
    Span& s = spans_.at(span);
    if (s.longestRunKnown) return s.longestRun;
    uint32_t best = 0;
    uint32_t u = 0;
    while (u < kUnits && best < 255) {
        const uint32_t start = nextWithValue(s.unavailable, u, false);
        if (start >= kUnits) break;
        const uint32_t end = nextWithValue(s.unavailable, start, true);
        best = std::max(best, end - start);
        u = end;
    }
    s.longestRun = static_cast<uint8_t>(std::min<uint32_t>(best, 255));
    s.longestRunKnown = true;
    return s.longestRun;
}

std::vector<size_t> SpaceMap::dirtySpans() const {
    std::vector<size_t> out;
    for (size_t i = 0; i < spans_.size(); ++i)
        if (spans_[i].dirty || spans_[i].neverWritten) out.push_back(i);
    return out;
}

}  // namespace pst::ndb
