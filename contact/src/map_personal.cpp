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
    // Typed pages choose first, so an untyped page met earlier does not take the work slot.
    std::vector<const vcard::Url*> leftOver;
    for (const vcard::Url& u : urls) {
        if (isWork(u) && !ctx.has(tag::kBusinessHomePage)) {
            ctx.set(tag::kBusinessHomePage, u.url);
            ctx.setNamed(lid::kHtml, u.url);
        } else if (isHome(u) && !ctx.has(tag::kPersonalHomePage)) {
            ctx.set(tag::kPersonalHomePage, u.url);
        } else {
            leftOver.push_back(&u);
        }
    }
    for (const vcard::Url* u : leftOver) {
        if (!isWork(*u) && !isHome(*u) && !ctx.has(tag::kBusinessHomePage)) {
            ctx.set(tag::kBusinessHomePage, u->url);
            ctx.setNamed(lid::kHtml, u->url);
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
        if (first) ctx.setNamedText(lid::kInstantMessagingAddress, trimmed(im.handle));
        else ctx.addDetail("IM (" + im.service + ")", im.handle);
        first = false;
    }
}

void mapRelated(MappingContext& ctx) {
    std::vector<std::string> children;
    for (const vcard::Related& r : ctx.card.related()) {
        const std::string_view name = trimmedView(r.name);
        // References to other cards or message parts (urn:uuid:..., CID:...) name nobody.
        if (startsWithIgnoringAsciiCase(name, "urn:") || startsWithIgnoringAsciiCase(name, "cid:")) continue;
        uint16_t slot = 0;
        if (r.kind == "spouse") slot = tag::kSpouseName;
        else if (r.kind == "assistant" || r.kind == "agent") slot = tag::kAssistant;
        else if (r.kind == "manager") slot = tag::kManagerName;
        if (r.kind == "child") {
            children.emplace_back(name);
        } else if (slot != 0 && !ctx.has(slot)) {
            ctx.set(slot, std::string(name));
        } else {
            ctx.addDetail(r.kind == "related" ? std::string("Related") : "Related (" + r.kind + ")", name);
        }
    }
    if (!children.empty()) ctx.set(tag::kChildrensNames, std::move(children));
}

void mapGender(MappingContext& ctx) {
    const std::optional<vcard::Gender> gender = ctx.card.gender();
    if (!gender) return;
    if (gender->sex == 'F') ctx.set(tag::kGender, int16_t{1});
    else if (gender->sex == 'M') ctx.set(tag::kGender, int16_t{2});
    if (const std::string_view identity = trimmedView(gender->identity); !identity.empty())
        ctx.addDetail("Gender", identity);
}

void mapCategories(MappingContext& ctx) {
    std::vector<std::string> keywords;
    std::unordered_set<std::string> known;   // lower-cased: a card with thousands stays linear
    for (const std::string& raw : ctx.card.categories()) {
        const std::string_view c = trimmedView(raw);
        if (c.empty()) continue;
        std::string key(c);
        for (char& ch : key) ch = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
        if (known.insert(std::move(key)).second) keywords.emplace_back(c);
    }
    if (!keywords.empty()) ctx.item.properties.set(keywordsKey(), std::move(keywords));
}

void mapSensitivity(MappingContext& ctx) {
    const std::string cls = ctx.card.classification();
    int32_t sensitivity = 0;   // normal
    if (cls == "PRIVATE") sensitivity = 2;
    else if (cls == "CONFIDENTIAL") sensitivity = 3;
    else if (!cls.empty() && cls != "PUBLIC")
        ctx.warn(0, "CLASS", "unknown classification \"" + cls + "\" imported as normal");
    ctx.set(tag::kSensitivity, sensitivity);
}

}  // namespace

void mapPersonal(MappingContext& ctx) {
    mapWebPages(ctx);
    mapInstantMessaging(ctx);
    mapRelated(ctx);
    mapGender(ctx);
    mapCategories(ctx);
    mapSensitivity(ctx);
    if (const std::optional<vcard::Geo> geo = ctx.card.geo())
        ctx.addDetail("Location", coordinate(geo->latitude) + ", " + coordinate(geo->longitude));
}

}  // namespace contact::detail
