#pragma once
// State shared by the per-family mappers while one card becomes one contact item.
#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contact/mapper.h"
#include "contact/property_ids.h"
#include "mapi/property_catalogue.h"
#include "zentra/text.h"

namespace contact::detail {

// Text helpers the mappers use on nearly every field.
using zentra::equalsIgnoringAsciiCase;
using zentra::startsWithIgnoringAsciiCase;
using zentra::trimWhitespace;

// Strings without NUL characters: readers treat a NUL as the end of a Unicode string, and the
// one-off entry ids are built from NUL-terminated strings.
void removeNul(std::string& text);
// Stored string values, without NUL characters.
mapi::Value textValue(std::string_view text);
mapi::Value textListValue(std::vector<std::string> texts);
// A mapper gave a property a value of another type than the catalogue's: a bug, reported loudly.
[[noreturn]] void throwTypeMismatch(const PropertyKey& key, uint16_t given, uint16_t wanted);

struct MappingContext {
    const vcard::Card& card;
    const MapOptions& options;
    ContactItem& item;
    std::string displayName;              // decided first; e-mail and fax slots quote it
    std::string faxNumbers[3];            // business, home, other fax as stored: fax addresses quote them
    std::vector<std::string> imAddresses; // EMAIL;TYPE=im values, for the IM address after the card's own IMs
    std::vector<std::string> details;     // lines for the notes' "More contact details:" block

    // Values go in in their stored form, with the type the catalogue gives the property
    // (P is a mapi::PropertyTag, NamedProperty or StringNamedProperty).
    template <class P>
    void set(const P& property, mapi::Value&& value) {
        if (value.type != property.type) throwTypeMismatch(property, value.type, property.type);
        item.properties.set(property, std::move(value));
    }
    // Strings, the common case; setString writes even an empty one.
    template <class P>
    void setString(const P& property, std::string_view text) {
        set(property, textValue(text));
    }
    // Strings are only written when they say something.
    template <class P>
    void setText(const P& property, std::string_view text) {
        if (!text.empty()) set(property, textValue(text));
    }
    bool has(const PropertyKey& key) const { return item.properties.contains(key); }

    void warn(std::size_t line, std::string property, std::string message) {
        item.warnings.push_back(Warning{Warning::Source::Mapping, line, std::move(property), std::move(message)});
    }
    // One line of the details block, e.g. "E-mail: ann@example.com"; line breaks inside become spaces.
    void addDetail(std::string_view label, std::string_view value);
};

// Line breaks (LF, CR, CRLF) as CRLF, as Outlook's text fields expect them.
std::string withCrlf(std::string_view text);
void appendWithCrlf(std::string& out, std::string_view text);
std::string joined(const std::vector<std::string>& parts, std::string_view separator);  // skips empty parts
std::string joinedViews(std::initializer_list<std::string_view> parts, std::string_view separator);  // the same

// The entries of a card in the order vcard::byPreference gives them (preferred first, by PREF
// value, file order otherwise), as pointers, so the entries are neither copied nor moved and a
// short list needs no heap memory. Tested against vcard::byPreference.
template <class T>
class PreferenceOrder {
public:
    explicit PreferenceOrder(const std::vector<T>& entries) : size_(entries.size()) {
        if (size_ > kInline) {   // long lists (hostile cards) sorted in n log n
            heap_.resize(size_);
            data_ = heap_.data();
            for (std::size_t i = 0; i < size_; ++i) data_[i] = &entries[i];
            std::stable_sort(data_, data_ + size_, [](const T* a, const T* b) { return rank(*a) < rank(*b); });
            return;
        }
        // Insertion sort on the preference rank: stable, and cheapest for the usual few entries.
        for (std::size_t i = 0; i < size_; ++i) {
            const T* entry = &entries[i];
            std::size_t j = i;
            for (; j > 0 && rank(*data_[j - 1]) > rank(*entry); --j) data_[j] = data_[j - 1];
            data_[j] = entry;
        }
    }
    PreferenceOrder(const PreferenceOrder&) = delete;
    PreferenceOrder& operator=(const PreferenceOrder&) = delete;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const T& front() const { return *data_[0]; }
    const T& operator[](std::size_t i) const { return *data_[i]; }

    struct Iterator {
        const T* const* at;
        const T& operator*() const { return **at; }
        Iterator& operator++() {
            ++at;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return at != other.at; }
    };
    Iterator begin() const { return Iterator{data_}; }
    Iterator end() const { return Iterator{data_ + size_}; }

private:
    static constexpr std::size_t kInline = 16;
    static int rank(const T& entry) { return entry.preference == 0 ? 1000 : entry.preference; }

    std::size_t size_;
    const T* inline_[kInline];
    std::vector<const T*> heap_;
    const T** data_ = inline_;
};

// The per-family mappers, called in this order by mapCard.
void mapNames(MappingContext& ctx);        // display name, subject, names, organisation, File As
void mapPhones(MappingContext& ctx);       // every phone slot, overflow to Other and the details
void mapEmails(MappingContext& ctx);       // three e-mail slots, fax addresses, address-book lists
void mapAddresses(MappingContext& ctx);    // home, work, other and the mailing address
void mapDates(MappingContext& ctx);        // birthday and wedding anniversary
void mapPersonal(MappingContext& ctx);     // web pages, IM, related people, gender, categories, class, GEO
void mapPhoto(MappingContext& ctx);        // the contact-photo attachment
void mapCertificates(MappingContext& ctx); // X.509 certificates from KEY
void mapRevision(MappingContext& ctx);     // REV as the last-modification time
void mapNotes(MappingContext& ctx);        // NOTEs plus the details block into the body
void mapGroup(MappingContext& ctx);        // a group card: the distribution list's name, notes, members

// The time a REV value names (a date, or a date-time with or without a zone; UTC when none),
// nothing when it names none a FILETIME can hold.
std::optional<mapi::FileTime> revisionTime(std::string_view text);

}  // namespace contact::detail
