// Web pages, instant messaging, related people, gender, categories, sensitivity and position.
#include <cstdio>
#include <unordered_set>

#include "mapping_context.h"

namespace contact::detail {

namespace {

// A coordinate without trailing zeros: 48.858400 -> "48.8584".
std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string s = text;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

void mapWebPages(MappingContext& ctx) {
    const std::vector<vcard::Url> written = ctx.card.urls();
    const PreferenceOrder<vcard::Url> urls(written);
    const auto isHome = [](const vcard::Url& u) {
        return u.hasType("home") || equalsIgnoringAsciiCase(u.label, "homepage");
    };
    const auto isWork = [&](const vcard::Url& u) { return u.hasType("work") && !isHome(u); };
    // [MS-OXVCARD] URL import: TYPE=work and TYPE=home go to their own pages; an untyped URL
    // is the personal home page and a second one the business home page. Typed pages choose
    // first, so an untyped page met earlier does not take their slot.
    const auto setBusiness = [&](const std::string& url) {
        ctx.setString(mapi::PidTagBusinessHomePage, url);
        ctx.setString(mapi::PidLidHtml, url);   // Outlook's "Web page address" mirrors it
    };
    std::vector<const vcard::Url*> leftOver;
    for (const vcard::Url& u : urls) {
        if (isWork(u) && !ctx.has(mapi::PidTagBusinessHomePage)) setBusiness(u.url);
        else if (isHome(u) && !ctx.has(mapi::PidTagPersonalHomePage)) ctx.setString(mapi::PidTagPersonalHomePage, u.url);
        else leftOver.push_back(&u);
    }
    for (const vcard::Url* u : leftOver) {
        const bool untyped = !isWork(*u) && !isHome(*u);
        if (untyped && !ctx.has(mapi::PidTagPersonalHomePage)) {
            ctx.setString(mapi::PidTagPersonalHomePage, u->url);
            continue;
        }
        if (untyped && !ctx.has(mapi::PidTagBusinessHomePage)) {
            setBusiness(u->url);
            continue;
        }
        std::vector<std::string> shown = u->types;
        if (!u->label.empty()) shown.push_back(u->label);
        ctx.addDetail(shown.empty() ? std::string("Web page") : "Web page (" + joined(shown, ", ") + ")", u->url);
    }
}

void mapInstantMessaging(MappingContext& ctx) {
    bool first = true;
    const std::vector<vcard::InstantMessaging> written = ctx.card.instantMessaging();
    for (const vcard::InstantMessaging& im : PreferenceOrder<vcard::InstantMessaging>(written)) {
        if (first) ctx.setText(mapi::PidLidInstantMessagingAddress, trimWhitespace(im.handle));
        else ctx.addDetail("IM (" + im.service + ")", im.handle);
        first = false;
    }
    for (const std::string& address : ctx.imAddresses) {
        if (first) ctx.setText(mapi::PidLidInstantMessagingAddress, address);
        else ctx.addDetail("IM", address);
        first = false;
    }
}

void mapRelated(MappingContext& ctx) {
    std::vector<std::string> children;
    for (const vcard::Related& r : ctx.card.related()) {
        const std::string_view name = trimWhitespace(r.name);
        // References to other cards or message parts (urn:uuid:..., CID:...) name nobody.
        if (startsWithIgnoringAsciiCase(name, "urn:") || startsWithIgnoringAsciiCase(name, "cid:")) continue;
        const mapi::PropertyTag* slot = nullptr;
        if (r.kind == "spouse") slot = &mapi::PidTagSpouseName;
        else if (r.kind == "assistant" || r.kind == "agent") slot = &mapi::PidTagAssistant;
        else if (r.kind == "manager") slot = &mapi::PidTagManagerName;
        if (r.kind == "child") {
            children.emplace_back(name);
        } else if (slot && !ctx.has(*slot)) {
            ctx.setString(*slot, name);
        } else {
            ctx.addDetail(r.kind == "related" ? std::string("Related") : "Related (" + r.kind + ")", name);
        }
    }
    if (!children.empty()) ctx.set(mapi::PidTagChildrensNames, textListValue(std::move(children)));
}

void mapGender(MappingContext& ctx) {
    const std::optional<vcard::Gender> gender = ctx.card.gender();
    if (!gender) return;
    if (gender->sex == 'F') ctx.set(mapi::PidTagGender, mapi::int16Value(1));
    else if (gender->sex == 'M') ctx.set(mapi::PidTagGender, mapi::int16Value(2));
    if (const std::string_view identity = trimWhitespace(gender->identity); !identity.empty())
        ctx.addDetail("Gender", identity);
}

void mapCategories(MappingContext& ctx) {
    std::vector<std::string> keywords;
    std::unordered_set<std::string> known;   // lower-cased: a card with thousands stays linear
    for (const std::string& raw : ctx.card.categories()) {
        const std::string_view c = trimWhitespace(raw);
        if (c.empty()) continue;
        std::string key(c);
        for (char& ch : key) ch = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
        if (known.insert(std::move(key)).second) keywords.emplace_back(c);
    }
    if (!keywords.empty()) ctx.set(mapi::PidNameKeywords, mapi::multiStringValue(keywords));
}

void mapSensitivity(MappingContext& ctx) {
    const std::string cls = ctx.card.classification();
    int32_t sensitivity = 0;   // normal
    if (cls == "PRIVATE") sensitivity = 2;
    else if (cls == "CONFIDENTIAL") sensitivity = 3;
    else if (!cls.empty() && cls != "PUBLIC")
        ctx.warn(0, "CLASS", "unknown classification \"" + cls + "\" imported as normal");
    ctx.set(mapi::PidTagSensitivity, mapi::int32Value(sensitivity));
}

}  // namespace

void mapPersonal(MappingContext& ctx) {
    mapWebPages(ctx);
    mapInstantMessaging(ctx);
    mapRelated(ctx);
    mapGender(ctx);
    mapCategories(ctx);
    mapSensitivity(ctx);
    ctx.setText(mapi::PidLidFreeBusyLocation, trimWhitespace(ctx.card.firstValue("FBURL")));
    if (const std::optional<vcard::Geo> geo = ctx.card.geo())
        ctx.addDetail("Location", coordinate(geo->latitude) + ", " + coordinate(geo->longitude));
}

}  // namespace contact::detail
