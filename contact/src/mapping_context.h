#pragma once
// State shared by the per-family mappers while one card becomes one contact item.
#include <string>
#include <string_view>
#include <vector>

#include "contact/mapper.h"
#include "contact/property_ids.h"

namespace contact::detail {

// Strings without NUL characters: readers treat a NUL as the end of a Unicode string, and the
// one-off entry ids are built from NUL-terminated strings.
Value withoutNul(Value value);
std::string withoutNul(std::string text);

struct MappingContext {
    const vcard::Card& card;
    const MapOptions& options;
    ContactItem& item;
    std::string displayName;              // decided first; e-mail and fax slots quote it
    std::vector<std::string> details;     // lines for the notes' "More contact details:" block

    void set(uint16_t tagId, Value value) { item.properties.set(tagKey(tagId), withoutNul(std::move(value))); }
    void setNamed(uint32_t lid, Value value) { item.properties.set(addressKey(lid), withoutNul(std::move(value))); }
    // Strings are only written when they say something.
    void setText(uint16_t tagId, std::string text) {
        if (!text.empty()) set(tagId, std::move(text));
    }
    void setNamedText(uint32_t lid, std::string text) {
        if (!text.empty()) setNamed(lid, std::move(text));
    }
    bool has(uint16_t tagId) const { return item.properties.contains(tagKey(tagId)); }
    const std::string* text(uint16_t tagId) const { return item.properties.get<std::string>(tagKey(tagId)); }

    void warn(std::size_t line, std::string property, std::string message) {
        item.warnings.push_back(Warning{Warning::Source::Mapping, line, std::move(property), std::move(message)});
    }
    // One line of the details block, e.g. "E-mail: ann@example.com"; line breaks inside become spaces.
    void addDetail(std::string_view label, std::string_view value);
};

// Line breaks (LF, CR, CRLF) as CRLF, as Outlook's text fields expect them.
std::string withCrlf(std::string_view text);
std::string trimmed(std::string_view text);
std::string joined(const std::vector<std::string>& parts, std::string_view separator);  // skips empty parts

// The per-family mappers, called in this order by mapCard.
void mapNames(MappingContext& ctx);        // display name, subject, names, organisation, File As
void mapPhones(MappingContext& ctx);       // every phone slot, overflow to Other and the details
void mapEmails(MappingContext& ctx);       // three e-mail slots, fax addresses, address-book lists
void mapAddresses(MappingContext& ctx);    // home, work, other and the mailing address
void mapDates(MappingContext& ctx);        // birthday and wedding anniversary
void mapPersonal(MappingContext& ctx);     // web pages, IM, related people, gender, categories, class, GEO
void mapPhoto(MappingContext& ctx);        // the contact-photo attachment
void mapNotes(MappingContext& ctx);        // NOTEs plus the details block into the body

}  // namespace contact::detail
