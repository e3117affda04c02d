// Distribution lists written once the contacts they name are stored.
#include "pipeline/held_groups.h"

#include <algorithm>

#include "contact/distribution_list.h"
#include "mapi/property_catalogue.h"
#include "pipeline/stored_contact.h"

namespace pipeline {
namespace {

// FNV-1a over the normalised UID. Two different UIDs of one import sharing a 64-bit hash is
// about as likely as one in 10^7 at a million contacts; the UIDs themselves are not kept, as
// they would double what a noted contact costs.
uint64_t hashOf(std::string_view uid) {
    uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : uid) h = (h ^ c) * 1099511628211ULL;
    return h;
}

// A string property of a stored contact as UTF-8; empty when it has none.
std::string textOf(const pst::ltp::PropertyMap& properties, uint16_t id) {
    auto it = properties.find(id);
    return it == properties.end() ? std::string() : mapi::stringOf(it->second).value_or(std::string());
}

}  // namespace

void HeldGroups::noteContact(std::string_view uid, pst::Nid nid) {
    noted_.push_back({hashOf(uid), nid, static_cast<uint32_t>(noted_.size())});
    sorted_ = false;
}

void HeldGroups::hold(pst::Nid folder, contact::ContactItem&& group) {
    groups_.emplace_back(folder, std::move(group));
}

const HeldGroups::NotedContact* HeldGroups::find(std::string_view uid) {
    if (!sorted_) {
        std::sort(noted_.begin(), noted_.end(), [](const NotedContact& a, const NotedContact& b) {
            return a.uidHash != b.uidHash ? a.uidHash < b.uidHash : a.order < b.order;
        });
        sorted_ = true;
    }
    const uint64_t h = hashOf(uid);
    auto it = std::lower_bound(noted_.begin(), noted_.end(), h,
                               [](const NotedContact& n, uint64_t key) { return n.uidHash < key; });
    return it != noted_.end() && it->uidHash == h ? &*it : nullptr;
}

void HeldGroups::writeAll(pst::messaging::Store& store) {
    std::vector<std::pair<pst::Nid, contact::ContactItem>> groups;
    groups.swap(groups_);
    // Registered by the first stored contact with an address; a list adds no address of its own.
    const std::optional<uint16_t> emailId =
        store.nameToIdMap().find(mapi::PidLidEmail1EmailAddress.set, mapi::PidLidEmail1EmailAddress.lid);
    StoredContact list;
    for (auto& [folder, group] : groups) {
        std::vector<contact::ResolvedMember> members;
        members.reserve(group.groupMembers.size());
        for (const contact::GroupMember& m : group.groupMembers) {
            const NotedContact* named = m.uid.empty() ? nullptr : find(m.uid);
            if (!named) {
                members.push_back(contact::oneOffMember(m));
                continue;
            }
            const pst::ltp::PropertyMap stored = store.messageProperties(named->nid);
            const std::string name = textOf(stored, mapi::PidTagDisplayName.id);
            const std::string email = emailId ? textOf(stored, *emailId) : std::string();
            members.push_back({contact::wrappedContactEntryId(store.entryIdOf(named->nid)),
                               contact::contactOneOff(contact::ContactAddress{name, email})});
        }
        contact::setMembers(group.properties, members);
        toStoredContact(std::move(group), store.nameToIdMap(), list);
        store.addMessageFrom(folder, list.properties, list.attachments);
    }
}

}  // namespace pipeline
