// Display name, subject, personal names, organisation and File As.
#include "mapping_context.h"
#include "vcard/card_order.h"

namespace contact::detail {

namespace {

// First code point of a word followed by ".", e.g. "Ørjan" -> "Ø.".
std::string initialOf(std::string_view word) {
    if (word.empty()) return std::string();
    std::size_t length = 1;
    while (length < word.size() && (static_cast<uint8_t>(word[length]) & 0xC0) == 0x80) ++length;
    return std::string(word.substr(0, length)) + ".";
}

std::string initialsOf(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        std::size_t start = 0;
        while (start < name.size()) {
            std::size_t end = name.find_first_of(" -", start);
            if (end == std::string::npos) end = name.size();
            out += initialOf(std::string_view(name).substr(start, end - start));
            start = end + 1;
        }
    }
    return out;
}

std::string displayNameOf(const vcard::Card& card, const vcard::StructuredName* n,
                          const vcard::Organization* org) {
    if (std::string fn = trimmed(card.formattedName()); !fn.empty()) return fn;
    if (n) {
        std::string built = joined({trimmed(n->prefixes), trimmed(n->given), trimmed(n->additional),
                                    trimmed(n->family), trimmed(n->suffixes)}, " ");
        if (!built.empty()) return built;
    }
    if (org && !org->name.empty()) return org->name;
    const auto emails = vcard::byPreference(card.emails());
    if (!emails.empty()) return emails.front().address;
    return std::string();
}

}  // namespace

void mapNames(MappingContext& ctx) {
    const vcard::Card& card = ctx.card;
    const std::optional<vcard::StructuredName> n = card.name();
    const std::optional<vcard::Organization> org = card.organization();

    ctx.displayName = withoutNul(displayNameOf(card, n ? &*n : nullptr, org ? &*org : nullptr));
    if (ctx.displayName.empty())
        ctx.warn(card.firstLine, "", "the card has no name, organisation or e-mail address");
    ctx.set(tag::kDisplayName, ctx.displayName);
    ctx.set(tag::kSubject, ctx.displayName);
    ctx.set(tag::kNormalizedSubject, ctx.displayName);
    ctx.set(tag::kSubjectPrefix, std::string());

    std::string surname, given, middle;
    if (n) {
        surname = trimmed(n->family);
        given = trimmed(n->given);
        middle = trimmed(n->additional);
        ctx.setText(tag::kSurname, surname);
        ctx.setText(tag::kGivenName, given);
        ctx.setText(tag::kMiddleName, middle);
        ctx.setText(tag::kDisplayNamePrefix, trimmed(n->prefixes));
        ctx.setText(tag::kGeneration, trimmed(n->suffixes));
        ctx.setText(tag::kInitials, initialsOf({given, middle, surname}));
    }
    std::vector<std::string> nicknames = card.nicknames();
    // Android keeps nicknames as X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;<name>;...
    for (const vcard::Property* p : card.all("X-ANDROID-CUSTOM"))
        if (p->component(0) == "vnd.android.cursor.item/nickname" && !trimmed(p->component(1)).empty())
            nicknames.push_back(trimmed(p->component(1)));
    for (std::size_t i = 0; i < nicknames.size(); ++i) {
        if (i == 0) ctx.setText(tag::kNickname, trimmed(nicknames[0]));
        else ctx.addDetail("Nickname", nicknames[i]);
    }

    std::string company;
    if (org) {
        company = org->name;
        ctx.setText(tag::kCompanyName, company);
        ctx.setText(tag::kDepartmentName, joined(org->units, ", "));
    }
    ctx.setText(tag::kTitle, trimmed(card.title()));
    ctx.setText(tag::kProfession, trimmed(card.role()));
    // Phonetic names: Apple's and Google's X-PHONETIC-*, else Japanese phones' SOUND;X-IRMC-N.
    std::string yomiFirst = card.firstValue("X-PHONETIC-FIRST-NAME");
    std::string yomiLast = card.firstValue("X-PHONETIC-LAST-NAME");
    for (const vcard::Property* p : card.all("SOUND")) {
        if (!p->parameter("X-IRMC-N") && !p->hasType("x-irmc-n")) continue;
        const std::string_view value = p->value;   // family;given;... as written
        const std::size_t semicolon = value.find(';');
        const std::string family = trimmed(value.substr(0, semicolon));
        std::string given;
        if (semicolon != std::string_view::npos) given = trimmed(value.substr(semicolon + 1, value.find(';', semicolon + 1) - semicolon - 1));
        if (yomiLast.empty()) yomiLast = family;
        if (yomiFirst.empty()) yomiFirst = given;
        break;
    }
    ctx.setNamedText(lid::kYomiFirstName, yomiFirst);
    ctx.setNamedText(lid::kYomiLastName, yomiLast);
    ctx.setNamedText(lid::kYomiCompanyName, card.firstValue("X-PHONETIC-ORG"));

    const std::string kind = card.kind();
    if (kind == "group")
        ctx.warn(0, "KIND", "a group card is imported as a plain contact, without its members");

    // File As: the user's own choice, else organisation, else "Surname, Given Middle", else the name.
    std::string fileUnder;
    int32_t fileUnderId = file_under::kEmpty;
    const std::string userFileAs = card.firstValue("X-EVOLUTION-FILE-AS");
    const bool onlyCompany = !company.empty() && surname.empty() && given.empty() &&
                             (trimmed(card.formattedName()).empty() || ctx.displayName == company);
    if (!userFileAs.empty()) {
        fileUnder = userFileAs;
        fileUnderId = file_under::kUserProvided;
    } else if (!company.empty() && (kind == "org" || onlyCompany)) {
        fileUnder = company;
        fileUnderId = file_under::kCompany;
    } else if (!surname.empty()) {
        const std::string givenMiddle = joined({given, middle}, " ");
        fileUnder = givenMiddle.empty() ? surname : surname + ", " + givenMiddle;
        fileUnderId = file_under::kSurnameCommaGivenMiddle;
    } else if (!ctx.displayName.empty()) {
        fileUnder = ctx.displayName;
        fileUnderId = file_under::kDisplayName;
    }
    ctx.setNamed(lid::kFileUnder, fileUnder);
    ctx.setNamed(lid::kFileUnderId, fileUnderId);
}

}  // namespace contact::detail
