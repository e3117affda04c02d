#pragma once
// The check passes, in the order the checker runs them. Each pass reports through img.sink.
#include <optional>

#include "image.h"

namespace pstcheck {

// Header fields, CRCs and file size. Returns false when the rest of the file cannot be
// interpreted (not a Unicode PST, header unreadable).
bool checkHeader(Image& img);

// Page trailer rules shared by every page kind. expectBid is the id the trailer must carry
// (map pages carry their own offset); without it the id must lie below bidNextP.
// Returns false when the page lies outside the file.
bool checkPage(Image& img, uint64_t ib, uint8_t expectType, std::optional<uint64_t> expectBid);

// Walks the NBT and BBT from the header's roots: page checks, BT-page layout, key order and
// depth. Fills img.nbt, img.bbt and the page extents.
void walkBTrees(Image& img);

// Every block in the BBT: alignment, trailer, signature, CRC, size; then the reference graph
// (data trees, subnode trees) with reference counts and dangling references.
void checkBlocks(Image& img);

// Allocation maps, PMaps, FMaps, FPMaps, DList, and overlaps between live pages and blocks.
void checkSpace(Image& img);

}  // namespace pstcheck
