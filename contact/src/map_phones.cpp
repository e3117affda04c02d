// Telephone numbers: each number goes to the slot its types ask for (fax before pager before
// mobile before car before ISDN before home/work voice); a second home or work number takes
// Home2/Business2, a second fax the other-fax slot; when those are taken a voice number takes
// Other, and whatever still has no slot goes to the details block. Preferred numbers choose first.
#include <algorithm>

#include "mapping_context.h"
#include "vcard/card_order.h"

namespace contact::detail {

namespace {

std::string lowerNoSpaces(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '-' || c == '_') continue;
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return out;
}

// The types of a number, with Apple's group labels (_$!<Mobile>!$_, _$!<WorkFAX>!$_) read as types.
std::vector<std::string> typesOf(const vcard::Phone& phone) {
    std::vector<std::string> types = phone.types;
    const std::string label = lowerNoSpaces(phone.label);
    if (label == "mobile" || label == "iphone" || label == "cell") types.push_back("cell");
    else if (label == "main") types.push_back("main");
    else if (label == "homefax") types.insert(types.end(), {"home", "fax"});
    else if (label == "workfax") types.insert(types.end(), {"work", "fax"});
    else if (label == "otherfax") types.push_back("fax");
    else if (label == "assistantphone" || label == "assistant") types.push_back("assistant");
    else if (!label.empty()) types.push_back(label);
    if (phone.property == "EMAIL") types.push_back("tlx");
    return types;
}

// Slots a number may take, in order of choice (the first free one wins).
std::vector<uint16_t> slotsFor(const std::vector<std::string>& types, int preference) {
    const auto has = [&](std::string_view t) { return std::find(types.begin(), types.end(), t) != types.end(); };
    if (has("tlx") || has("telex")) return {tag::kTelexNumber};
    if (has("fax")) {
        // A second fax of a kind goes to the other-fax slot, never to a voice slot.
        if (has("work")) return {tag::kBusinessFaxNumber, tag::kPrimaryFaxNumber};
        if (has("home")) return {tag::kHomeFaxNumber, tag::kPrimaryFaxNumber};
        return {tag::kPrimaryFaxNumber};
    }
    if (has("pager")) return {tag::kPagerTelephoneNumber};
    if (has("cell") || has("mobile") || has("iphone")) return {tag::kMobileTelephoneNumber};
    if (has("car")) return {tag::kCarTelephoneNumber};
    if (has("isdn")) return {tag::kIsdnNumber};
    if (has("ttytdd") || has("textphone") || has("tty")) return {tag::kTtyTddPhoneNumber};
    if (has("radio") || has("pcs")) return {tag::kRadioTelephoneNumber};
    if (has("assistant")) return {tag::kAssistantTelephoneNumber};
    if (has("callback")) return {tag::kCallbackTelephoneNumber};
    if (has("company") || has("main")) return {tag::kCompanyMainTelephoneNumber};
    if (has("home")) return {tag::kHomeTelephoneNumber, tag::kHome2TelephoneNumber};
    if (has("work")) return {tag::kBusinessTelephoneNumber, tag::kBusiness2TelephoneNumber};
    if (has("primary")) return {tag::kPrimaryTelephoneNumber};
    const bool onlyVoice = std::all_of(types.begin(), types.end(), [](const std::string& t) { return t == "voice"; });
    if (onlyVoice && preference > 0) return {tag::kPrimaryTelephoneNumber};
    return {};   // msg, voice, video, bbs, modem, other, untyped: Other
}

std::string detailLabel(const vcard::Phone& phone) {
    std::vector<std::string> shown;
    for (const std::string& t : phone.types)
        if (t != "voice" && t != "internet") shown.push_back(t);
    if (!phone.label.empty()) shown.push_back(phone.label);
    return shown.empty() ? std::string("Phone") : "Phone (" + joined(shown, ", ") + ")";
}

}  // namespace

void mapPhones(MappingContext& ctx) {
    for (const vcard::Phone& phone : vcard::byPreference(ctx.card.phones())) {
        std::vector<uint16_t> slots = slotsFor(typesOf(phone), phone.preference);
        if (std::find(slots.begin(), slots.end(), tag::kPrimaryFaxNumber) == slots.end())
            slots.push_back(tag::kOtherTelephoneNumber);
        const auto free = std::find_if(slots.begin(), slots.end(), [&](uint16_t t) { return !ctx.has(t); });
        if (free != slots.end()) ctx.set(*free, phone.number);
        else ctx.addDetail(detailLabel(phone), phone.number);
    }
    // The assistant named by a 2.1 AGENT card brings the assistant's number.
    for (const vcard::Card& agent : ctx.card.agents) {
        const auto phones = vcard::byPreference(agent.phones());
        if (phones.empty()) continue;
        if (!ctx.has(tag::kAssistantTelephoneNumber)) ctx.set(tag::kAssistantTelephoneNumber, phones.front().number);
        else ctx.addDetail("Assistant's phone", phones.front().number);
        break;
    }
}

}  // namespace contact::detail
