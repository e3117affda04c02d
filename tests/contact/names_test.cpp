// Display name, subject, names, organisation and File As.
#include <filesystem>
#include <fstream>

#include "mapping_helpers.h"

namespace contact::testing {
namespace {

TEST(MessageProperties, ContactClassAndSubjectsWithFlagsAndTimesLeftToTheStore) {
    const ContactItem item = mapLines("FN:Ann Smith\nN:Smith;Ann;;;\n");
    EXPECT_EQ(tagText(item, mapi::PidTagMessageClass), "IPM.Contact");
    EXPECT_EQ(tagText(item, mapi::PidTagDisplayName), "Ann Smith");
    EXPECT_EQ(tagText(item, mapi::PidTagSubject), "Ann Smith");
    EXPECT_EQ(tagText(item, mapi::PidTagNormalizedSubject), "Ann Smith");
    EXPECT_EQ(tagText(item, mapi::PidTagSubjectPrefix), "");
    // The store sets these as it writes the message (messaging_message_test checks them there).
    EXPECT_FALSE(item.properties.contains(mapi::PidTagMessageFlags));
    EXPECT_FALSE(item.properties.contains(mapi::PidTagCreationTime));
    EXPECT_FALSE(item.properties.contains(mapi::PidTagLastModificationTime));
    EXPECT_FALSE(item.properties.contains(mapi::PidTagHasAttachments));
    // Contacts carry their addresses in the e-mail slots only; no comment either.
    EXPECT_FALSE(item.properties.contains(PropertyKey::tagged(0x3002)));
    EXPECT_FALSE(item.properties.contains(PropertyKey::tagged(0x3003)));
    EXPECT_FALSE(item.properties.contains(PropertyKey::tagged(0x3004)));
}

TEST(DisplayName, FallsBackFromFnToNameToOrganisationToEmail) {
    EXPECT_EQ(tagText(mapLines("N:Public;John;Quinlan;Dr.;Jr.\n"), mapi::PidTagDisplayName), "Dr. John Quinlan Public Jr.");
    EXPECT_EQ(tagText(mapLines("ORG:Acme Ltd;Sales\n"), mapi::PidTagDisplayName), "Acme Ltd");
    EXPECT_EQ(tagText(mapLines("EMAIL:x@example.com\nEMAIL;TYPE=pref:p@example.com\n"), mapi::PidTagDisplayName),
              "p@example.com");
    const ContactItem empty = mapLines("NOTE:nothing else\n");
    EXPECT_EQ(tagText(empty, mapi::PidTagDisplayName), "");
    EXPECT_TRUE(hasWarningContaining(empty, "no name"));
}

TEST(Names, StructuredPartsNicknameInitialsAndOrganisation) {
    const ContactItem item = mapLines(
        "FN:Dr. John Quinlan Public Jr.\nN:Public;John;Quinlan;Dr.;Jr.\nNICKNAME:Jack,Johnny\n"
        "ORG:Acme Ltd;Sales;EMEA\nTITLE:Manager\nROLE:Engineer\nX-PHONETIC-LAST-NAME:Pablik\n");
    EXPECT_EQ(tagText(item, mapi::PidTagSurname), "Public");
    EXPECT_EQ(tagText(item, mapi::PidTagGivenName), "John");
    EXPECT_EQ(tagText(item, mapi::PidTagMiddleName), "Quinlan");
    EXPECT_EQ(tagText(item, mapi::PidTagDisplayNamePrefix), "Dr.");
    EXPECT_EQ(tagText(item, mapi::PidTagGeneration), "Jr.");
    EXPECT_EQ(tagText(item, mapi::PidTagInitials), "J.Q.P.");
    EXPECT_EQ(tagText(item, mapi::PidTagNickname), "Jack");
    EXPECT_NE(body(item).find("Nickname: Johnny"), std::string::npos);
    EXPECT_EQ(tagText(item, mapi::PidTagCompanyName), "Acme Ltd");
    EXPECT_EQ(tagText(item, mapi::PidTagDepartmentName), "Sales, EMEA");
    EXPECT_EQ(tagText(item, mapi::PidTagTitle), "Manager");
    EXPECT_EQ(tagText(item, mapi::PidTagProfession), "Engineer");
    EXPECT_EQ(namedText(item, mapi::PidLidYomiLastName), "Pablik");
}

TEST(FileAs, SurnameCommaGivenMiddleForPeople) {
    const ContactItem item = mapLines("FN:John Q. Public\nN:Public;John;Quinlan;;\nORG:Acme\n");
    EXPECT_EQ(namedText(item, mapi::PidLidFileUnder), "Public, John Quinlan");
    EXPECT_EQ(namedValue<int32_t>(item, mapi::PidLidFileUnderId), 0x8017);
    const ContactItem surnameOnly = mapLines("FN:Mr Public\nN:Public;;;Mr;\n");
    EXPECT_EQ(namedText(surnameOnly, mapi::PidLidFileUnder), "Public");
    EXPECT_EQ(namedValue<int32_t>(surnameOnly, mapi::PidLidFileUnderId), 0x8017);
}

TEST(FileAs, CompanyForOrganisations) {
    const ContactItem onlyOrg = mapLines("ORG:Acme Ltd\n");
    EXPECT_EQ(namedText(onlyOrg, mapi::PidLidFileUnder), "Acme Ltd");
    EXPECT_EQ(namedValue<int32_t>(onlyOrg, mapi::PidLidFileUnderId), 0x3A16);
    const ContactItem kindOrg = mapText(card("KIND:org\nFN:Acme Front Desk\nN:Desk;Front;;;\nORG:Acme Ltd\n", "4.0"));
    EXPECT_EQ(namedText(kindOrg, mapi::PidLidFileUnder), "Acme Ltd");
    EXPECT_EQ(namedValue<int32_t>(kindOrg, mapi::PidLidFileUnderId), 0x3A16);
    const ContactItem apple = mapLines("FN:Acme Ltd\nN:;;;;\nORG:Acme Ltd;\nX-ABShowAs:COMPANY\n");
    EXPECT_EQ(namedValue<int32_t>(apple, mapi::PidLidFileUnderId), 0x3A16);
}

TEST(FileAs, DisplayNameOrTheUsersOwnChoiceOtherwise) {
    const ContactItem given = mapLines("FN:Madonna\nN:;Madonna;;;\nORG:Label\n");
    EXPECT_EQ(namedText(given, mapi::PidLidFileUnder), "Madonna");
    EXPECT_EQ(namedValue<int32_t>(given, mapi::PidLidFileUnderId), 0x3001);
    const ContactItem evolution = mapLines("FN:John Doe\nN:Doe;John;;;\nX-EVOLUTION-FILE-AS:Doe\\, Johnny\n");
    EXPECT_EQ(namedText(evolution, mapi::PidLidFileUnder), "Doe, Johnny");
    EXPECT_EQ(namedValue<int32_t>(evolution, mapi::PidLidFileUnderId), static_cast<int32_t>(0xFFFFFFFF));
    const ContactItem nothing = mapLines("NOTE:x\n");
    EXPECT_EQ(namedValue<int32_t>(nothing, mapi::PidLidFileUnderId), 0);
}

TEST(Names, NamedPropertiesUseTheAddressSet) {
    const ContactItem item = mapLines("FN:Ann\n");
    const Property* fileUnder = item.properties.find(mapi::PidLidFileUnder);
    ASSERT_NE(fileUnder, nullptr);
    EXPECT_EQ(fileUnder->key.kind(), PropertyKey::Kind::NamedId);
    EXPECT_EQ(mapi::guidText(fileUnder->key.propertySet()), "{00062004-0000-0000-C000-000000000046}");
    EXPECT_EQ(fileUnder->type(), mapi::kPtypString);
}

}  // namespace
}  // namespace contact::testing

namespace contact::testing {
namespace {

TEST(Names, AndroidNicknameAndJapanesePhoneticName) {
    const ContactItem android = mapText(card(
        "N:Droid;Andy\nX-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Andi;1;;;;;;;;;;;;;\n", "2.1"));
    EXPECT_EQ(tagText(android, mapi::PidTagNickname), "Andi");
    const ContactItem japanese = mapText(card("N:Ando;Roid\nSOUND;X-IRMC-N:Andou;Roido;;;\n", "2.1"));
    EXPECT_EQ(namedText(japanese, mapi::PidLidYomiLastName), "Andou");
    EXPECT_EQ(namedText(japanese, mapi::PidLidYomiFirstName), "Roido");
}

TEST(Names, NulCharactersNeverReachTheItem) {
    const ContactItem item = mapText(card("FN;ENCODING=QUOTED-PRINTABLE:Ann=00Lee\nEMAIL;ENCODING=QUOTED-PRINTABLE:ann=00@example.com\n", "2.1"));
    for (const Property& p : item.properties)
        if (const std::optional<std::string> s = mapi::stringOf(p.value)) {
            EXPECT_EQ(s->find('\0'), std::string::npos) << p.key.describe();
        }
    // Cut at the NUL with a warning, never joined into another plausible name or address.
    EXPECT_EQ(namedText(item, mapi::PidLidEmail1EmailAddress), "ann");
    EXPECT_EQ(tagText(item, mapi::PidTagDisplayName), "Ann");
    EXPECT_TRUE(hasWarningContaining(item, "NUL"));
}

}  // namespace
}  // namespace contact::testing

namespace contact::testing {
namespace {

// A card that names nobody still gets a display name, subject and File As, from the first of
// nickname, e-mail, phone, IM address, web page and file name it has: Outlook lists contacts by
// display name and File As ([MS-OXOCNTC] PidLidFileUnder), and a blank one is a blank row.
TEST(DisplayName, DerivedForCardsWithoutNameInOrder) {
    struct Case {
        const char* lines;
        const char* name;
        const char* from;   // the warning's words, "" when no warning is due
    };
    const Case cases[] = {
        {"NICKNAME:Bobby\nEMAIL:b@example.com\nTEL:+1 555 0100\n", "Bobby", "from the nickname"},
        {"EMAIL:b@example.com\nTEL:+1 555 0100\n", "b@example.com", ""},
        {"TEL:+1 555 0100\nTEL;TYPE=pref:+1 555 0199\nIMPP:xmpp:bob@example.org\n", "+1 555 0199", "from the phone number"},
        {"URL:http://example.org/bob\nX-JABBER:bob@example.org\n", "bob@example.org", "from the IM address"},
        {"URL:http://example.org/bob\nNOTE:x\n", "http://example.org/bob", "from the web page"},
        {"NICKNAME: \nNOTE:x\n", "contacts-2024", "from the file name"},
    };
    for (const Case& c : cases) {
        MapOptions options;
        options.sourceName = "contacts-2024";
        const ContactItem item = mapCard(vcard::parseBuffer(card(c.lines)).at(0), options);
        for (const auto& tag : {mapi::PidTagDisplayName, mapi::PidTagSubject, mapi::PidTagNormalizedSubject,
                                mapi::PidTagConversationTopic})
            EXPECT_EQ(tagText(item, tag), c.name) << c.lines;
        EXPECT_EQ(namedText(item, mapi::PidLidFileUnder), c.name) << c.lines;
        EXPECT_EQ(namedValue<int32_t>(item, mapi::PidLidFileUnderId), 0x3001) << c.lines;   // the display name
        if (*c.from) EXPECT_TRUE(hasWarningContaining(item, c.from)) << c.lines;
        else EXPECT_FALSE(hasWarningContaining(item, "has no name")) << c.lines;
    }
}

TEST(DisplayName, FileNameComesFromTheImportedFile) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "zentra-no-name-card.vcf";
    {
        std::ofstream out(path, std::ios::binary);
        out << card("NOTE:only a note\n");
    }
    std::vector<ContactItem> items;
    importFile(path, fixedOptions(), [&](ContactItem&& item) { items.push_back(std::move(item)); });
    std::filesystem::remove(path);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(tagText(items[0], mapi::PidTagDisplayName), "zentra-no-name-card");
    EXPECT_TRUE(hasWarningContaining(items[0], "from the file name"));
}

}  // namespace
}  // namespace contact::testing
