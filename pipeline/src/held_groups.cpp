// Distribution lists written once the contacts they name are stored.
#include "pipeline/held_groups.h"

#include "contact/distribution_list.h"
#include "pipeline/stored_contact.h"

namespace pipeline {

void HeldGroups::noteContact(std::string uid, pst::Nid nid, std::string oneOff) {
    contactsByUid_.try_emplace(std::move(uid), NamedContact{nid, std::move(oneOff)});
}

void HeldGroups::hold(pst::Nid folder, contact::ContactItem&& group) {
    groups_.emplace_back(folder, std::move(group));
}

void HeldGroups::writeAll(pst::messaging::Store& store) {
    std::vector<std::pair<pst::Nid, contact::ContactItem>> groups;
    groups.swap(groups_);
    for (auto& [folder, group] : groups) {
        std::vector<contact::ResolvedMember> members;
        members.reserve(group.groupMembers.size());
        for (const contact::GroupMember& m : group.groupMembers) {
            auto named = m.uid.empty() ? contactsByUid_.end() : contactsByUid_.find(m.uid);
            if (named == contactsByUid_.end()) {
                members.push_back(contact::oneOffMember(m));
            } else {
                members.push_back({contact::wrappedContactEntryId(store.entryIdOf(named->second.nid)),
                                   named->second.oneOff});
            }
        }
        contact::setMembers(group.properties, members);
        StoredContact stored = toStoredContact(std::move(group), store.nameToIdMap());
        store.addMessage(folder, std::move(stored.properties), stored.attachments);
    }
}

}  // namespace pipeline
