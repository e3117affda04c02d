// Contact properties to local property ids.
#include "pipeline/stored_contact.h"

#include <algorithm>

#include "mapi/property_catalogue.h"
#include "zentra/error.h"

namespace pipeline {
namespace {

// Resolves the keys and fills `map` (cleared first) in local id order; of two keys that resolve
// to one id the later counts. What is sorted is (id, position) pairs rather than the properties
// themselves, so each value moves once, and into a map whose memory the caller keeps.
void resolveInto(contact::PropertyList&& list, pst::messaging::NameToIdMap& names, LocalIds& ids,
                 pst::ltp::PropertyMap& map, std::vector<uint64_t>& order) {
    std::vector<contact::Property> items = list.release();
    order.clear();
    for (size_t i = 0; i < items.size(); ++i)
        order.push_back(uint64_t{ids.of(items[i].key, names)} << 32 | i);
    std::sort(order.begin(), order.end());
    map.clear();
    map.reserve(items.size());
    for (const uint64_t entry : order) {
        const auto id = static_cast<uint16_t>(entry >> 32);
        map.insert_or_assign(id, std::move(items[static_cast<uint32_t>(entry)].value));
    }
    list.adopt(std::move(items));   // the list's memory goes back with the contact, for the next one
}

}  // namespace

contact::ContactItem emptyContact() {
    contact::ContactItem item;
    item.properties.set(mapi::PidTagMessageClass, mapi::stringValue("IPM.Contact"));
    return item;
}

std::size_t approximateBytes(const contact::ContactItem& contact) {
    std::size_t bytes = sizeof(contact);
    auto add = [&bytes](const contact::PropertyList& list) {
        bytes += list.indexBytes();
        for (const contact::Property& p : list) bytes += sizeof(p) + 16 + p.value.bytes.capacity();
    };
    add(contact.properties);
    for (const contact::Attachment& a : contact.attachments) add(a.properties);
    bytes += contact.uid.capacity();
    for (const contact::GroupMember& m : contact.groupMembers) bytes += sizeof(m) + m.uid.capacity() + m.written.capacity();
    return bytes;
}

uint16_t localIdOf(const contact::PropertyKey& key, pst::messaging::NameToIdMap& names) {
    switch (key.kind()) {
    case contact::PropertyKey::Kind::Tagged:
        if (key.id() >= pst::messaging::kFirstNamedPropId)
            throw zentra::Error(zentra::kErrInvalidArgument, "property " + key.describe() + " is in the named-property range");
        return key.id();
    case contact::PropertyKey::Kind::NamedId: return names.idFor(key.propertySet(), key.lid());
    case contact::PropertyKey::Kind::NamedString: return names.idFor(key.propertySet(), key.name());
    }
    throw zentra::Error(zentra::kErrInvalidArgument, "unknown property key kind");
}

void toStoredContact(contact::ContactItem&& item, pst::messaging::NameToIdMap& names, StoredContact& out) {
    resolveInto(std::move(item.properties), names, out.ids, out.properties, out.order);
    out.attachments.resize(item.attachments.size());
    for (size_t i = 0; i < item.attachments.size(); ++i)
        resolveInto(std::move(item.attachments[i].properties), names, out.ids, out.attachments[i].properties,
                    out.order);
}

}  // namespace pipeline
