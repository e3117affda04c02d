// Display name, subject, names, organisation and File As.
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

TEST(MessageProperties, ContactClassSubjectsFlagsAndImportTime) {
    const ContactItem item = mapLines("FN:Ann Smith\nN:Smith;Ann;;;\n");
    EXPECT_EQ(tagText(item, tag::kMessageClass), "IPM.Contact");
    EXPECT_EQ(tagText(item, tag::kDisplayName), "Ann Smith");
    EXPECT_EQ(tagText(item, tag::kSubject), "Ann Smith");
    EXPECT_EQ(tagText(item, tag::kNormalizedSubject), "Ann Smith");
    EXPECT_EQ(tagText(item, tag::kSubjectPrefix), "");
    EXPECT_EQ(tagValue<int32_t>(item, tag::kMessageFlags), 0x01);
    EXPECT_EQ(tagValue<FileTime>(item, tag::kCreationTime), kImportTime);
    EXPECT_EQ(tagValue<FileTime>(item, tag::kLastModificationTime), kImportTime);
    EXPECT_FALSE(item.properties.contains(tagKey(tag::kHasAttachments)));
    // Contacts carry their addresses in the e-mail slots only; no comment either.
    EXPECT_FALSE(item.properties.contains(tagKey(0x3002)));
    EXPECT_FALSE(item.properties.contains(tagKey(0x3003)));
    EXPECT_FALSE(item.properties.contains(tagKey(0x3004)));
}

TEST(DisplayName, FallsBackFromFnToNameToOrganisationToEmail) {
    EXPECT_EQ(tagText(mapLines("N:Public;John;Quinlan;Dr.;Jr.\n"), tag::kDisplayName), "Dr. John Quinlan Public Jr.");
    EXPECT_EQ(tagText(mapLines("ORG:Acme Ltd;Sales\n"), tag::kDisplayName), "Acme Ltd");
    EXPECT_EQ(tagText(mapLines("EMAIL:x@example.com\nEMAIL;TYPE=pref:p@example.com\n"), tag::kDisplayName),
              "p@example.com");
    const ContactItem empty = mapLines("NOTE:nothing else\n");
    EXPECT_EQ(tagText(empty, tag::kDisplayName), "");
    EXPECT_TRUE(hasWarningContaining(empty, "no name"));
}

TEST(Names, StructuredPartsNicknameInitialsAndOrganisation) {
    const ContactItem item = mapLines(
        "FN:Dr. John Quinlan Public Jr.\nN:Public;John;Quinlan;Dr.;Jr.\nNICKNAME:Jack,Johnny\n"
        "ORG:Acme Ltd;Sales;EMEA\nTITLE:Manager\nROLE:Engineer\nX-PHONETIC-LAST-NAME:Pablik\n");
    EXPECT_EQ(tagText(item, tag::kSurname), "Public");
    EXPECT_EQ(tagText(item, tag::kGivenName), "John");
    EXPECT_EQ(tagText(item, tag::kMiddleName), "Quinlan");
    EXPECT_EQ(tagText(item, tag::kDisplayNamePrefix), "Dr.");
    EXPECT_EQ(tagText(item, tag::kGeneration), "Jr.");
    EXPECT_EQ(tagText(item, tag::kInitials), "J.Q.P.");
    EXPECT_EQ(tagText(item, tag::kNickname), "Jack");
    EXPECT_NE(body(item).find("Nickname: Johnny"), std::string::npos);
    EXPECT_EQ(tagText(item, tag::kCompanyName), "Acme Ltd");
    EXPECT_EQ(tagText(item, tag::kDepartmentName), "Sales, EMEA");
    EXPECT_EQ(tagText(item, tag::kTitle), "Manager");
    EXPECT_EQ(tagText(item, tag::kProfession), "Engineer");
    EXPECT_EQ(namedText(item, lid::kYomiLastName), "Pablik");
}

TEST(FileAs, SurnameCommaGivenMiddleForPeople) {
    const ContactItem item = mapLines("FN:John Q. Public\nN:Public;John;Quinlan;;\nORG:Acme\n");
    EXPECT_EQ(namedText(item, lid::kFileUnder), "Public, John Quinlan");
    EXPECT_EQ(namedValue<int32_t>(item, lid::kFileUnderId), 0x8017);
    const ContactItem surnameOnly = mapLines("FN:Mr Public\nN:Public;;;Mr;\n");
    EXPECT_EQ(namedText(surnameOnly, lid::kFileUnder), "Public");
    EXPECT_EQ(namedValue<int32_t>(surnameOnly, lid::kFileUnderId), 0x8017);
}

TEST(FileAs, CompanyForOrganisations) {
    const ContactItem onlyOrg = mapLines("ORG:Acme Ltd\n");
    EXPECT_EQ(namedText(onlyOrg, lid::kFileUnder), "Acme Ltd");
    EXPECT_EQ(namedValue<int32_t>(onlyOrg, lid::kFileUnderId), 0x3A16);
    const ContactItem kindOrg = mapText(card("KIND:org\nFN:Acme Front Desk\nN:Desk;Front;;;\nORG:Acme Ltd\n", "4.0"));
    EXPECT_EQ(namedText(kindOrg, lid::kFileUnder), "Acme Ltd");
    EXPECT_EQ(namedValue<int32_t>(kindOrg, lid::kFileUnderId), 0x3A16);
    const ContactItem apple = mapLines("FN:Acme Ltd\nN:;;;;\nORG:Acme Ltd;\nX-ABShowAs:COMPANY\n");
    EXPECT_EQ(namedValue<int32_t>(apple, lid::kFileUnderId), 0x3A16);
}

TEST(FileAs, DisplayNameOrTheUsersOwnChoiceOtherwise) {
    const ContactItem given = mapLines("FN:Madonna\nN:;Madonna;;;\nORG:Label\n");
    EXPECT_EQ(namedText(given, lid::kFileUnder), "Madonna");
    EXPECT_EQ(namedValue<int32_t>(given, lid::kFileUnderId), 0x3001);
    const ContactItem evolution = mapLines("FN:John Doe\nN:Doe;John;;;\nX-EVOLUTION-FILE-AS:Doe\\, Johnny\n");
    EXPECT_EQ(namedText(evolution, lid::kFileUnder), "Doe, Johnny");
    EXPECT_EQ(namedValue<int32_t>(evolution, lid::kFileUnderId), static_cast<int32_t>(0xFFFFFFFF));
    const ContactItem nothing = mapLines("NOTE:x\n");
    EXPECT_EQ(namedValue<int32_t>(nothing, lid::kFileUnderId), 0);
}

TEST(Names, NamedPropertiesUseTheAddressSet) {
    const ContactItem item = mapLines("FN:Ann\n");
    const Property* fileUnder = item.properties.find(addressKey(lid::kFileUnder));
    ASSERT_NE(fileUnder, nullptr);
    EXPECT_EQ(fileUnder->key.kind(), PropertyKey::Kind::NamedId);
    EXPECT_EQ(guidText(fileUnder->key.propertySet()), "{00062004-0000-0000-C000-000000000046}");
    EXPECT_EQ(fileUnder->type(), PropertyType::String);
}

}  // namespace
}  // namespace contact::testing

namespace contact::testing {
namespace {

TEST(Names, AndroidNicknameAndJapanesePhoneticName) {
    const ContactItem android = mapText(card(
        "N:Droid;Andy\nX-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Andi;1;;;;;;;;;;;;;\n", "2.1"));
    EXPECT_EQ(tagText(android, tag::kNickname), "Andi");
    const ContactItem japanese = mapText(card("N:Ando;Roid\nSOUND;X-IRMC-N:Andou;Roido;;;\n", "2.1"));
    EXPECT_EQ(namedText(japanese, lid::kYomiLastName), "Andou");
    EXPECT_EQ(namedText(japanese, lid::kYomiFirstName), "Roido");
}

TEST(Names, NulCharactersNeverReachTheItem) {
    const ContactItem item = mapText(card("FN;ENCODING=QUOTED-PRINTABLE:Ann=00Lee\nEMAIL;ENCODING=QUOTED-PRINTABLE:ann=00@example.com\n", "2.1"));
    for (const Property& p : item.properties)
        if (const std::string* s = std::get_if<std::string>(&p.value)) {
            EXPECT_EQ(s->find('\0'), std::string::npos) << p.key.describe();
        }
    // Cut at the NUL with a warning, never joined into another plausible name or address.
    EXPECT_EQ(namedText(item, lid::kEmail1EmailAddress), "ann");
    EXPECT_EQ(tagText(item, tag::kDisplayName), "Ann");
    EXPECT_TRUE(hasWarningContaining(item, "NUL"));
}

}  // namespace
}  // namespace contact::testing
