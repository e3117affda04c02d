// Contact properties to local property ids.
#include "pipeline/stored_contact.h"

#include "mapi/property_catalogue.h"
#include "zentra/error.h"

namespace pipeline {
namespace {

pst::ltp::PropertyMap resolved(contact::PropertyList&& list, pst::messaging::NameToIdMap& names) {
    std::vector<contact::Property> items = list.release();
    std::vector<pst::ltp::PropertyMap::value_type> entries;
    entries.reserve(items.size());
    for (contact::Property& p : items) entries.emplace_back(localIdOf(p.key, names), std::move(p.value));
    pst::ltp::PropertyMap map;
    map.assign(std::move(entries));
    return map;
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

StoredContact toStoredContact(contact::ContactItem&& item, pst::messaging::NameToIdMap& names) {
    StoredContact out;
    out.properties = resolved(std::move(item.properties), names);
    out.attachments.reserve(item.attachments.size());
    for (contact::Attachment& a : item.attachments)
        out.attachments.push_back(pst::messaging::AttachmentData{resolved(std::move(a.properties), names)});
    return out;
}

}  // namespace pipeline
