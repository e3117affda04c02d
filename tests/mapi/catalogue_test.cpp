// The vocabulary against [MS-OXPROPS]: a sample of the catalogue's ids, LIDs and types, each
// copied from the property's entry in that document (section 2 lists PidLid* properties,
// 2.1-2.4xx, and PidTag* properties, 2.5xx on, in alphabetical order; sections named where
// they were looked up), the property-set GUIDs, and keys made from catalogue entries.
#include <gtest/gtest.h>

#include "mapi/property_catalogue.h"
#include "zentra/error.h"

namespace mapi {
namespace {

struct Expected {
    const char* name;
    uint16_t id;
    uint16_t type;
};

// "Property ID" and "Data type" of PidTag* entries.
const struct {
    PropertyTag entry;
    Expected document;
} kTagged[] = {
    {PidTagMessageClass, {"PidTagMessageClass", 0x001A, 0x001F}},
    {PidTagSensitivity, {"PidTagSensitivity", 0x0036, 0x0003}},
    {PidTagSubject, {"PidTagSubject", 0x0037, 0x001F}},
    {PidTagMessageFlags, {"PidTagMessageFlags", 0x0E07, 0x0003}},
    {PidTagHasAttachments, {"PidTagHasAttachments", 0x0E1B, 0x000B}},
    {PidTagNormalizedSubject, {"PidTagNormalizedSubject", 0x0E1D, 0x001F}},
    {PidTagAttachNumber, {"PidTagAttachNumber", 0x0E21, 0x0003}},
    {PidTagBody, {"PidTagBody", 0x1000, 0x001F}},
    {PidTagDisplayName, {"PidTagDisplayName", 0x3001, 0x001F}},
    {PidTagCreationTime, {"PidTagCreationTime", 0x3007, 0x0040}},
    {PidTagLastModificationTime, {"PidTagLastModificationTime", 0x3008, 0x0040}},
    {PidTagContainerClass, {"PidTagContainerClass", 0x3613, 0x001F}},
    {PidTagAttachDataBinary, {"PidTagAttachDataBinary", 0x3701, 0x0102}},
    {PidTagAttachMethod, {"PidTagAttachMethod", 0x3705, 0x0003}},
    {PidTagRenderingPosition, {"PidTagRenderingPosition", 0x370B, 0x0003}},
    {PidTagAttachmentContactPhoto, {"PidTagAttachmentContactPhoto", 0x7FFF, 0x000B}},
    {PidTagGivenName, {"PidTagGivenName", 0x3A06, 0x001F}},
    {PidTagSurname, {"PidTagSurname", 0x3A11, 0x001F}},
    {PidTagPostalAddress, {"PidTagPostalAddress", 0x3A15, 0x001F}},
    {PidTagCompanyName, {"PidTagCompanyName", 0x3A16, 0x001F}},
    {PidTagPrimaryTelephoneNumber, {"PidTagPrimaryTelephoneNumber", 0x3A1A, 0x001F}},
    {PidTagOtherTelephoneNumber, {"PidTagOtherTelephoneNumber", 0x3A1F, 0x001F}},
    {PidTagPrimaryFaxNumber, {"PidTagPrimaryFaxNumber", 0x3A23, 0x001F}},
    {PidTagWeddingAnniversary, {"PidTagWeddingAnniversary", 0x3A41, 0x0040}},
    {PidTagBirthday, {"PidTagBirthday", 0x3A42, 0x0040}},
    {PidTagTelecommunicationsDeviceForDeafTelephoneNumber,
     {"PidTagTelecommunicationsDeviceForDeafTelephoneNumber", 0x3A4B, 0x001F}},
    {PidTagGender, {"PidTagGender", 0x3A4D, 0x0002}},
    {PidTagChildrensNames, {"PidTagChildrensNames", 0x3A58, 0x101F}},
    {PidTagHomeAddressStreet, {"PidTagHomeAddressStreet", 0x3A5D, 0x001F}},
    {PidTagOtherAddressPostOfficeBox, {"PidTagOtherAddressPostOfficeBox", 0x3A64, 0x001F}},
    {PidTagUserX509Certificate, {"PidTagUserX509Certificate", 0x3A70, 0x1102}},   // 2.1055
    {PidTagLtpRowId, {"PidTagLtpRowId", 0x67F2, 0x0003}},
    {PidTagLtpRowVer, {"PidTagLtpRowVer", 0x67F3, 0x0003}},
};

// "Property long ID (LID)" and "Data type" of PidLid* entries, all in PSETID_Address.
const struct {
    NamedProperty entry;
    Expected document;
} kNamed[] = {
    {PidLidFileUnder, {"PidLidFileUnder", 0x8005, 0x001F}},       // 2.132
    {PidLidFileUnderId, {"PidLidFileUnderId", 0x8006, 0x0003}},   // 2.133
    {PidLidHasPicture, {"PidLidHasPicture", 0x8015, 0x000B}},
    {PidLidHomeAddress, {"PidLidHomeAddress", 0x801A, 0x001F}},
    {PidLidWorkAddress, {"PidLidWorkAddress", 0x801B, 0x001F}},
    {PidLidPostalAddressId, {"PidLidPostalAddressId", 0x8022, 0x0003}},
    {PidLidAddressBookProviderEmailList, {"PidLidAddressBookProviderEmailList", 0x8028, 0x1003}},
    {PidLidAddressBookProviderArrayType, {"PidLidAddressBookProviderArrayType", 0x8029, 0x0003}},
    {PidLidHtml, {"PidLidHtml", 0x802B, 0x001F}},
    {PidLidWorkAddressStreet, {"PidLidWorkAddressStreet", 0x8045, 0x001F}},
    {PidLidInstantMessagingAddress, {"PidLidInstantMessagingAddress", 0x8062, 0x001F}},
    {PidLidEmail1DisplayName, {"PidLidEmail1DisplayName", 0x8080, 0x001F}},
    {PidLidEmail1AddressType, {"PidLidEmail1AddressType", 0x8082, 0x001F}},
    {PidLidEmail1EmailAddress, {"PidLidEmail1EmailAddress", 0x8083, 0x001F}},
    {PidLidEmail1OriginalEntryId, {"PidLidEmail1OriginalEntryId", 0x8085, 0x0102}},
    {PidLidEmail2EmailAddress, {"PidLidEmail2EmailAddress", 0x8093, 0x001F}},
    {PidLidEmail3EmailAddress, {"PidLidEmail3EmailAddress", 0x80A3, 0x001F}},
    {PidLidFax1AddressType, {"PidLidFax1AddressType", 0x80B2, 0x001F}},
    {PidLidFax3OriginalEntryId, {"PidLidFax3OriginalEntryId", 0x80D5, 0x0102}},
    {PidLidHomeAddressCountryCode, {"PidLidHomeAddressCountryCode", 0x80DA, 0x001F}},
    {PidLidWorkAddressCountryCode, {"PidLidWorkAddressCountryCode", 0x80DB, 0x001F}},
    {PidLidOtherAddressCountryCode, {"PidLidOtherAddressCountryCode", 0x80DC, 0x001F}},
    {PidLidAddressCountryCode, {"PidLidAddressCountryCode", 0x80DD, 0x001F}},
    {PidLidBirthdayLocal, {"PidLidBirthdayLocal", 0x80DE, 0x0040}},
    {PidLidWeddingAnniversaryLocal, {"PidLidWeddingAnniversaryLocal", 0x80DF, 0x0040}},
};

TEST(Catalogue, TaggedPropertiesHaveTheDocumentsIdsAndTypes) {
    for (const auto& [entry, document] : kTagged) {
        EXPECT_EQ(entry.id, document.id) << document.name;
        EXPECT_EQ(entry.type, document.type) << document.name;
        EXPECT_EQ(entry.tag(), static_cast<uint32_t>(document.id) << 16 | document.type) << document.name;
    }
}

TEST(Catalogue, NamedPropertiesHaveTheDocumentsLidsTypesAndSet) {
    for (const auto& [entry, document] : kNamed) {
        EXPECT_EQ(entry.lid, document.id) << document.name;
        EXPECT_EQ(entry.type, document.type) << document.name;
        EXPECT_EQ(entry.set, kPsetidAddress) << document.name;
    }
    // PidNameKeywords: PS_PUBLIC_STRINGS, name "Keywords", PtypMultipleString.
    EXPECT_EQ(PidNameKeywords.set, kPsPublicStrings);
    EXPECT_EQ(PidNameKeywords.name, "Keywords");
    EXPECT_EQ(PidNameKeywords.type, 0x101F);
}

// [MS-OXPROPS] 1.3.2 gives the sets as text; [MS-OXCDATA] 2.5.1 stores Data1-Data3 little-endian.
TEST(PropertySets, AreStoredWithLittleEndianDataFields) {
    const Guid address{0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    const Guid common{0x08, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    const Guid strings{0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(kPsetidAddress, address);
    EXPECT_EQ(kPsetidCommon, common);
    EXPECT_EQ(kPsPublicStrings, strings);
    EXPECT_EQ(kPsMapi, (Guid{0x28, 0x03, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}));
    EXPECT_EQ(guidText(kPsetidAddress), "{00062004-0000-0000-C000-000000000046}");
    EXPECT_EQ(guidText(kPsPublicStrings), "{00020329-0000-0000-C000-000000000046}");
    EXPECT_EQ(parseGuid("00062008-0000-0000-c000-000000000046"), kPsetidCommon);
    EXPECT_THROW(parseGuid("{00062008-0000-0000-C000-000000000046}"), zentra::Error);
    EXPECT_THROW(parseGuid("00062008-0000-0000-C000-00000000004G"), zentra::Error);
}

TEST(PropertyKeys, CompareByKindSetAndIdOrCaseBlindName) {
    EXPECT_EQ(PropertyKey::tagged(0x3001), PropertyKey::tagged(0x3001));
    EXPECT_FALSE(PropertyKey::tagged(0x3001) == PropertyKey::tagged(0x3002));
    EXPECT_FALSE(PropertyKey::tagged(0x8005) == PropertyKey::named(kPsetidAddress, 0x8005));
    EXPECT_FALSE(PropertyKey::named(kPsetidAddress, 0x8005) == PropertyKey::named(kPsetidCommon, 0x8005));
    EXPECT_EQ(PropertyKey::named(kPsPublicStrings, "Keywords"), PropertyKey::named(kPsPublicStrings, "KEYWORDS"));
    EXPECT_FALSE(PropertyKey::named(kPsPublicStrings, "Keywords") == PropertyKey::named(kPsetidCommon, "Keywords"));
    EXPECT_EQ(PropertyKey::named(kPsetidAddress, 0x8005).describe(), "{00062004-0000-0000-C000-000000000046}/0x8005");
    // Catalogue entries name the same keys.
    EXPECT_EQ(PropertyKey(PidTagDisplayName), PropertyKey::tagged(0x3001));
    EXPECT_EQ(PropertyKey(PidLidFileUnder), PropertyKey::named(kPsetidAddress, 0x8005));
    EXPECT_EQ(PropertyKey(PidNameKeywords), PropertyKey::named(kPsPublicStrings, "keywords"));
}

}  // namespace
}  // namespace mapi
