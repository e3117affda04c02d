// Postal addresses: home, work and other slots with their composite text, and the mailing
// address (PidLidPostalAddressId plus the mailing tags, a copy of the chosen slot).
//
// The composite text is built from the parts, as Outlook builds it ([MS-OXOCNTC]'s address
// properties: "a combination of other physical address properties"); [MS-OXVCARD] ignores LABEL
// on import. A LABEL still serves an address that has no parts, and one that says more than the
// parts (a person's name, a "Mail Drop" line) is kept in the notes.
#include <algorithm>
#include <array>
#include <unordered_set>

#include "country_code.h"
#include "mapping_context.h"

namespace contact::detail {

namespace {

enum Slot : int32_t { kNone = 0, kHome = 1, kWork = 2, kOther = 3 };

struct SlotKeys {
    PropertyKey street, city, state, postalCode, country, poBox, composite, countryCode;
};

const SlotKeys& keysOf(int32_t slot) {
    static const SlotKeys home{mapi::PidTagHomeAddressStreet,      mapi::PidTagHomeAddressCity,
                               mapi::PidTagHomeAddressStateOrProvince, mapi::PidTagHomeAddressPostalCode,
                               mapi::PidTagHomeAddressCountry,     mapi::PidTagHomeAddressPostOfficeBox,
                               mapi::PidLidHomeAddress,            mapi::PidLidHomeAddressCountryCode};
    static const SlotKeys work{mapi::PidLidWorkAddressStreet,  mapi::PidLidWorkAddressCity,
                               mapi::PidLidWorkAddressState,   mapi::PidLidWorkAddressPostalCode,
                               mapi::PidLidWorkAddressCountry, mapi::PidLidWorkAddressPostOfficeBox,
                               mapi::PidLidWorkAddress,        mapi::PidLidWorkAddressCountryCode};
    static const SlotKeys other{mapi::PidTagOtherAddressStreet,     mapi::PidTagOtherAddressCity,
                                mapi::PidTagOtherAddressStateOrProvince, mapi::PidTagOtherAddressPostalCode,
                                mapi::PidTagOtherAddressCountry,    mapi::PidTagOtherAddressPostOfficeBox,
                                mapi::PidLidOtherAddress,           mapi::PidLidOtherAddressCountryCode};
    static const SlotKeys mailing{mapi::PidTagStreetAddress, mapi::PidTagLocality,  mapi::PidTagStateOrProvince,
                                  mapi::PidTagPostalCode,    mapi::PidTagCountry,   mapi::PidTagPostOfficeBox,
                                  mapi::PidTagPostalAddress, mapi::PidLidAddressCountryCode};
    switch (slot) {
        case kHome: return home;
        case kWork: return work;
        case kOther: return other;
        default: return mailing;
    }
}

// The parts of one address as written to a slot. The plain parts are views of the card's
// address (trimmed); street and composite are built.
struct Fields {
    std::string_view city, state, postalCode, country, poBox;
    std::string street, composite, countryCode;
    bool labelSaysMore = false;   // the card's LABEL has words the parts lack
};

// Appends `part` after `separator` when both it and what came before are non-empty, as joining
// the parts with the separator and skipping empty ones does.
void appendPart(std::string& out, std::string_view part, std::string_view separator) {
    if (part.empty()) return;
    if (!out.empty()) out += separator;
    out += part;
}

// "Street\r\nCity, State  PostalCode\r\nCountry", Outlook's own block, missing parts left out.
std::string compositeOf(const Fields& f) {
    std::string out;
    out.reserve(f.street.size() + f.poBox.size() + f.city.size() + f.state.size() + f.postalCode.size() +
                f.country.size() + 16);
    appendPart(out, f.street, "\r\n");
    appendPart(out, f.poBox, "\r\n");
    // A missing part takes its separator with it: "City  PostalCode", "State  PostalCode".
    if (!f.city.empty() || !f.state.empty() || !f.postalCode.empty()) {
        if (!out.empty()) out += "\r\n";
        const std::size_t lineStart = out.size();
        out += f.city;
        if (!f.state.empty()) {
            if (out.size() > lineStart) out += ", ";
            out += f.state;
        }
        if (!f.postalCode.empty()) {
            if (out.size() > lineStart) out += "  ";
            out += f.postalCode;
        }
    }
    appendPart(out, f.country, "\r\n");
    return out;
}

// The words of a text: runs of letters and digits (any byte from 0x80 counts as a letter, so
// UTF-8 words stay whole), ASCII letters in lower case.
std::vector<std::string> wordsOf(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || u >= 0x80) word += c;
        else if (u >= 'A' && u <= 'Z') word += static_cast<char>(u - 'A' + 'a');
        else if (!word.empty()) words.push_back(std::move(word)), word.clear();
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

// Whether every word of `label` occurs among the words of `parts`: then the label only lays
// out the parts again, in its own order or punctuation.
bool wordsWithin(std::string_view label, std::string_view parts) {
    std::unordered_set<std::string> known;
    for (std::string& w : wordsOf(parts)) known.insert(std::move(w));
    for (const std::string& w : wordsOf(label))
        if (!known.contains(w)) return false;
    return true;
}

Fields fieldsOf(const vcard::Address& a) {
    Fields f;
    // Outlook has no "extended address" field: it goes on its own line above the street.
    const std::string_view extended = trimWhitespace(a.extended), street = trimWhitespace(a.street);
    f.street.reserve(extended.size() + street.size() + 2);
    appendWithCrlf(f.street, extended);
    if (!street.empty()) {
        if (!f.street.empty()) f.street += "\r\n";
        appendWithCrlf(f.street, street);
    }
    f.city = trimWhitespace(a.locality);
    f.state = trimWhitespace(a.region);
    f.postalCode = trimWhitespace(a.postalCode);
    f.country = trimWhitespace(a.country);
    f.poBox = trimWhitespace(a.poBox);
    f.countryCode = isoCountryCode(f.country);
    const bool hasParts = !f.street.empty() || !f.city.empty() || !f.state.empty() || !f.postalCode.empty() ||
                          !f.country.empty() || !f.poBox.empty();
    const std::string_view label = trimWhitespace(a.labelText);
    if (hasParts) {
        f.composite = compositeOf(f);
        f.labelSaysMore = !label.empty() && !wordsWithin(label, f.composite);
    } else {
        f.composite = withCrlf(label);
    }
    return f;
}

// Writes the slot's parts that say something (all of them strings).
void write(MappingContext& ctx, const SlotKeys& keys, const Fields& f) {
    const auto put = [&](const PropertyKey& key, std::string_view value) {
        if (!value.empty()) ctx.item.properties.set(key, mapi::stringValue(value));
    };
    put(keys.street, f.street);
    put(keys.city, f.city);
    put(keys.state, f.state);
    put(keys.postalCode, f.postalCode);
    put(keys.country, f.country);
    put(keys.poBox, f.poBox);
    put(keys.composite, f.composite);
    put(keys.countryCode, f.countryCode);
}

// The mailing address is a copy of the chosen slot: its values are copied as stored, not built
// and encoded again.
void copySlot(MappingContext& ctx, const SlotKeys& from, const SlotKeys& to) {
    static constexpr PropertyKey SlotKeys::*kParts[] = {&SlotKeys::street,  &SlotKeys::city,    &SlotKeys::state,
                                                        &SlotKeys::postalCode, &SlotKeys::country, &SlotKeys::poBox,
                                                        &SlotKeys::composite, &SlotKeys::countryCode};
    for (PropertyKey SlotKeys::*part : kParts) {
        const Property* written = ctx.item.properties.find(from.*part);
        if (!written) continue;
        mapi::Value copy = written->value;   // before set, which may move the list
        ctx.item.properties.set(to.*part, std::move(copy));
    }
}

int32_t wantedSlot(const vcard::Address& a) {
    if (a.hasType("home")) return kHome;
    if (a.hasType("work")) return kWork;
    return kOther;   // postal, parcel, dom, intl, other, untyped
}

struct Placed {
    int32_t slot = kNone;
    int preference = 0;
    std::size_t order = 0;   // position in the file
};

}  // namespace

void mapAddresses(MappingContext& ctx) {
    const std::vector<vcard::Address> addresses = ctx.card.addresses();
    if (addresses.empty()) return;

    // Preferred addresses choose their slot first; file order otherwise. Each slot is taken
    // once, so at most three addresses are placed.
    std::array<Placed, 3> placed;
    std::size_t placedCount = 0;
    const auto taken = [&](int32_t slot) {
        return std::any_of(placed.begin(), placed.begin() + placedCount, [&](const Placed& p) { return p.slot == slot; });
    };
    for (const vcard::Address& a : PreferenceOrder<vcard::Address>(addresses)) {
        Fields fields = fieldsOf(a);
        if (fields.labelSaysMore) {
            std::vector<std::string> shown = a.types;
            ctx.addDetail(shown.empty() ? std::string("Address label") : "Address label (" + joined(shown, ", ") + ")",
                          a.labelText);
        }
        int32_t slot = wantedSlot(a);
        if (taken(slot)) slot = taken(kOther) ? kNone : kOther;
        if (slot == kNone) {
            std::vector<std::string> shown;
            for (const std::string& t : a.types) shown.push_back(t);
            if (!a.label.empty()) shown.push_back(a.label);
            ctx.addDetail(shown.empty() ? std::string("Address") : "Address (" + joined(shown, ", ") + ")",
                          fields.composite);
            continue;
        }
        write(ctx, keysOf(slot), fields);
        placed[placedCount++] = Placed{slot, a.preference, static_cast<std::size_t>(&a - addresses.data())};
    }
    if (placedCount == 0) return;

    // The mailing address: Outlook's own default, else the preferred address, else the first one.
    Placed* chosen = nullptr;
    if (const int32_t outlookDefault = ctx.card.defaultPostalAddress(); outlookDefault != kNone)
        for (std::size_t i = 0; i < placedCount; ++i)
            if (placed[i].slot == outlookDefault) chosen = &placed[i];
    if (!chosen && placed.front().preference > 0) chosen = &placed.front();   // placed in preference order
    if (!chosen)
        chosen = &*std::min_element(placed.begin(), placed.begin() + placedCount,
                                    [](const Placed& x, const Placed& y) { return x.order < y.order; });
    ctx.set(mapi::PidLidPostalAddressId, mapi::int32Value(chosen->slot));
    copySlot(ctx, keysOf(chosen->slot), keysOf(kNone));
}

}  // namespace contact::detail
