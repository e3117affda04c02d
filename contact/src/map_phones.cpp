// Telephone numbers: each number goes to the slot its types ask for (fax before pager before
// mobile before car before ISDN before home/work voice); a second home or work number takes
// Home2/Business2, a second fax the other-fax slot; when those are taken a voice number takes
// Other, and whatever still has no slot goes to the details block. Preferred numbers choose first.
#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "mapping_context.h"
#include "vcard/card_order.h"

namespace contact::detail {

namespace {

// The types a number's slot depends on, as bits; every other type only counts as "not voice".
enum TypeBit : uint32_t {
    kTlx = 1u << 0, kTelex = 1u << 1, kFax = 1u << 2, kWork = 1u << 3, kHome = 1u << 4, kPager = 1u << 5,
    kCell = 1u << 6, kMobile = 1u << 7, kIphone = 1u << 8, kCar = 1u << 9, kIsdn = 1u << 10, kTtyTdd = 1u << 11,
    kTextphone = 1u << 12, kTty = 1u << 13, kRadio = 1u << 14, kPcs = 1u << 15, kAssistant = 1u << 16,
    kCallback = 1u << 17, kCompany = 1u << 18, kMain = 1u << 19, kPrimary = 1u << 20, kVoice = 1u << 21,
};

struct TypeSet {
    uint32_t bits = 0;
    bool onlyVoice = true;   // no type at all, or none but "voice"

    void add(std::string_view type) {
        const uint32_t bit = bitOf(type);
        bits |= bit;
        onlyVoice = onlyVoice && bit == kVoice;
    }
    bool has(uint32_t anyOf) const { return (bits & anyOf) != 0; }

private:
    // The type's bit, 0 for any other type; candidates are picked by length first.
    static uint32_t bitOf(std::string_view t) {
        const auto is = [&t](std::string_view name) { return std::equal(t.begin(), t.end(), name.begin()); };
        switch (t.size()) {
            case 3:
                if (is("tlx")) return kTlx;
                if (is("fax")) return kFax;
                if (is("car")) return kCar;
                if (is("tty")) return kTty;
                if (is("pcs")) return kPcs;
                return 0;
            case 4:
                if (is("work")) return kWork;
                if (is("home")) return kHome;
                if (is("cell")) return kCell;
                if (is("isdn")) return kIsdn;
                if (is("main")) return kMain;
                return 0;
            case 5:
                if (is("voice")) return kVoice;
                if (is("telex")) return kTelex;
                if (is("pager")) return kPager;
                if (is("radio")) return kRadio;
                return 0;
            case 6:
                if (is("mobile")) return kMobile;
                if (is("iphone")) return kIphone;
                if (is("ttytdd")) return kTtyTdd;
                return 0;
            case 7:
                if (is("company")) return kCompany;
                if (is("primary")) return kPrimary;
                return 0;
            case 8:
                if (is("callback")) return kCallback;
                return 0;
            case 9:
                if (is("textphone")) return kTextphone;
                if (is("assistant")) return kAssistant;
                return 0;
            default: return 0;
        }
    }
};

// Apple's group labels (_$!<Mobile>!$_, _$!<WorkFAX>!$_) lower-cased without spaces, dashes and
// underscores; empty when the label is longer than any that means something (it still counts as
// a type then, so the caller is told by `longLabel`).
std::string_view labelKey(std::string_view label, char (&buffer)[32], bool& longLabel) {
    std::size_t length = 0;
    longLabel = false;
    for (char c : label) {
        if (c == ' ' || c == '-' || c == '_') continue;
        if (length == sizeof buffer) {
            longLabel = true;
            return std::string_view();
        }
        buffer[length++] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return std::string_view(buffer, length);
}

// The types of a number, with Apple's group labels read as types.
TypeSet typesOf(const vcard::Phone& phone) {
    TypeSet types;
    for (const std::string& t : phone.types) types.add(t);
    char buffer[32];
    bool longLabel = false;
    const std::string_view label = labelKey(phone.label, buffer, longLabel);
    if (longLabel) types.onlyVoice = false;   // an unknown label is a type of its own
    else if (label == "mobile" || label == "iphone" || label == "cell") types.add("cell");
    else if (label == "main") types.add("main");
    else if (label == "homefax") types.add("home"), types.add("fax");
    else if (label == "workfax") types.add("work"), types.add("fax");
    else if (label == "otherfax") types.add("fax");
    else if (label == "assistantphone" || label == "assistant") types.add("assistant");
    else if (!label.empty()) types.add(label);
    if (phone.property == "EMAIL") types.add("tlx");
    return types;
}

// Slots a number may take, in order of choice (the first free one wins).
struct Slots {
    const mapi::PropertyTag* tags[3] = {};
    std::size_t count = 0;
    Slots(std::initializer_list<const mapi::PropertyTag*> list) {
        for (const mapi::PropertyTag* t : list) tags[count++] = t;
    }
    const mapi::PropertyTag* const* begin() const { return tags; }
    const mapi::PropertyTag* const* end() const { return tags + count; }
    bool contains(const mapi::PropertyTag& t) const { return std::find(begin(), end(), &t) != end(); }
    void push_back(const mapi::PropertyTag& t) { tags[count++] = &t; }
};

Slots slotsFor(const TypeSet& types) {
    if (types.has(kTlx | kTelex)) return {&mapi::PidTagTelexNumber};
    if (types.has(kFax)) {
        // A second fax of a kind goes to the other-fax slot, never to a voice slot.
        if (types.has(kWork)) return {&mapi::PidTagBusinessFaxNumber, &mapi::PidTagPrimaryFaxNumber};
        if (types.has(kHome)) return {&mapi::PidTagHomeFaxNumber, &mapi::PidTagPrimaryFaxNumber};
        return {&mapi::PidTagPrimaryFaxNumber};
    }
    if (types.has(kPager)) return {&mapi::PidTagPagerTelephoneNumber};
    if (types.has(kCell | kMobile | kIphone)) return {&mapi::PidTagMobileTelephoneNumber};
    if (types.has(kCar)) return {&mapi::PidTagCarTelephoneNumber};
    if (types.has(kIsdn)) return {&mapi::PidTagIsdnNumber};
    if (types.has(kTtyTdd | kTextphone | kTty)) return {&mapi::PidTagTelecommunicationsDeviceForDeafTelephoneNumber};
    if (types.has(kRadio | kPcs)) return {&mapi::PidTagRadioTelephoneNumber};
    if (types.has(kAssistant)) return {&mapi::PidTagAssistantTelephoneNumber};
    if (types.has(kCallback)) return {&mapi::PidTagCallbackTelephoneNumber};
    if (types.has(kCompany | kMain)) return {&mapi::PidTagCompanyMainTelephoneNumber};
    if (types.has(kHome)) return {&mapi::PidTagHomeTelephoneNumber, &mapi::PidTagHome2TelephoneNumber};
    if (types.has(kWork)) return {&mapi::PidTagBusinessTelephoneNumber, &mapi::PidTagBusiness2TelephoneNumber};
    if (types.has(kPrimary)) return {&mapi::PidTagPrimaryTelephoneNumber};
    // [MS-OXVCARD] TEL import (RFC 2426 3.3.1): no TYPE means voice, and "pref" names no kind, so
    // a number marked only as preferred is a voice number like any other; being preferred it
    // chooses before the others and takes Other first.
    return {};   // msg, voice, video, bbs, modem, other, untyped: Other
}

std::string detailLabel(const vcard::Phone& phone) {
    std::vector<std::string> shown;
    for (const std::string& t : phone.types)
        if (t != "voice" && t != "internet") shown.push_back(t);
    if (!phone.label.empty()) shown.push_back(phone.label);
    return shown.empty() ? std::string("Phone") : "Phone (" + joined(shown, ", ") + ")";
}

// Stores a number in its slot; fax numbers are kept for the fax addresses made from them.
void place(MappingContext& ctx, const mapi::PropertyTag& slot, const std::string& number) {
    ctx.setString(slot, number);
    const mapi::PropertyTag* faxes[] = {&mapi::PidTagBusinessFaxNumber, &mapi::PidTagHomeFaxNumber,
                                        &mapi::PidTagPrimaryFaxNumber};
    for (int fax = 0; fax < 3; ++fax) {
        if (faxes[fax]->id != slot.id) continue;
        ctx.faxNumbers[fax] = number;
        removeNul(ctx.faxNumbers[fax]);
    }
}

}  // namespace

void mapPhones(MappingContext& ctx) {
    const std::vector<vcard::Phone> written = ctx.card.phones();
    for (const vcard::Phone& phone : PreferenceOrder<vcard::Phone>(written)) {
        Slots slots = slotsFor(typesOf(phone));
        if (!slots.contains(mapi::PidTagPrimaryFaxNumber)) slots.push_back(mapi::PidTagOtherTelephoneNumber);
        const auto free = std::find_if(slots.begin(), slots.end(), [&](const mapi::PropertyTag* t) { return !ctx.has(*t); });
        if (free != slots.end()) place(ctx, **free, phone.number);
        else ctx.addDetail(detailLabel(phone), phone.number);
    }
    // The assistant named by a 2.1 AGENT card brings the assistant's number.
    for (const vcard::Card& agent : ctx.card.agents) {
        const auto phones = vcard::byPreference(agent.phones());
        if (phones.empty()) continue;
        if (!ctx.has(mapi::PidTagAssistantTelephoneNumber)) place(ctx, mapi::PidTagAssistantTelephoneNumber, phones.front().number);
        else ctx.addDetail("Assistant's phone", phones.front().number);
        break;
    }
}

}  // namespace contact::detail
