// Card: generic look-ups and the name, organisation and simple text accessors.
#include "vcard/card.h"

#include "content_line.h"
#include "group_labels.h"
#include "zentra/text.h"

namespace vcard {

using zentra::equalsIgnoringAsciiCase;
using zentra::toAsciiLower;
using zentra::toAsciiUpper;
using zentra::trimSpaceTab;

namespace {

std::string trimmedCopy(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n')) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

std::string cleanedGroupLabel(std::string_view label) {
    label = trimSpaceTab(label);
    if (label.size() >= 8 && label.substr(0, 4) == "_$!<" && label.substr(label.size() - 4) == ">!$_")
        label = label.substr(4, label.size() - 8);
    return std::string(label);
}

std::string GroupLabels::of(std::string_view group) {
    if (group.empty()) return std::string();
    if (!built_) {
        built_ = true;
        for (const Property& p : card_.properties)
            if (p.is("X-ABLABEL")) first_.try_emplace(toAsciiLower(p.group), &p);
    }
    const auto it = first_.find(toAsciiLower(group));
    return it == first_.end() ? std::string() : cleanedGroupLabel(it->second->value);
}

bool Typed::hasType(std::string_view lowerType) const {
    for (const std::string& t : types)
        if (t == lowerType) return true;
    return false;
}

std::string Card::version() const {
    for (const Property& p : properties) {
        if (!p.is("VERSION")) continue;
        std::string v(trimSpaceTab(p.rawValue));
        if (v == "4" || v == "3" || v == "2") v += v == "2" ? ".1" : ".0";
        return v;
    }
    return std::string();
}

const Property* Card::first(std::string_view upperName) const {
    const NameKey key = NameKey::of(upperName);
    for (const Property& p : properties)
        if (p.is(key) && (p.isBinary || !trimSpaceTab(p.value).empty())) return &p;
    return nullptr;
}

std::vector<const Property*> Card::all(std::string_view upperName) const {
    std::vector<const Property*> out;
    const NameKey key = NameKey::of(upperName);
    for (const Property& p : properties)
        if (p.is(key)) out.push_back(&p);
    return out;
}

std::string Card::firstValue(std::string_view upperName) const {
    const Property* p = first(upperName);
    return p ? trimmedCopy(p->value) : std::string();
}

std::string Card::groupLabel(std::string_view group) const {
    if (group.empty()) return std::string();
    for (const Property& p : properties)
        if (p.is("X-ABLABEL") && equalsIgnoringAsciiCase(p.group, group)) return cleanedGroupLabel(p.value);
    return std::string();
}

std::string Card::formattedName() const { return firstValue("FN"); }

std::optional<StructuredName> Card::name() const {
    const Property* p = first("N");
    if (!p) return std::nullopt;
    StructuredName n;
    n.family = p->component(0);
    n.given = p->component(1);
    n.additional = p->component(2);
    n.prefixes = p->component(3);
    n.suffixes = p->component(4);
    return n;
}

std::vector<std::string> Card::nicknames() const {
    std::vector<std::string> out;
    for (const Property& p : properties) {
        if (!p.is("NICKNAME")) continue;
        for (const auto& list : p.components)
            for (const std::string& v : list)
                if (!v.empty()) out.push_back(v);
    }
    return out;
}

std::optional<Organization> Card::organization() const {
    const Property* p = first("ORG");
    if (!p) return std::nullopt;
    Organization org;
    org.name = trimmedCopy(p->component(0));
    for (std::size_t i = 1; i < p->components.size(); ++i) {
        std::string unit = trimmedCopy(p->component(i));
        if (!unit.empty()) org.units.push_back(std::move(unit));
    }
    return org;
}

std::string Card::title() const { return firstValue("TITLE"); }
std::string Card::role() const { return firstValue("ROLE"); }

std::string Card::kind() const {
    std::string k = toAsciiLower(firstValue("KIND"));
    if (k.empty()) k = toAsciiLower(firstValue("X-ADDRESSBOOKSERVER-KIND"));
    if (k.empty() && equalsIgnoringAsciiCase(firstValue("X-ABSHOWAS"), "COMPANY")) k = "org";
    return k;
}

std::optional<PhoneticName> Card::phoneticName() const {
    PhoneticName name;
    name.family = firstValue("X-PHONETIC-LAST-NAME");
    name.given = firstValue("X-PHONETIC-FIRST-NAME");
    if (name.family.empty() && name.given.empty()) {
        for (const Property* p : all("SOUND")) {
            if (!p->hasType("X-IRMC-N") || p->isBinary) continue;
            const std::string_view v = p->value;   // family;given;... as on N
            const std::size_t semi = v.find(';');
            name.family = trimmedCopy(v.substr(0, semi));
            if (semi != std::string_view::npos) name.given = trimmedCopy(v.substr(semi + 1, v.find(';', semi + 1) - semi - 1));
            break;
        }
    }
    if (name.family.empty() && name.given.empty()) return std::nullopt;
    return name;
}

std::vector<std::string> Card::notes() const {
    std::vector<std::string> out;
    for (const Property& p : properties) {
        if (!p.is("NOTE")) continue;
        std::string note = trimmedCopy(p.value);
        if (!note.empty()) out.push_back(std::move(note));
    }
    return out;
}

std::vector<std::string> Card::categories() const {
    std::vector<std::string> out;
    for (const Property& p : properties) {
        if (!p.is("CATEGORIES")) continue;
        for (const auto& list : p.components)
            for (const std::string& v : list)
                if (!v.empty()) out.push_back(v);
    }
    return out;
}

std::string Card::classification() const { return toAsciiUpper(firstValue("CLASS")); }
std::string Card::uid() const { return firstValue("UID"); }
std::string Card::revision() const { return firstValue("REV"); }
std::string Card::productId() const { return firstValue("PRODID"); }

int Card::defaultPostalAddress() const {
    const std::string v = firstValue("X-MS-OL-DEFAULT-POSTAL-ADDRESS");
    return v.size() == 1 && v[0] >= '1' && v[0] <= '3' ? v[0] - '0' : 0;
}

}  // namespace vcard
