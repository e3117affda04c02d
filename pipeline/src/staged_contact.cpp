// Contact properties to stored values and local property ids.
#include "pipeline/staged_contact.h"

#include "contact/property_ids.h"

#include <type_traits>

#include "zentra/error.h"

namespace pipeline {
namespace {

constexpr uint16_t kPidTagAttachNumber = 0x0E21;

}  // namespace

pst::ltp::Value storedValue(const contact::Value& value) {
    return std::visit(
        [](const auto& v) -> pst::ltp::Value {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return pst::ltp::stringValue(v);
            } else if constexpr (std::is_same_v<T, int16_t>) {
                return pst::ltp::int16Value(v);
            } else if constexpr (std::is_same_v<T, int32_t>) {
                return pst::ltp::int32Value(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return pst::ltp::boolValue(v);
            } else if constexpr (std::is_same_v<T, contact::FileTime>) {
                return pst::ltp::timeValue(v.ticks);
            } else if constexpr (std::is_same_v<T, contact::Binary>) {
                return pst::ltp::binaryValue(std::vector<uint8_t>(v.bytes.begin(), v.bytes.end()));
            } else if constexpr (std::is_same_v<T, std::vector<int32_t>>) {
                return pst::ltp::multiInt32Value(v);
            } else {
                static_assert(std::is_same_v<T, std::vector<std::string>>);
                return pst::ltp::multiStringValue(v);
            }
        },
        value);
}

StagedContact emptyContact() {
    contact::ContactItem item;
    item.properties.set(contact::tagKey(contact::tag::kMessageClass), std::string("IPM.Contact"));
    return stageContact(std::move(item));
}

std::size_t approximateBytes(const StagedContact& contact) {
    std::size_t bytes = sizeof(contact);
    auto add = [&bytes](const StagedProperties& list) {
        for (const auto& [key, value] : list) bytes += sizeof(key) + sizeof(value) + 16 + value.bytes.capacity();
    };
    add(contact.properties);
    for (const StagedProperties& a : contact.attachments) add(a);
    for (const contact::Warning& w : contact.warnings) bytes += sizeof(w) + w.message.capacity() + w.property.capacity();
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

StagedContact stageContact(contact::ContactItem&& item) {
    StagedContact out;
    out.warnings = std::move(item.warnings);
    out.properties.reserve(item.properties.size());
    for (const contact::Property& p : item.properties) out.properties.emplace_back(p.key, storedValue(p.value));
    out.attachments.reserve(item.attachments.size());
    for (const contact::Attachment& a : item.attachments) {
        StagedProperties& staged = out.attachments.emplace_back();
        staged.reserve(a.properties.size());
        for (const contact::Property& p : a.properties) staged.emplace_back(p.key, storedValue(p.value));
    }
    return out;
}

StoredContact toStoredContact(StagedContact&& staged, pst::messaging::NameToIdMap& names) {
    StoredContact out;
    std::vector<pst::ltp::PropertyMap::value_type> resolved;
    resolved.reserve(staged.properties.size());
    for (auto& [key, value] : staged.properties) resolved.emplace_back(localIdOf(key, names), std::move(value));
    out.properties.assign(std::move(resolved));

    out.attachments.reserve(staged.attachments.size());
    for (size_t i = 0; i < staged.attachments.size(); ++i) {
        pst::messaging::AttachmentData a;
        for (auto& [key, value] : staged.attachments[i])
            a.properties.insert_or_assign(localIdOf(key, names), std::move(value));
        // Attachments are numbered in the order they are stored; the size and the table row
        // are the messaging layer's.
        a.properties.insert_or_assign(kPidTagAttachNumber, pst::ltp::int32Value(static_cast<int32_t>(i)));
        out.attachments.push_back(std::move(a));
    }
    return out;
}

}  // namespace pipeline
