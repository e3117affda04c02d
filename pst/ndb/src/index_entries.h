#pragma once
// The records kept in the in-memory NBT and BBT, and how each becomes a leaf entry on disk.
#include <cstdint>

#include "pst/core/types.h"
#include "pst/disk/page.h"

namespace pst::ndb {

struct NbtRecord {
    Nid nid = 0;
    Bid bidData = 0;
    Bid bidSub = 0;
    Nid nidParent = 0;
};

struct BbtRecord {
    Bid bid = 0;
    uint64_t ib = 0;
    uint16_t cb = 0;
    uint16_t cRef = 0;
};

struct NbtTraits {
    using Entry = NbtRecord;
    static constexpr uint8_t kPtype = disk::kPtypeNBT;
    static constexpr uint8_t kLeafMax = disk::BTPAGE::kNbtLeafMax;
    static constexpr uint8_t kLeafCbEnt = disk::NBTENTRY::kSize;
    static uint64_t key(const Entry& e) { return e.nid; }
    static void serialize(const Entry& e, std::span<uint8_t> out) {
        disk::NBTENTRY d;
        d.nid = e.nid;
        d.bidData = e.bidData;
        d.bidSub = e.bidSub;
        d.nidParent = e.nidParent;
        d.serialize(out);
    }
    static Entry parse(std::span<const uint8_t> in) {
        const disk::NBTENTRY d = disk::NBTENTRY::parse(in);
        return {static_cast<Nid>(d.nid), d.bidData, d.bidSub, d.nidParent};
    }
};

struct BbtTraits {
    using Entry = BbtRecord;
    static constexpr uint8_t kPtype = disk::kPtypeBBT;
    static constexpr uint8_t kLeafMax = disk::BTPAGE::kBbtLeafMax;
    static constexpr uint8_t kLeafCbEnt = disk::BBTENTRY::kSize;
    static uint64_t key(const Entry& e) { return e.bid; }
    static void serialize(const Entry& e, std::span<uint8_t> out) {
        disk::BBTENTRY d;
        d.BREF = disk::BREF{e.bid, e.ib};
        d.cb = e.cb;
        d.cRef = e.cRef;
        d.serialize(out);
    }
    static Entry parse(std::span<const uint8_t> in) {
        const disk::BBTENTRY d = disk::BBTENTRY::parse(in);
        return {d.BREF.bid, d.BREF.ib, d.cb, d.cRef};
    }
};

}  // namespace pst::ndb
