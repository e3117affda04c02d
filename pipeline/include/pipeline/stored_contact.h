#pragma once
// A mapped contact on its way into a store: its values are already in stored form (the mapping
// made them so, on the reading thread); what is left is to resolve named keys to the store's
// local ids through its name-to-ID map.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "contact/properties.h"
#include "pipeline/local_ids.h"
#include "pst/ltp/ltp.h"
#include "pst/messaging/name_to_id_map.h"
#include "pst/messaging/store.h"

namespace pipeline {

struct StoredContact {
    pst::ltp::PropertyMap properties;
    std::vector<pst::messaging::AttachmentData> attachments;
    std::vector<uint64_t> order;   // toStoredContact's sorting space, kept for the next contact
    LocalIds ids;                  // the named keys resolved so far, for the next contact
};

// A contact with nothing but its message class: what a contact item holds before Import.
contact::ContactItem emptyContact();

// Rough heap bytes of a mapped contact, for the read-ahead's budget.
std::size_t approximateBytes(const contact::ContactItem& contact);

// The local property id of a key: a tagged id, or the id the name-to-ID map hands out for a
// named property (allocated on first use).
uint16_t localIdOf(const contact::PropertyKey& key, pst::messaging::NameToIdMap& names);

// Takes the contact's properties and attachments over into `out`, replacing what it held (the
// contact's warnings stay). `out` keeps its memory from one contact to the next: a writer that
// stores many contacts passes the same one each time.
void toStoredContact(contact::ContactItem&& item, pst::messaging::NameToIdMap& names, StoredContact& out);

}  // namespace pipeline
