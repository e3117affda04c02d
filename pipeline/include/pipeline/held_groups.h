#pragma once
// Group cards of an import, held until every card is stored: a group may name contacts that
// come after it in the run, so its distribution list is written at the end, when the store is
// detached. Until then only the contacts that have a UID are remembered, by a 64-bit hash of
// the UID and the NID: 16 bytes a contact, so a million contacts with UIDs cost 16 MB. The
// name and e-mail address a list shows a member with are read back from the stored contact.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "contact/properties.h"
#include "pst/messaging/store.h"

namespace pipeline {

class HeldGroups {
public:
    // A stored contact whose card had a UID; the first contact with a UID wins when it repeats.
    void noteContact(std::string_view uid, pst::Nid nid);
    void hold(pst::Nid folder, contact::ContactItem&& group);
    std::size_t size() const { return groups_.size(); }

    // Writes each held group as a distribution list, its members that name a noted contact as
    // links to that contact and the others as one-off addresses, and forgets it. Throws the
    // store's error; the groups not yet written are dropped with it.
    void writeAll(pst::messaging::Store& store);

private:
    struct NotedContact {
        uint64_t uidHash;
        pst::Nid nid;
        uint32_t order;        // noting order: the first of equal UIDs wins
    };
    const NotedContact* find(std::string_view uid);

    std::vector<NotedContact> noted_;
    bool sorted_ = true;
    std::vector<std::pair<pst::Nid, contact::ContactItem>> groups_;
};

}  // namespace pipeline
