#pragma once
// The property list a mapped contact is handed over in: keys (mapi::PropertyKey) with values
// already in their stored form (mapi::Value: strings as UTF-16LE and so on), in the order they
// were first set and unique per key, plus attachments and mapping warnings. Nothing here knows a
// file: the store only resolves named keys to its own ids.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mapi/property_key.h"
#include "mapi/value.h"

namespace contact {

using mapi::PropertyKey;

struct Property {
    PropertyKey key;
    mapi::Value value;
    uint16_t type() const { return value.type; }
};

// Properties in the order they were first set; setting an existing key replaces its value in place.
// Look-ups go through a hash index on the keys' fingerprints, so filling a contact's 60-90
// properties costs a few probes per key instead of a scan of the list.
class PropertyList {
public:
    void set(const PropertyKey& key, mapi::Value&& value);
    void reserve(std::size_t count);
    bool remove(const PropertyKey& key);
    const Property* find(const PropertyKey& key) const;
    bool contains(const PropertyKey& key) const { return find(key) != nullptr; }

    const std::vector<Property>& items() const { return items_; }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    // Hands the properties over (to the store), leaving the list empty.
    std::vector<Property> release();
    // Takes back what release() handed out once its values were moved on: the list (empty) keeps
    // that memory for its next contact. A list that is not empty, or has more room, keeps its own.
    void adopt(std::vector<Property>&& released);
    // Empties the list, keeping its memory for the next contact.
    void clear();
    // Heap bytes of the look-up index, for callers that budget the memory of held lists.
    std::size_t indexBytes() const { return index_.capacity() * sizeof(uint64_t); }

private:
    std::size_t indexOf(const PropertyKey& key) const;
    // The slot holding `key`, or the free slot where it would go.
    std::size_t slotFor(const PropertyKey& key) const;
    void rebuildIndex(std::size_t slotCount);

    std::vector<Property> items_;
    // The open-addressing index: a power of two of slots, at most half of them used (see
    // properties.cpp for the slot layout).
    std::vector<uint64_t> index_;
};

struct Attachment {
    PropertyList properties;
};

struct Warning {
    enum class Source { Parser, Mapping };
    Source source = Source::Mapping;
    std::size_t line = 0;        // line in the vCard file, 0 when not tied to one
    std::string property;        // vCard property name, empty when not tied to one
    std::string message;
};

// A member of a group card (contact/distribution_list.h).
struct GroupMember {
    std::string uid;       // the member card's UID as compared (normalizedUid), empty for an address
    std::string written;   // the MEMBER value as written
};

// One Outlook contact (or distribution list) as the mapping produces it.
struct ContactItem {
    PropertyList properties;
    std::vector<Attachment> attachments;   // the contact photo, when there is one
    std::vector<Warning> warnings;         // the card's parser warnings, then the mapping notes
    std::string uid;                       // the card's UID as compared, empty when it has none
    bool isGroup = false;                  // an IPM.DistList whose members are still to be resolved
    std::vector<GroupMember> groupMembers;

    // Empties the item for the next card, keeping the memory of its property list: a thread that
    // maps card after card then allocates that list once, not once per card.
    void reset();
};

}  // namespace contact
