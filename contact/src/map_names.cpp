// Display name, subject, personal names, organisation and File As.
#include "mapping_context.h"
#include "vcard/card_order.h"

namespace contact::detail {

namespace {

// The first code point of each word of the names followed by ".", e.g. "Ørjan" -> "Ø.";
// words are separated by spaces and hyphens.
std::string initialsOf(std::initializer_list<std::string_view> names) {
    std::string out;
    for (std::string_view name : names) {
        std::size_t start = 0;
        while (start < name.size()) {
            std::size_t end = start;
            while (end < name.size() && name[end] != ' ' && name[end] != '-') ++end;
            if (end > start) {
                std::size_t length = 1;
                while (start + length < end && (static_cast<uint8_t>(name[start + length]) & 0xC0) == 0x80) ++length;
                out += name.substr(start, length);
                out += '.';
            }
            start = end + 1;
        }
    }
    return out;
}

// The display name and, when the card names nobody, what it was derived from ("" for FN, N and
// ORG, which name the contact; e-mail too, as Outlook names such a contact by its address).
struct DerivedName {
    std::string text;
    const char* from = "";
};

// FN, N, ORG, NICKNAME, the first e-mail, phone, IM address or web page, in that order, and
// finally the file's base name: a contact without a display name is a blank row in Outlook's
// lists, and some readers skip it altogether.
DerivedName displayNameOf(const vcard::Card& card, std::string_view formattedName, const vcard::StructuredName* n,
                          const vcard::Organization* org, const std::vector<std::string>& nicknames,
                          const MapOptions& options) {
    if (!formattedName.empty()) return {std::string(formattedName)};
    if (n) {
        std::string built = joinedViews({trimWhitespace(n->prefixes), trimWhitespace(n->given), trimWhitespace(n->additional),
                                         trimWhitespace(n->family), trimWhitespace(n->suffixes)}, " ");
        if (!built.empty()) return {std::move(built)};
    }
    if (org && !org->name.empty()) return {org->name};
    for (const std::string& nickname : nicknames)
        if (!trimWhitespace(nickname).empty()) return {std::string(trimWhitespace(nickname)), "the nickname"};
    if (const auto emails = vcard::byPreference(card.emails()); !emails.empty()) return {emails.front().address};
    if (const auto phones = vcard::byPreference(card.phones()); !phones.empty())
        return {phones.front().number, "the phone number"};
    for (const vcard::InstantMessaging& im : vcard::byPreference(card.instantMessaging()))
        if (!trimWhitespace(im.handle).empty()) return {std::string(trimWhitespace(im.handle)), "the IM address"};
    for (const vcard::Url& url : vcard::byPreference(card.urls()))
        if (!trimWhitespace(url.url).empty()) return {std::string(trimWhitespace(url.url)), "the web page"};
    if (!options.sourceName.empty()) return {options.sourceName, "the file name"};
    return {};
}

}  // namespace

void mapNames(MappingContext& ctx) {
    const vcard::Card& card = ctx.card;
    const std::optional<vcard::StructuredName> n = card.name();
    const std::optional<vcard::Organization> org = card.organization();

    std::vector<std::string> nicknames = card.nicknames();
    // Android keeps nicknames as X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;<name>;...
    for (const vcard::Property* p : card.all("X-ANDROID-CUSTOM"))
        if (p->component(0) == "vnd.android.cursor.item/nickname" && !trimWhitespace(p->component(1)).empty())
            nicknames.emplace_back(trimWhitespace(p->component(1)));

    const std::string formattedName = card.formattedName();
    const std::string_view fn = trimWhitespace(formattedName);
    DerivedName derived = displayNameOf(card, fn, n ? &*n : nullptr, org ? &*org : nullptr, nicknames, ctx.options);
    ctx.displayName = std::move(derived.text);
    removeNul(ctx.displayName);
    if (ctx.displayName.empty())
        ctx.warn(card.firstLine, "", "the card has no name, organisation or e-mail address");
    else if (*derived.from)
        ctx.warn(card.firstLine, "", std::string("the card has no name: \"") + ctx.displayName +
                                         "\" from " + derived.from + " is its display name and File As");
    // Four properties hold the display name: encoded once, copied to the others.
    const mapi::Value displayName = textValue(ctx.displayName);
    ctx.set(mapi::PidTagDisplayName, mapi::Value(displayName));
    ctx.set(mapi::PidTagSubject, mapi::Value(displayName));
    ctx.set(mapi::PidTagNormalizedSubject, mapi::Value(displayName));
    ctx.setString(mapi::PidTagSubjectPrefix, "");
    // The conversation topic too, as Outlook fills it for a new contact.
    if (!ctx.displayName.empty()) ctx.set(mapi::PidTagConversationTopic, mapi::Value(displayName));

    std::string_view surname, given, middle;   // views of `n`
    if (n) {
        surname = trimWhitespace(n->family);
        given = trimWhitespace(n->given);
        middle = trimWhitespace(n->additional);
        ctx.setText(mapi::PidTagSurname, surname);
        ctx.setText(mapi::PidTagGivenName, given);
        ctx.setText(mapi::PidTagMiddleName, middle);
        ctx.setText(mapi::PidTagDisplayNamePrefix, trimWhitespace(n->prefixes));
        ctx.setText(mapi::PidTagGeneration, trimWhitespace(n->suffixes));
        ctx.setText(mapi::PidTagInitials, initialsOf({given, middle, surname}));
    }
    for (std::size_t i = 0; i < nicknames.size(); ++i) {
        if (i == 0) ctx.setText(mapi::PidTagNickname, trimWhitespace(nicknames[0]));
        else ctx.addDetail("Nickname", nicknames[i]);
    }

    std::string_view company;   // a view of `org`
    if (org) {
        company = org->name;
        ctx.setText(mapi::PidTagCompanyName, company);
        ctx.setText(mapi::PidTagDepartmentName, joined(org->units, ", "));
    }
    ctx.setText(mapi::PidTagTitle, trimWhitespace(card.title()));
    ctx.setText(mapi::PidTagProfession, trimWhitespace(card.role()));
    // Phonetic names: Apple's and Google's X-PHONETIC-*, else Japanese phones' SOUND;X-IRMC-N.
    std::string yomiFirst = card.firstValue("X-PHONETIC-FIRST-NAME");
    std::string yomiLast = card.firstValue("X-PHONETIC-LAST-NAME");
    for (const vcard::Property* p : card.all("SOUND")) {
        if (!p->parameter("X-IRMC-N") && !p->hasType("x-irmc-n")) continue;
        const std::string_view value = p->value;   // family;given;... as written
        const std::size_t semicolon = value.find(';');
        const std::string family(trimWhitespace(value.substr(0, semicolon)));
        std::string given;
        if (semicolon != std::string_view::npos) given = trimWhitespace(value.substr(semicolon + 1, value.find(';', semicolon + 1) - semicolon - 1));
        if (yomiLast.empty()) yomiLast = family;
        if (yomiFirst.empty()) yomiFirst = given;
        break;
    }
    ctx.setText(mapi::PidLidYomiFirstName, yomiFirst);
    ctx.setText(mapi::PidLidYomiLastName, yomiLast);
    ctx.setText(mapi::PidLidYomiCompanyName, card.firstValue("X-PHONETIC-ORG"));

    const std::string kind = card.kind();

    // File As: the user's own choice, else organisation, else "Surname, Given Middle", else the name.
    std::string fileUnder;
    int32_t fileUnderId = file_under::kEmpty;
    std::string userFileAs = card.firstValue("X-EVOLUTION-FILE-AS");
    const bool onlyCompany = !company.empty() && surname.empty() && given.empty() &&
                             (fn.empty() || ctx.displayName == company);
    if (!userFileAs.empty()) {
        fileUnder = std::move(userFileAs);
        fileUnderId = file_under::kUserProvided;
    } else if (!company.empty() && (kind == "org" || onlyCompany)) {
        fileUnder = company;
        fileUnderId = file_under::kCompany;
    } else if (!surname.empty()) {
        fileUnder.reserve(surname.size() + given.size() + middle.size() + 3);
        fileUnder += surname;
        if (!given.empty() || !middle.empty()) fileUnder += ", ";
        fileUnder += given;
        if (!given.empty() && !middle.empty()) fileUnder += ' ';
        fileUnder += middle;
        fileUnderId = file_under::kSurnameCommaGivenMiddle;
    } else if (!ctx.displayName.empty()) {
        fileUnder = ctx.displayName;
        fileUnderId = file_under::kDisplayName;
    }
    ctx.setString(mapi::PidLidFileUnder, fileUnder);
    ctx.set(mapi::PidLidFileUnderId, mapi::int32Value(fileUnderId));
}

}  // namespace contact::detail
