#pragma once
// One vCard as read from a file: its properties in file order, the warnings met while reading
// it, nested AGENT cards, and typed accessors shaped for mapping to an address-book entry.
// Accessors compute their answer from the properties on each call; they never throw.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vcard/property.h"

namespace vcard {

// A problem met while reading: never fatal, the card is kept with what could be read.
struct Warning {
    std::size_t line = 0;      // physical line number, 0 when not tied to a line
    std::string property;      // upper-cased property name, empty when not tied to one
    std::string message;
};

struct StructuredName {        // N: list values inside a component joined with a space
    std::string family, given, additional, prefixes, suffixes;
};

struct PhoneticName {          // X-PHONETIC-* (Apple, Google) or SOUND;X-IRMC-N (Japanese phones)
    std::string family, given;
};

struct Organization {          // ORG: first unit is the organisation, the rest are its units
    std::string name;
    std::vector<std::string> units;
};

// Fields shared by e-mail, phone, address, URL and IM entries.
struct Typed {
    std::vector<std::string> types;   // lower-cased TYPE values without "pref"
    int preference = 0;               // 0 = not preferred; otherwise 1 (most) .. 100
    std::string label;                // the group's X-ABLabel, with Apple's _$!<...>!$_ removed
    std::string property;             // the property it came from, e.g. "TEL" or "X-MS-TEL"
    std::size_t line = 0;
    bool hasType(std::string_view lowerType) const;
};

struct Email : Typed { std::string address; };

struct Phone : Typed {
    std::string number;               // "tel:" removed, ";ext=55" written as " x55"
};

struct Address : Typed {
    std::string poBox, extended, street, locality, region, postalCode, country;
    std::string labelText;            // LABEL property or 4.0 LABEL parameter for this address
    bool labelOnly = false;           // a LABEL property with no ADR to attach it to
};

struct Url : Typed { std::string url; };

struct InstantMessaging : Typed {
    std::string service;              // lower-case: "aim", "jabber", "xmpp", "skype", "sip", ...
    std::string handle;               // the address without a URI scheme
    std::string uri;                  // the value as written (IMPP keeps its scheme)
};

// A calendar date; the year is optional (--MMDD, Apple's and CardBook's year 1604).
struct Date {
    int year = 0;                     // 0 when the card gives no year
    int month = 0;                    // 1..12
    int day = 0;                      // 1..31
    bool hasYear() const { return year != 0; }
};

struct Gender {
    char sex = 0;                     // 'M', 'F', 'O', 'N', 'U' or 0 when absent/unknown
    std::string identity;             // free text (GENDER's second component, X-GENDER value)
};

struct Related {
    std::string kind;                 // lower-case: "spouse", "child", "assistant", "manager", ...
    std::string name;                 // the person's name or the URI as written
    std::string property;
};

struct Photo {
    std::string bytes;                // image data; empty when only a URL is known
    std::string mediaType;            // "image/jpeg", "image/png", ... ("" when unknown)
    std::string url;                  // set for photos given by reference instead of data
    int preference = 0;               // as in Typed: 0 = not preferred, else 1 (most) .. 100
    std::size_t line = 0;
};

struct Geo {
    double latitude = 0, longitude = 0;
};

class Card {
public:
    std::vector<Property> properties;     // file order; VERSION included, BEGIN and END not
    std::vector<Warning> warnings;
    std::vector<Card> agents;             // cards embedded in AGENT properties
    std::size_t firstLine = 0;            // line of BEGIN:VCARD (or of the first property)
    bool complete = true;                 // false when END:VCARD was missing

    // "2.1", "3.0", "4.0" (VERSION:4 is read as "4.0"), or empty when the card has none.
    std::string version() const;

    // Generic look-ups by upper-case name.
    const Property* first(std::string_view upperName) const;   // first with a non-empty value
    std::vector<const Property*> all(std::string_view upperName) const;
    std::string firstValue(std::string_view upperName) const;
    // The label of a property group (item1.X-ABLabel), cleaned; empty when none.
    std::string groupLabel(std::string_view group) const;

    std::string formattedName() const;                  // FN
    std::optional<StructuredName> name() const;         // N
    std::vector<std::string> nicknames() const;         // NICKNAME (all values)
    std::optional<PhoneticName> phoneticName() const;
    std::optional<Organization> organization() const;   // ORG
    std::string title() const;                          // TITLE
    std::string role() const;                           // ROLE
    std::string kind() const;   // KIND lower-cased; X-ABShowAs:COMPANY gives "org", X-ADDRESSBOOKSERVER-KIND its value
    std::vector<Email> emails() const;                  // file order
    std::vector<Phone> phones() const;                  // TEL and X-MS-TEL, file order
    std::vector<Address> addresses() const;             // ADR with LABELs attached, file order
    int defaultPostalAddress() const;                   // X-MS-OL-DEFAULT-POSTAL-ADDRESS, 0 if none
    std::optional<Date> birthday() const;
    std::optional<Date> anniversary() const;            // ANNIVERSARY and the vendor variants
    std::vector<std::string> notes() const;             // every NOTE
    std::vector<Url> urls() const;
    std::vector<std::string> categories() const;        // every CATEGORIES value, trimmed
    std::vector<InstantMessaging> instantMessaging() const;
    std::optional<Gender> gender() const;
    std::vector<Related> related() const;
    std::string classification() const;                 // CLASS, upper-cased
    std::vector<Photo> photos() const;                  // every PHOTO with data or a URL, preferred first
    std::optional<Photo> photo() const;                 // the first of photos() with data, else with a URL
    std::optional<Geo> geo() const;
    std::string uid() const;
    std::string revision() const;
    std::string productId() const;
};

// Entries ordered by preference (preferred first, then by PREF value), file order otherwise.
template <class T>
std::vector<T> byPreference(std::vector<T> entries);

// Parses the date part of a vCard date or date-time: 19800322, 1980-03-22, 1980-03-22T08:30Z,
// --0322, --03-22, 16040322 (no year). Returns nothing for free text or impossible dates.
std::optional<Date> parseDate(std::string_view text);

}  // namespace vcard

#include "vcard/card_order.h"
