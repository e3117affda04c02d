#pragma once
// From the contact mapping's neutral property model to what the messaging layer stores:
// tagged ids as they are, named properties through the store's name-to-ID map, every string
// as Unicode, and the photo as an attachment object numbered as [MS-PST] lays attachments out.
#include <cstddef>
#include <vector>

#include "contact/properties.h"
#include "pst/ltp/ltp.h"
#include "pst/messaging/name_to_id_map.h"
#include "pst/messaging/store.h"

namespace pipeline {

struct StoredContact {
    pst::ltp::PropertyMap properties;
    std::vector<pst::messaging::AttachmentData> attachments;
};

// A contact whose values are already in stored form (strings as UTF-16 and so on), under
// keys not yet resolved to a store's local ids. Staging needs no store, so it happens where
// the file is read (possibly on the reading thread); resolving needs the store's name map.
using StagedProperties = std::vector<std::pair<contact::PropertyKey, pst::ltp::Value>>;
struct StagedContact {
    StagedProperties properties;
    std::vector<StagedProperties> attachments;
    std::vector<contact::Warning> warnings;   // the card's parser warnings, then the mapping's
};
StagedContact stageContact(contact::ContactItem&& item);
// A contact with nothing but its message class: what a contact item holds before Import.
StagedContact emptyContact();
// Rough heap bytes of a staged contact, for the read-ahead's budget.
std::size_t approximateBytes(const StagedContact& contact);

// The stored form of one value; the property types of contact::PropertyType and
// pst::ltp::PropType share their [MS-OXCDATA] codes.
pst::ltp::Value storedValue(const contact::Value& value);

// The local property id of a key: a tagged id, or the id the name-to-ID map hands out for a
// named property (allocated on first use).
uint16_t localIdOf(const contact::PropertyKey& key, pst::messaging::NameToIdMap& names);

StoredContact toStoredContact(StagedContact&& staged, pst::messaging::NameToIdMap& names);

}  // namespace pipeline
