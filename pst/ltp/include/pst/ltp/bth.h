#pragma once
// BTree-on-heap ([MS-PST] 2.3.2): fixed-size records sorted by key, in leaf items of at most
// 3,580 bytes, with intermediate index items {first key, HID} above them when one leaf item
// is not enough. BTHHEADER and the index record are defined in pst/disk/btree_on_heap.h.
#include <cstdint>
#include <span>
#include <vector>

#include "pst/core/types.h"
#include "pst/disk/btree_on_heap.h"
#include "pst/ltp/heap.h"

namespace pst::ltp {

// Writes the records (cbKey + cbEnt bytes each, keys little-endian, strictly ascending) into the
// heap and fills the BTHHEADER. `header` is an 8-byte item reserved by the caller (so it can get
// a low HID such as 0x20), or 0 to allocate one here. Returns the header's HID.
Hid writeBth(HeapBuilder& heap, uint8_t cbKey, uint8_t cbEnt, std::span<const uint8_t> records,
             Hid header = 0);

// The header at this HID; throws kErrStoreCorrupt unless it is one (bType bTypeBTH).
disk::BTHHEADER readBthHeader(const HeapReader& heap, Hid header);
// All leaf records in key order, concatenated; throws kErrStoreCorrupt for a malformed tree or
// one whose record sizes differ from the expected ones.
std::vector<uint8_t> readBthRecords(const HeapReader& heap, Hid header, uint8_t cbKey, uint8_t cbEnt);

}  // namespace pst::ltp
