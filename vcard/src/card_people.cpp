// Card: dates, gender, related people, photo and position.
#include <cstdlib>

#include "content_line.h"
#include "group_labels.h"
#include "vcard/card.h"
#include "zentra/text.h"

namespace vcard {

using zentra::equalsIgnoringAsciiCase;
using zentra::startsWithIgnoringAsciiCase;
using zentra::toAsciiLower;
using zentra::toAsciiUpper;
using zentra::trimSpaceTab;

namespace {

const char* relationFor(const Property& p) {
    // Every name here starts with "X-": other properties need no look-up.
    if (p.name.size() < 2 || p.name[0] != 'X' || p.name[1] != '-') return nullptr;
    static constexpr struct { NameKey property; const char* kind; } table[] = {
        {"X-SPOUSE", "spouse"},       {"X-MS-SPOUSE", "spouse"},       {"X-EVOLUTION-SPOUSE", "spouse"},
        {"X-KADDRESSBOOK-X-SPOUSESNAME", "spouse"},
        {"X-MANAGER", "manager"},     {"X-MS-MANAGER", "manager"},     {"X-EVOLUTION-MANAGER", "manager"},
        {"X-KADDRESSBOOK-X-MANAGERSNAME", "manager"},
        {"X-ASSISTANT", "assistant"}, {"X-MS-ASSISTANT", "assistant"}, {"X-EVOLUTION-ASSISTANT", "assistant"},
        {"X-KADDRESSBOOK-X-ASSISTANTSNAME", "assistant"},
        {"X-MS-CHILD", "child"},      {"X-CHILD", "child"},            {"X-CHILDREN", "child"},
    };
    for (const auto& row : table)
        if (p.is(row.property)) return row.kind;
    return nullptr;
}

std::string imageTypeFromMagic(std::string_view b) {
    if (b.size() >= 3 && b.substr(0, 3) == "\xFF\xD8\xFF") return "image/jpeg";
    if (b.size() >= 8 && b.substr(0, 8) == "\x89PNG\r\n\x1A\n") return "image/png";
    if (b.size() >= 6 && (b.substr(0, 6) == "GIF87a" || b.substr(0, 6) == "GIF89a")) return "image/gif";
    if (b.size() >= 2 && b.substr(0, 2) == "BM") return "image/bmp";
    if (b.size() >= 12 && b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WEBP") return "image/webp";
    return std::string();
}

std::string declaredImageType(const Property& p) {
    std::string t = toAsciiLower(trimSpaceTab(p.parameterValue("MEDIATYPE")));
    if (t.empty() && startsWithIgnoringAsciiCase(trimSpaceTab(p.rawValue), "data:")) {
        const std::string_view raw = trimSpaceTab(p.rawValue);
        const std::size_t end = raw.find_first_of(";,");
        t = toAsciiLower(raw.substr(5, end == std::string_view::npos ? std::string_view::npos : end - 5));
    }
    if (t.empty()) {
        for (const std::string& type : p.types()) {
            if (type.find('/') != std::string::npos) return type;
            if (type == "jpeg" || type == "jpg") return "image/jpeg";
            if (type == "png" || type == "gif" || type == "bmp" || type == "tiff" || type == "webp")
                return "image/" + type;
        }
    }
    return t;
}

std::optional<Date> dateOf(const Property& p) {
    std::optional<Date> d = parseDate(p.value);
    if (d && d->year != 0) {
        const std::string omit = p.parameterValue("X-APPLE-OMIT-YEAR");
        if (!omit.empty() && std::atoi(omit.c_str()) == d->year) d->year = 0;
    }
    return d;
}

bool parseNumber(std::string_view s, double& out) {
    const std::string text(trimSpaceTab(s));
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

}  // namespace

std::optional<Date> Card::birthday() const {
    for (const Property& p : properties)
        if (p.is("BDAY"))
            if (auto d = dateOf(p)) return d;
    return std::nullopt;
}

std::optional<Date> Card::anniversary() const {
    GroupLabels labels(*this);
    for (const Property& p : properties) {
        const bool direct = p.is("ANNIVERSARY") || p.is("X-MS-ANNIVERSARY") || p.is("X-EVOLUTION-ANNIVERSARY") ||
                            p.is("X-ANNIVERSARY") || p.is("X-KADDRESSBOOK-X-ANNIVERSARY");
        const bool apple = p.is("X-ABDATE") && equalsIgnoringAsciiCase(labels.of(p.group), "Anniversary");
        if (direct || apple) {
            if (auto d = dateOf(p)) return d;
        }
        // X-ANDROID-CUSTOM:vnd.android.cursor.item/contact_event;<date>;<type>;... (type 1 = anniversary)
        if (p.is("X-ANDROID-CUSTOM") && p.components.size() >= 3 &&
            p.component(0) == "vnd.android.cursor.item/contact_event" && p.component(2) == "1") {
            if (auto d = parseDate(p.component(1))) return d;
        }
    }
    return std::nullopt;
}

std::optional<Gender> Card::gender() const {
    if (const Property* p = first("GENDER")) {
        Gender g;
        const std::string sex = toAsciiUpper(trimSpaceTab(p->component(0)));
        if (sex.size() == 1 && std::string_view("MFONU").find(sex[0]) != std::string_view::npos) g.sex = sex[0];
        g.identity = p->component(1);
        return g;
    }
    if (const Property* p = first("X-GENDER")) {
        Gender g;
        const std::string v = toAsciiLower(trimSpaceTab(p->value));
        if (v == "male" || v == "m") g.sex = 'M';
        else if (v == "female" || v == "f") g.sex = 'F';
        else g.identity = std::string(trimSpaceTab(p->value));
        return g;
    }
    return std::nullopt;
}

std::vector<Related> Card::related() const {
    std::vector<Related> out;
    GroupLabels labels(*this);
    for (const Property& p : properties) {
        // Decide by name first: the value is copied only for the few properties that name a person.
        const bool isRelated = p.is("RELATED");
        const bool isAppleRelated = !isRelated && p.is("X-ABRELATEDNAMES");
        const char* vendorKind = isRelated || isAppleRelated ? nullptr : relationFor(p);
        const bool isAgent = p.is("AGENT");
        if (!isRelated && !isAppleRelated && !vendorKind && !isAgent) continue;
        const std::string_view name = trimSpaceTab(p.value);
        if (name.empty()) continue;
        if (isRelated) {
            std::string kind = "related";
            for (std::string& t : p.types())
                if (t != "pref") { kind = std::move(t); break; }
            out.push_back(Related{std::move(kind), std::string(name), p.name});
        } else if (isAppleRelated) {
            std::string label = toAsciiLower(labels.of(p.group));
            out.push_back(Related{label.empty() ? std::string("related") : std::move(label), std::string(name), p.name});
        } else if (vendorKind) {
            out.push_back(Related{vendorKind, std::string(name), p.name});
        } else if (!startsWithIgnoringAsciiCase(name, "BEGIN:VCARD")) {
            out.push_back(Related{"agent", std::string(name), p.name});
        }
    }
    for (const Card& agent : agents) {
        std::string fn = agent.formattedName();
        if (fn.empty()) {
            if (auto n = agent.name()) fn = n->given.empty() ? n->family : n->given + " " + n->family;
        }
        if (!fn.empty()) out.push_back(Related{"agent", fn, "AGENT"});
    }
    return out;
}

std::vector<Photo> Card::photos() const {
    std::vector<Photo> out;
    for (const Property* p : all("PHOTO")) {
        Photo photo;
        if (p->isBinary) {
            if (p->bytes.empty()) continue;
            photo.bytes = p->bytes;
            photo.mediaType = imageTypeFromMagic(photo.bytes);
            if (photo.mediaType.empty()) photo.mediaType = declaredImageType(*p);
        } else {
            // A value that should have been data (ENCODING given) but was not is no link.
            if (trimSpaceTab(p->value).empty() || !p->parameterValue("ENCODING").empty()) continue;
            photo.url = std::string(trimSpaceTab(p->value));
            photo.mediaType = declaredImageType(*p);
        }
        photo.preference = p->preference();
        photo.line = p->line;
        out.push_back(std::move(photo));
    }
    return byPreference(std::move(out));
}

std::optional<Photo> Card::photo() const {
    std::vector<Photo> all = photos();
    for (Photo& photo : all)
        if (!photo.bytes.empty()) return std::move(photo);
    if (!all.empty()) return std::move(all.front());
    return std::nullopt;
}

std::optional<Geo> Card::geo() const {
    const Property* p = first("GEO");
    if (!p) return std::nullopt;
    std::string_view v = trimSpaceTab(p->value);
    if (startsWithIgnoringAsciiCase(v, "geo:")) v.remove_prefix(4);
    v = v.substr(0, v.find(';'));   // geo: URI parameters (;u=...)
    std::string_view lat, lon;
    if (p->components.size() >= 2) {
        Geo g;
        if (parseNumber(p->component(0), g.latitude) && parseNumber(p->component(1), g.longitude) &&
            g.latitude >= -90 && g.latitude <= 90 && g.longitude >= -180 && g.longitude <= 180)
            return g;
        return std::nullopt;
    }
    const std::size_t comma = v.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    Geo g;
    const std::string_view rest = v.substr(comma + 1);
    if (!parseNumber(v.substr(0, comma), g.latitude) ||
        !parseNumber(rest.substr(0, rest.find(',')), g.longitude))
        return std::nullopt;
    if (g.latitude < -90 || g.latitude > 90 || g.longitude < -180 || g.longitude > 180) return std::nullopt;
    return g;
}

}  // namespace vcard
