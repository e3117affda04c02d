// Card: e-mail addresses, phones, postal addresses, web pages and instant messaging.
#include <deque>
#include <unordered_map>

#include "content_line.h"
#include "group_labels.h"
#include "text_escapes.h"
#include "vcard/card.h"
#include "zentra/text.h"

namespace vcard {

using zentra::startsWithIgnoringAsciiCase;
using zentra::toAsciiLower;

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

std::string trimmedCopy(std::string_view s) { return std::string(trimmed(s)); }

// One component of a structured value, its list values trimmed and joined by ", ": writers that
// do not escape commas turn "12 High St, Flat 3" into the list "12 High St" " Flat 3", which must
// not come back with two spaces.
std::string listComponent(const Property& p, std::size_t index) {
    std::string out;
    if (index >= p.components.size()) return out;
    for (const std::string& v : p.components[index]) {
        const std::string_view value = trimmed(v);
        if (value.empty()) continue;
        if (!out.empty()) out += ", ";
        out += value;
    }
    return out;
}

void fill(GroupLabels& labels, const Property& p, Typed& t) {
    p.appendTypes(t.types, "pref");
    t.preference = p.preference();
    t.label = labels.of(p.group);
    t.property = p.name;
    t.line = p.line;
}

// Position of ";ext=" in any case, or npos.
std::size_t findExtension(std::string_view v) {
    for (std::size_t at = v.find(';'); at != std::string_view::npos; at = v.find(';', at + 1))
        if (startsWithIgnoringAsciiCase(v.substr(at), ";ext=")) return at;
    return std::string_view::npos;
}

// "tel:+1-555-555-5555;ext=5555" -> "+1-555-555-5555 x5555"
std::string phoneNumber(std::string_view value) {
    std::string v = trimmedCopy(value);
    if (startsWithIgnoringAsciiCase(v, "tel:")) v.erase(0, 4);
    if (const std::size_t ext = findExtension(v); ext != std::string::npos) {
        std::string extension = v.substr(ext + 5);
        extension = extension.substr(0, extension.find(';'));
        v = v.substr(0, ext) + " x" + extension;
    } else if (startsWithIgnoringAsciiCase(value, "tel:")) {
        v = v.substr(0, v.find(';'));   // other URI parameters are not part of the number
    }
    return v;
}

// The entry's types (already without "pref") as one string, to match LABELs to addresses.
std::string typesKey(const Typed& t) {
    std::string key;
    for (const std::string& type : t.types)
        if (type != "encoding" && type != "quoted-printable") {
            key += type;
            key += ',';
        }
    return key;
}

struct ImName {
    NameKey property;
    const char* service;
};

constexpr ImName kImProperties[] = {
    {"X-AIM", "aim"},         {"X-ICQ", "icq"},           {"X-JABBER", "jabber"},   {"X-MSN", "msn"},
    {"X-YAHOO", "yahoo"},     {"X-SKYPE", "skype"},       {"X-SKYPE-USERNAME", "skype"},
    {"X-GTALK", "gtalk"},     {"X-GOOGLE-TALK", "gtalk"}, {"X-QQ", "qq"},           {"X-MS-IMADDRESS", "im"},
    {"X-SIP", "sip"},         {"X-GADUGADU", "gadugadu"}, {"X-GROUPWISE", "groupwise"},
    {"X-TWITTER", "twitter"}, {"X-WEBEX", "webex"},
};

}  // namespace

std::vector<Email> Card::emails() const {
    std::vector<Email> out;
    GroupLabels labels(*this);
    for (const Property& p : properties) {
        if (!p.is("EMAIL") || p.hasType("tlx")) continue;
        std::string address = trimmedCopy(p.value);
        if (startsWithIgnoringAsciiCase(address, "mailto:")) address.erase(0, 7);
        if (address.empty()) continue;
        Email e;
        fill(labels, p, e);
        e.address = std::move(address);
        out.push_back(std::move(e));
    }
    return out;
}

std::vector<Phone> Card::phones() const {
    std::vector<Phone> out;
    GroupLabels labels(*this);
    for (const Property& p : properties) {
        const bool telex = p.is("EMAIL") && p.hasType("tlx");
        if (!p.is("TEL") && !p.is("X-MS-TEL") && !telex) continue;
        Phone phone;
        phone.number = phoneNumber(p.value);
        if (phone.number.empty()) continue;
        fill(labels, p, phone);
        out.push_back(std::move(phone));
    }
    return out;
}

std::vector<Address> Card::addresses() const {
    std::vector<Address> out;
    GroupLabels labels(*this);
    std::vector<const Property*> sources;   // the ADR of each address
    bool hasLabelProperty = false;
    for (const Property& p : properties) {
        hasLabelProperty = hasLabelProperty || p.is("LABEL");
        if (!p.is("ADR")) continue;
        Address a;
        fill(labels, p, a);
        a.poBox = listComponent(p, 0);
        a.extended = listComponent(p, 1);
        a.street = listComponent(p, 2);
        a.locality = listComponent(p, 3);
        a.region = listComponent(p, 4);
        a.postalCode = listComponent(p, 5);
        a.country = listComponent(p, 6);
        // 4.0 LABEL parameter; writers use RFC 6868 carets (decoded already) or backslash escapes.
        if (const Parameter* label = p.parameter("LABEL"); label && !label->values.empty())
            a.labelText = trimmedCopy(unescapeText(label->values.front(), EscapeRules::V30));
        if (a.poBox.empty() && a.extended.empty() && a.street.empty() && a.locality.empty() &&
            a.region.empty() && a.postalCode.empty() && a.country.empty() && a.labelText.empty())
            continue;
        sources.push_back(&p);
        out.push_back(std::move(a));
    }
    // Most cards have no LABEL property: nothing to match, and no matching tables to build.
    if (!hasLabelProperty) return out;
    std::vector<std::string> keys;   // type set of each address, to match LABEL properties
    std::vector<std::string> groups;
    for (std::size_t i = 0; i < out.size(); ++i) {
        keys.push_back(typesKey(out[i]));
        groups.push_back(toAsciiLower(sources[i]->group));
    }
    // LABEL properties (2.1/3.0) go to the address of the same group, else of the same types,
    // else (when either has no types) to the first address still without a label. Candidates
    // are kept in queues per group, per type set and in file order, and an address leaves them
    // lazily once labelled, so a card with thousands of ADR and LABEL lines stays linear.
    const std::size_t addressCount = out.size();
    std::unordered_map<std::string, std::deque<std::size_t>> byGroup, byKey;
    for (std::size_t i = 0; i < addressCount; ++i) {
        if (!out[i].labelText.empty()) continue;
        if (!groups[i].empty()) byGroup[groups[i]].push_back(i);
        byKey[keys[i]].push_back(i);
    }
    std::size_t nextAny = 0, nextUntyped = 0;   // first candidates of the last rule
    auto firstUnlabelled = [&](std::deque<std::size_t>& queue) -> std::size_t {
        while (!queue.empty() && !out[queue.front()].labelText.empty()) queue.pop_front();
        return queue.empty() ? addressCount : queue.front();
    };
    for (const Property& p : properties) {
        if (!p.is("LABEL")) continue;
        std::string text = trimmedCopy(p.value);
        if (text.empty()) continue;
        Address a;
        fill(labels, p, a);
        const std::string key = typesKey(a);
        const std::string group = toAsciiLower(p.group);
        std::size_t target = addressCount;
        if (!group.empty()) {
            if (auto it = byGroup.find(group); it != byGroup.end()) target = firstUnlabelled(it->second);
        }
        if (target == addressCount) {
            if (auto it = byKey.find(key); it != byKey.end()) target = firstUnlabelled(it->second);
        }
        if (target == addressCount) {
            // Any address when the label has no types, else any address without types.
            std::size_t& next = key.empty() ? nextAny : nextUntyped;
            while (next < addressCount && (!out[next].labelText.empty() || (!key.empty() && !keys[next].empty()))) ++next;
            target = next;
        }
        if (target < addressCount) {
            out[target].labelText = std::move(text);
            continue;
        }
        a.labelText = std::move(text);
        a.labelOnly = true;
        keys.push_back(key);
        groups.push_back(group);
        out.push_back(std::move(a));
    }
    return out;
}

std::vector<Url> Card::urls() const {
    std::vector<Url> out;
    GroupLabels labels(*this);
    for (const Property& p : properties) {
        if (!p.is("URL")) continue;
        Url u;
        u.url = trimmedCopy(p.value);
        if (u.url.empty()) continue;
        fill(labels, p, u);
        out.push_back(std::move(u));
    }
    return out;
}

std::vector<InstantMessaging> Card::instantMessaging() const {
    std::vector<InstantMessaging> out;
    GroupLabels labels(*this);
    for (const Property& p : properties) {
        const bool isImpp = p.is("IMPP");
        // Every vendor name starts with "X-"; most properties are neither.
        if (!isImpp && (p.name.size() < 2 || p.name[0] != 'X' || p.name[1] != '-')) continue;
        std::string service;
        for (const ImName& im : kImProperties)
            if (p.is(im.property)) service = im.service;
        // KDE's legacy X-messaging/aim-All style names.
        if (startsWithIgnoringAsciiCase(p.name, "X-MESSAGING/")) {
            service = toAsciiLower(p.name.substr(12));
            if (const std::size_t dash = service.find('-'); dash != std::string::npos) service.resize(dash);
        }
        if (!isImpp && service.empty()) continue;
        InstantMessaging im;
        im.uri = trimmedCopy(p.value);
        if (im.uri.empty()) continue;
        fill(labels, p, im);
        im.handle = im.uri;
        const std::size_t colon = im.uri.find(':');
        const bool hasScheme = colon != std::string::npos && colon > 0 &&
                               im.uri.find_first_of("@/ ") > colon;
        if (hasScheme) {
            im.handle = im.uri.substr(colon + 1);
            if (im.handle.rfind("//", 0) == 0) im.handle.erase(0, 2);
            if (isImpp) service = toAsciiLower(im.uri.substr(0, colon));
        }
        if (const Parameter* declared = p.parameter("X-SERVICE-TYPE");
            declared && !declared->values.empty() && !declared->values.front().empty())
            service = toAsciiLower(declared->values.front());
        im.service = service.empty() ? "im" : service;
        out.push_back(std::move(im));
    }
    return out;
}

}  // namespace vcard
