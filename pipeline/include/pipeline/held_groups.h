#pragma once
// Group cards of an import, held until every card is stored: a group may name contacts that
// come after it in the run, so its distribution list is written at the end, when the store is
// detached. Until then the store remembers only the contacts that have a UID, compactly: a
// 64-bit hash of the UID, the NID, and the name and e-mail address a list shows them with
// (about 60 bytes a contact), so a million contacts with UIDs cost tens of megabytes, not the
// whole of their properties.
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
    void noteContact(std::string_view uid, pst::Nid nid, std::string_view displayName, std::string_view email);
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
        std::size_t text;      // offset in texts_ of "name\0email\0"
    };
    const NotedContact* find(std::string_view uid);

    std::vector<NotedContact> noted_;
    std::string texts_;
    bool sorted_ = true;
    std::vector<std::pair<pst::Nid, contact::ContactItem>> groups_;
};

}  // namespace pipeline
