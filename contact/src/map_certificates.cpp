// KEY: [MS-OXVCARD] 2.1.3.8.2 imports a KEY that is an X.509 certificate into
// PidTagUserX509Certificate and no other kind of key. Outlook encrypts mail to the contact with
// it. [MS-OXOCNTC] defines no S/MIME flags for a contact, so the certificates are all there is.
#include "mapping_context.h"

namespace contact::detail {

namespace {

// Whether the bytes are one DER SEQUENCE filling them exactly, the outer shape of every X.509
// certificate ([RFC 5280] 4.1); a PGP key or text never has it.
bool isDerSequence(std::string_view bytes) {
    if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != 0x30) return false;
    const auto first = static_cast<uint8_t>(bytes[1]);
    std::size_t length = 0, header = 2;
    if (first < 0x80) {
        length = first;
    } else {
        const std::size_t count = first & 0x7F;
        if (count == 0 || count > 4 || bytes.size() < 2 + count) return false;
        for (std::size_t i = 0; i < count; ++i) length = (length << 8) | static_cast<uint8_t>(bytes[2 + i]);
        header += count;
    }
    return header + length == bytes.size();
}

bool saysPgp(const vcard::Property& p) {
    const std::string mediaType = p.parameterValue("MEDIATYPE");
    return p.hasType("pgp") || p.hasType("application/pgp-keys") || equalsIgnoringAsciiCase(mediaType, "application/pgp-keys") ||
           startsWithIgnoringAsciiCase(p.rawValue, "data:application/pgp-keys");
}

}  // namespace

void mapCertificates(MappingContext& ctx) {
    std::vector<std::vector<uint8_t>> certificates;
    for (const vcard::Property* key : ctx.card.all("KEY")) {
        if (key->isBinary && !saysPgp(*key) && isDerSequence(key->bytes)) {
            certificates.emplace_back(key->bytes.begin(), key->bytes.end());
            continue;
        }
        ctx.warn(key->line, "KEY",
                 saysPgp(*key) ? "a PGP key is not imported: Outlook keeps only X.509 certificates"
                               : "the key is not an X.509 certificate and is not imported");
    }
    if (!certificates.empty()) ctx.set(mapi::PidTagUserX509Certificate, mapi::multiBinaryValue(certificates));
}

}  // namespace contact::detail
