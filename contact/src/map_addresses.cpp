// Postal addresses: home, work and other slots with their composite text, and the mailing
// address (PidLidPostalAddressId plus the mailing tags, a copy of the chosen slot).
#include <algorithm>

#include "mapping_context.h"

namespace contact::detail {

namespace {

enum Slot : int32_t { kNone = 0, kHome = 1, kWork = 2, kOther = 3 };

struct SlotKeys {
    PropertyKey street, city, state, postalCode, country, poBox, composite;
};

const SlotKeys& keysOf(int32_t slot) {
    static const SlotKeys home{tagKey(tag::kHomeAddressStreet),      tagKey(tag::kHomeAddressCity),
                               tagKey(tag::kHomeAddressStateOrProvince), tagKey(tag::kHomeAddressPostalCode),
                               tagKey(tag::kHomeAddressCountry),     tagKey(tag::kHomeAddressPostOfficeBox),
                               addressKey(lid::kHomeAddress)};
    static const SlotKeys work{addressKey(lid::kWorkAddressStreet),  addressKey(lid::kWorkAddressCity),
                               addressKey(lid::kWorkAddressState),   addressKey(lid::kWorkAddressPostalCode),
                               addressKey(lid::kWorkAddressCountry), addressKey(lid::kWorkAddressPostOfficeBox),
                               addressKey(lid::kWorkAddress)};
    static const SlotKeys other{tagKey(tag::kOtherAddressStreet),     tagKey(tag::kOtherAddressCity),
                                tagKey(tag::kOtherAddressStateOrProvince), tagKey(tag::kOtherAddressPostalCode),
                                tagKey(tag::kOtherAddressCountry),    tagKey(tag::kOtherAddressPostOfficeBox),
                                addressKey(lid::kOtherAddress)};
    static const SlotKeys mailing{tagKey(tag::kStreetAddress), tagKey(tag::kLocality),  tagKey(tag::kStateOrProvince),
                                  tagKey(tag::kPostalCode),    tagKey(tag::kCountry),   tagKey(tag::kPostOfficeBox),
                                  tagKey(tag::kPostalAddress)};
    switch (slot) {
        case kHome: return home;
        case kWork: return work;
        case kOther: return other;
        default: return mailing;
    }
}

struct Fields {
    std::string street, city, state, postalCode, country, poBox, composite;
};

// "Street\r\nCity, State  PostalCode\r\nCountry", Outlook's own block, missing parts left out.
std::string compositeOf(const Fields& f) {
    // A missing part takes its separator with it: "City  PostalCode", "State  PostalCode".
    const std::string cityLine = joined({joined({f.city, f.state}, ", "), f.postalCode}, "  ");
    return joined({f.street, f.poBox, cityLine, f.country}, "\r\n");
}

Fields fieldsOf(const vcard::Address& a) {
    Fields f;
    // Outlook has no "extended address" field: it goes on its own line above the street.
    f.street = joined({withCrlf(trimmed(a.extended)), withCrlf(trimmed(a.street))}, "\r\n");
    f.city = trimmed(a.locality);
    f.state = trimmed(a.region);
    f.postalCode = trimmed(a.postalCode);
    f.country = trimmed(a.country);
    f.poBox = trimmed(a.poBox);
    f.composite = a.labelText.empty() ? compositeOf(f) : withCrlf(trimmed(a.labelText));
    return f;
}

void write(MappingContext& ctx, const SlotKeys& keys, const Fields& f) {
    const auto put = [&](const PropertyKey& key, const std::string& value) {
        if (!value.empty()) ctx.item.properties.set(key, value);
    };
    put(keys.street, f.street);
    put(keys.city, f.city);
    put(keys.state, f.state);
    put(keys.postalCode, f.postalCode);
    put(keys.country, f.country);
    put(keys.poBox, f.poBox);
    put(keys.composite, f.composite);
}

int32_t wantedSlot(const vcard::Address& a) {
    if (a.hasType("home")) return kHome;
    if (a.hasType("work")) return kWork;
    return kOther;   // postal, parcel, dom, intl, other, untyped
}

struct Placed {
    int32_t slot;
    int preference;
    std::size_t order;   // position in the file
    Fields fields;
};

}  // namespace

void mapAddresses(MappingContext& ctx) {
    std::vector<vcard::Address> addresses = ctx.card.addresses();
    std::vector<std::size_t> order(addresses.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // Preferred addresses choose their slot first; file order otherwise.
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        const int px = addresses[x].preference == 0 ? 1000 : addresses[x].preference;
        const int py = addresses[y].preference == 0 ? 1000 : addresses[y].preference;
        return px < py;
    });

    std::vector<Placed> placed;
    const auto taken = [&](int32_t slot) {
        return std::any_of(placed.begin(), placed.end(), [&](const Placed& p) { return p.slot == slot; });
    };
    for (std::size_t index : order) {
        const vcard::Address& a = addresses[index];
        Fields fields = fieldsOf(a);
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
        placed.push_back(Placed{slot, a.preference, index, std::move(fields)});
    }
    if (placed.empty()) return;

    // The mailing address: Outlook's own default, else the preferred address, else the first one.
    const Placed* chosen = nullptr;
    if (const int32_t outlookDefault = ctx.card.defaultPostalAddress(); outlookDefault != kNone)
        for (const Placed& p : placed)
            if (p.slot == outlookDefault) chosen = &p;
    if (!chosen && placed.front().preference > 0) chosen = &placed.front();   // placed in preference order
    if (!chosen)
        chosen = &*std::min_element(placed.begin(), placed.end(),
                                    [](const Placed& x, const Placed& y) { return x.order < y.order; });
    ctx.setNamed(lid::kPostalAddressId, chosen->slot);
    write(ctx, keysOf(kNone), chosen->fields);
}

}  // namespace contact::detail
