#include "findings.h"

#include <cstdio>

namespace pstcheck {

size_t Report::errorCount() const {
    size_t n = 0;
    for (const auto& f : findings) n += f.severity == Severity::Error;
    return n;
}

size_t Report::warningCount() const { return findings.size() - errorCount(); }

bool Report::has(const std::string& code, bool includeWarnings) const {
    for (const auto& f : findings)
        if (f.code == code && (includeWarnings || f.severity == Severity::Error)) return true;
    return false;
}

std::string hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

std::string Report::toText(bool includeWarnings) const {
    std::string out;
    for (const auto& f : findings) {
        if (f.severity == Severity::Warning && !includeWarnings) continue;
        out += f.severity == Severity::Error ? "error: " : "warning: ";
        out += f.code;
        if (f.offset) out += " @" + hex(*f.offset);
        out += ": " + f.message + "\n";
    }
    return out;
}

namespace {
std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
}  // namespace

std::string Report::toJson() const {
    std::string out = "{\"clean\":";
    out += clean() ? "true" : "false";
    out += ",\"errors\":" + std::to_string(errorCount());
    out += ",\"warnings\":" + std::to_string(warningCount());
    out += ",\"findings\":[";
    for (size_t i = 0; i < findings.size(); ++i) {
        const auto& f = findings[i];
        if (i) out += ",";
        out += "{\"severity\":";
        out += f.severity == Severity::Error ? "\"error\"" : "\"warning\"";
        out += ",\"code\":" + jsonString(f.code);
        if (f.offset) out += ",\"offset\":" + std::to_string(*f.offset);
        out += ",\"message\":" + jsonString(f.message) + "}";
    }
    return out + "]}\n";
}

void Sink::add(Severity s, const std::string& code, std::optional<uint64_t> offset,
               const std::string& message) {
    // A damaged structure repeats the same complaint for every entry; keep the report readable.
    auto& n = perCode_[code];
    if (++n > kMaxPerCode) {
        if (n == kMaxPerCode + 1)
            report_.findings.push_back({s, code, std::nullopt, "further findings of this kind omitted"});
        return;
    }
    report_.findings.push_back({s, code, offset, message});
}

}  // namespace pstcheck
