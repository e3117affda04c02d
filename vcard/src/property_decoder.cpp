#include "property_decoder.h"

#include "content_line.h"
#include "transfer_encoding.h"
#include "utf8.h"
#include "zentra/text.h"

namespace vcard {

using zentra::equalsIgnoringAsciiCase;
using zentra::startsWithIgnoringAsciiCase;
using zentra::toAsciiUpper;
using zentra::trimSpaceTab;

using namespace std::string_view_literals;

namespace {

bool isStructuredName(const std::string& n) {
    return n == "N"sv || n == "ADR"sv || n == "ORG"sv || n == "GENDER"sv || n == "CLIENTPIDMAP"sv ||
           n == "X-ANDROID-CUSTOM"sv || n == "REQUEST-STATUS"sv;
}

bool hasListComponents(const std::string& n) { return n == "N"sv || n == "ADR"sv; }

bool isListName(const std::string& n) { return n == "CATEGORIES"sv || n == "NICKNAME"sv; }

bool isMediaName(const std::string& n) {
    return n == "PHOTO"sv || n == "LOGO"sv || n == "SOUND"sv || n == "KEY"sv;
}

void warn(std::vector<Warning>& warnings, const Property& p, std::string message) {
    warnings.push_back(Warning{p.line, p.name, std::move(message)});
}

// Text ends at a NUL: readers of the store treat one as the end of a string, and dropping it
// would join two pieces into a different, plausible value ("ann\0a@example.org").
bool cutAtNul(std::string& text) {
    const std::size_t nul = text.find('\0');
    if (nul == std::string::npos) return false;
    text.resize(nul);
    return true;
}

void joinComponents(const std::vector<std::vector<std::string>>& components, std::string& out) {
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i) out.push_back(';');
        for (std::size_t k = 0; k < components[i].size(); ++k) {
            if (k) out.push_back(',');
            out += components[i][k];
        }
    }
}

}  // namespace

void decodeProperty(Property& p, const DecodeContext& ctx, std::vector<Warning>& warnings) {
    // CHARSET speaks of the value only: 8-bit parameter values (a 4.0 LABEL, a custom TYPE)
    // follow the default rule, which reports nothing but the legacy charset's use. The pass also
    // finds the two parameters the value's decoding depends on.
    const Parameter* encodingParameter = nullptr;
    const Parameter* charset = nullptr;
    for (Parameter& param : p.parameters) {
        if (!encodingParameter && param.name == "ENCODING"sv) encodingParameter = &param;
        else if (!charset && param.name == "CHARSET"sv) charset = &param;
        for (std::string& v : param.values) {
            if (!ctx.v21 && v.find('^') != std::string::npos) v = decodeCarets(v);
            if (!ctx.unicodeFile && !isAscii(v)) {
                std::string decoded, none;
                ctx.charsets->decode(v, {}, decoded, none);
                v = std::move(decoded);
            }
        }
    }
    p.value.clear();
    p.bytes.clear();
    p.isBinary = false;
    // Components are cleared where a value turns out to have none; structured values fill the
    // lists already there again (a recycled property's storage).

    const std::string_view encoding = encodingParameter && !encodingParameter->values.empty()
                                          ? std::string_view(encodingParameter->values.front())
                                          : std::string_view();
    const bool base64 = equalsIgnoringAsciiCase(encoding, "B") || equalsIgnoringAsciiCase(encoding, "BASE64");
    std::string text;
    bool transferDecoded = false;
    if (equalsIgnoringAsciiCase(encoding, "QUOTED-PRINTABLE")) {
        bool malformed = false;
        text = decodeQuotedPrintable(p.rawValue, malformed);
        if (malformed) warn(warnings, p, "malformed quoted-printable sequence kept as written");
        transferDecoded = true;
    } else if (base64 && !startsWithIgnoringAsciiCase(trimSpaceTab(p.rawValue), "data:")) {
        p.components.clear();
        if (decodeBase64(p.rawValue, p.bytes)) {
            p.isBinary = true;
        } else {
            p.bytes.clear();
            warn(warnings, p, "invalid base64 data; value dropped");
        }
        return;
    } else if (!encoding.empty() && !base64 && !equalsIgnoringAsciiCase(encoding, "8BIT") && !equalsIgnoringAsciiCase(encoding, "7BIT")) {
        warn(warnings, p, "unknown ENCODING " + toAsciiUpper(encoding) + "; value read as written");
    }

    // data: URIs, also where a writer added ENCODING=b in front of one.
    if (!transferDecoded && isMediaName(p.name) && startsWithIgnoringAsciiCase(trimSpaceTab(p.rawValue), "data:")) {
        std::string mediaType;
        bool valid = true;
        if (decodeDataUri(p.rawValue, mediaType, p.bytes, valid)) {
            p.components.clear();
            if (valid) {
                p.isBinary = true;
            } else {
                warn(warnings, p, "invalid base64 data in data: URI; value dropped");
            }
            return;
        }
    }

    // The text goes straight into the value; structured values are split from it below.
    const std::string_view source = transferDecoded ? std::string_view(text) : std::string_view(p.rawValue);
    std::string& decoded = p.value;
    if (ctx.unicodeFile && !transferDecoded) {
        decoded.assign(source);
    } else {
        std::string problem;
        ctx.charsets->decode(
            source, charset && !charset->values.empty() ? std::string_view(charset->values.front()) : std::string_view(),
            decoded, problem);
        if (!problem.empty()) warn(warnings, p, problem);
    }
    normalizeNewlines(decoded);

    bool cut = false;
    const bool structured = isStructuredName(p.name) || (p.name == "GEO"sv && decoded.find(';') != std::string::npos &&
                                                         !startsWithIgnoringAsciiCase(decoded, "geo:"));
    if (structured || isListName(p.name)) {
        // Split from a copy in reused working space, so the value keeps its storage for the
        // joined components (never longer than the decoded text).
        std::string local;
        std::string& whole = ctx.scratch ? *ctx.scratch : local;
        whole.assign(decoded);
        if (structured) {
            splitStructured(whole, ctx.rules, hasListComponents(p.name) && !ctx.v21, p.components);
        } else {
            p.components.resize(1);
            splitList(whole, ctx.rules, ctx.v21, p.components[0]);
        }
        // Only the component holding the NUL is cut: the rest of an address stays.
        if (whole.find('\0') != std::string::npos) {
            for (std::vector<std::string>& component : p.components)
                for (std::string& item : component) cut = cutAtNul(item) || cut;
        }
        p.value.clear();
        joinComponents(p.components, p.value);
    } else {
        p.components.clear();
        if (ctx.rules == EscapeRules::V30) unescapeTextInPlace(p.value);
        cut = cutAtNul(p.value);
    }
    if (cut) warn(warnings, p, "value holds a NUL character; the text after it is dropped");
}

}  // namespace vcard
