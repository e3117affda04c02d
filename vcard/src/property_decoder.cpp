#include "property_decoder.h"

#include "content_line.h"
#include "transfer_encoding.h"
#include "utf8.h"

namespace vcard {

namespace {

bool isStructuredName(const std::string& n) {
    return n == "N" || n == "ADR" || n == "ORG" || n == "GENDER" || n == "CLIENTPIDMAP" ||
           n == "X-ANDROID-CUSTOM" || n == "REQUEST-STATUS";
}

bool hasListComponents(const std::string& n) { return n == "N" || n == "ADR"; }

bool isListName(const std::string& n) { return n == "CATEGORIES" || n == "NICKNAME"; }

bool isMediaName(const std::string& n) {
    return n == "PHOTO" || n == "LOGO" || n == "SOUND" || n == "KEY";
}

void warn(std::vector<Warning>& warnings, const Property& p, std::string message) {
    warnings.push_back(Warning{p.line, p.name, std::move(message)});
}

std::string joinComponents(const std::vector<std::vector<std::string>>& components) {
    std::string out;
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i) out.push_back(';');
        for (std::size_t k = 0; k < components[i].size(); ++k) {
            if (k) out.push_back(',');
            out += components[i][k];
        }
    }
    return out;
}

}  // namespace

void decodeProperty(Property& p, const DecodeContext& ctx, std::vector<Warning>& warnings) {
    if (!ctx.v21) {
        for (Parameter& param : p.parameters)
            for (std::string& v : param.values)
                if (v.find('^') != std::string::npos) v = decodeCarets(v);
    }
    p.value.clear();
    p.bytes.clear();
    p.components.clear();
    p.isBinary = false;

    const std::string encoding = toUpper(p.parameterValue("ENCODING"));
    std::string text;
    bool transferDecoded = false;
    if (encoding == "QUOTED-PRINTABLE") {
        bool malformed = false;
        text = decodeQuotedPrintable(p.rawValue, malformed);
        if (malformed) warn(warnings, p, "malformed quoted-printable sequence kept as written");
        transferDecoded = true;
    } else if ((encoding == "B" || encoding == "BASE64") && !startsWithNoCase(trimmed(p.rawValue), "data:")) {
        if (decodeBase64(p.rawValue, p.bytes)) {
            p.isBinary = true;
        } else {
            p.bytes.clear();
            warn(warnings, p, "invalid base64 data; value dropped");
        }
        return;
    } else if (!encoding.empty() && encoding != "8BIT" && encoding != "7BIT" && encoding != "B" &&
               encoding != "BASE64") {
        warn(warnings, p, "unknown ENCODING " + encoding + "; value read as written");
    }

    // data: URIs, also where a writer added ENCODING=b in front of one.
    if (!transferDecoded && isMediaName(p.name) && startsWithNoCase(trimmed(p.rawValue), "data:")) {
        std::string mediaType;
        bool valid = true;
        if (decodeDataUri(p.rawValue, mediaType, p.bytes, valid)) {
            if (valid) {
                p.isBinary = true;
            } else {
                warn(warnings, p, "invalid base64 data in data: URI; value dropped");
            }
            return;
        }
    }

    const std::string_view source = transferDecoded ? std::string_view(text) : std::string_view(p.rawValue);
    std::string decoded;
    if (ctx.unicodeFile && !transferDecoded) {
        decoded.assign(source);
    } else {
        std::string problem;
        decoded = ctx.charsets->decode(source, p.parameterValue("CHARSET"), problem);
        if (!problem.empty()) warn(warnings, p, problem);
    }
    normalizeNewlines(decoded);

    if (isStructuredName(p.name) || (p.name == "GEO" && decoded.find(';') != std::string::npos &&
                                     !startsWithNoCase(decoded, "geo:"))) {
        p.components = splitStructured(decoded, ctx.rules, hasListComponents(p.name) && !ctx.v21);
        p.value = joinComponents(p.components);
    } else if (isListName(p.name)) {
        p.components.push_back(splitList(decoded, ctx.rules, ctx.v21));
        p.value = joinComponents(p.components);
    } else {
        p.value = unescapeText(decoded, ctx.rules);
    }
}

}  // namespace vcard
