#include "vcard/property.h"

#include <cstdlib>
#include <unordered_set>

#include "content_line.h"
#include "zentra/text.h"

namespace vcard {

using zentra::equalsIgnoringAsciiCase;
using zentra::toAsciiLower;
using zentra::trimSpaceTab;

const Parameter* Property::parameter(std::string_view upperName) const {
    for (const Parameter& p : parameters)
        if (p.name == upperName) return &p;
    return nullptr;
}

std::string Property::parameterValue(std::string_view upperName) const {
    const Parameter* p = parameter(upperName);
    return p && !p->values.empty() ? p->values.front() : std::string();
}

bool Property::hasType(std::string_view type) const {
    const Parameter* p = parameter("TYPE");
    if (!p) return false;
    for (const std::string& v : p->values)
        if (equalsIgnoringAsciiCase(trimSpaceTab(v), type)) return true;
    return false;
}

std::vector<std::string> Property::types() const {
    std::vector<std::string> out;
    appendTypes(out);
    return out;
}

void Property::appendTypes(std::vector<std::string>& out, std::string_view except) const {
    const Parameter* p = parameter("TYPE");
    if (!p) return;
    const std::size_t first = out.size();
    out.reserve(first + p->values.size());   // `seen` below points into the entries
    // Real cards list a few types, compared in place without a lowered copy; a hash set keeps
    // hostile lists of thousands linear.
    constexpr std::size_t kLinearSearchLimit = 16;
    std::unordered_set<std::string_view> seen;
    for (const std::string& v : p->values) {
        const std::string_view t = trimSpaceTab(v);
        if (t.empty() || equalsIgnoringAsciiCase(t, except)) continue;
        if (out.size() - first < kLinearSearchLimit) {
            bool duplicate = false;
            for (std::size_t i = first; i < out.size() && !duplicate; ++i) duplicate = equalsIgnoringAsciiCase(out[i], t);
            if (duplicate) continue;
            out.push_back(toAsciiLower(t));
            continue;
        }
        if (seen.empty())
            for (std::size_t i = first; i < out.size(); ++i) seen.insert(out[i]);
        std::string lowered = toAsciiLower(t);
        if (seen.count(lowered) > 0) continue;
        out.push_back(std::move(lowered));
        seen.insert(out.back());
    }
}

int Property::preference() const {
    const Parameter* prefParameter = parameter("PREF");
    if (prefParameter && !prefParameter->values.empty() && !prefParameter->values.front().empty()) {
        const int v = std::atoi(prefParameter->values.front().c_str());
        if (v >= 1 && v <= 100) return v;
        return 1;   // PREF with an odd value still marks a preference
    }
    return hasType("pref") ? 1 : 0;
}

std::string Property::component(std::size_t index, std::string_view listSeparator) const {
    if (index >= components.size()) return std::string();
    std::string out;
    for (const std::string& v : components[index]) {
        if (v.empty()) continue;
        if (!out.empty()) out.append(listSeparator);
        out += v;
    }
    return out;
}

}  // namespace vcard
