#pragma once
// Group cards of an import, held until every card is stored: a group may name contacts that
// come after it in the run, so its distribution list is written at the end, when the store is
// detached. Until then the store remembers only the contacts that have a UID (their NID and the
// one-off address a list shows them with) and the groups themselves, so memory grows with the
// contacts that can be named, never with the whole of their properties.
#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "contact/properties.h"
#include "pst/messaging/store.h"

namespace pipeline {

class HeldGroups {
public:
    // A stored contact whose card had a UID; the first contact with a UID wins when it repeats.
    void noteContact(std::string uid, pst::Nid nid, std::string oneOff);
    void hold(pst::Nid folder, contact::ContactItem&& group);
    std::size_t size() const { return groups_.size(); }

    // Writes each held group as a distribution list, its members that name a noted contact as
    // links to that contact and the others as one-off addresses, and forgets it. Throws the
    // store's error; the groups not yet written are dropped with it.
    void writeAll(pst::messaging::Store& store);

private:
    struct NamedContact {
        pst::Nid nid;
        std::string oneOff;
    };
    std::unordered_map<std::string, NamedContact> contactsByUid_;
    std::vector<std::pair<pst::Nid, contact::ContactItem>> groups_;
};

}  // namespace pipeline
