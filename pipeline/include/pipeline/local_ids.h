#pragma once
// The local ids a store's name-to-ID map gave the named keys of the contacts written so far.
// Every contact of an import names much the same few dozen properties, so after the first few
// contacts a key's id is one fingerprint probe here instead of the map's property-set search
// and hash look-up.
#include <cstdint>
#include <vector>

#include "mapi/property_key.h"
#include "pst/messaging/name_to_id_map.h"

namespace pipeline {

class LocalIds {
public:
    // The key's local id in `names`, as localIdOf gives it (a new named key is allocated in the
    // map on first use, in the order keys are asked for). The ids remembered belong to one map:
    // asked with another, the cache starts over.
    uint16_t of(const mapi::PropertyKey& key, pst::messaging::NameToIdMap& names);

private:
    struct Slot {
        mapi::PropertyKey key;
        uint16_t id = 0;   // 0: the slot is empty (named ids start at 0x8000)
    };
    const pst::messaging::NameToIdMap* names_ = nullptr;
    // Direct-mapped by fingerprint: a key displaced by another is simply looked up again.
    std::vector<Slot> slots_;
};

}  // namespace pipeline
