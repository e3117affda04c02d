#pragma once
// The catalogue of every property the program reads or writes, once, under its [MS-OXPROPS]
// name, with the id (or property set and LID) and the data type that document gives it. Layers
// name properties only through these entries; tests/mapi/catalogue_test.cpp checks a sample of
// them against the document.
#include "mapi/guid.h"
#include "mapi/property_key.h"
#include "mapi/property_types.h"

namespace mapi {

// Message and attachment objects.
inline constexpr PropertyTag PidTagImportance{0x0017, kPtypInteger32};
inline constexpr PropertyTag PidTagMessageClass{0x001A, kPtypString};
inline constexpr PropertyTag PidTagSensitivity{0x0036, kPtypInteger32};
inline constexpr PropertyTag PidTagSubject{0x0037, kPtypString};
inline constexpr PropertyTag PidTagSubjectPrefix{0x003D, kPtypString};
inline constexpr PropertyTag PidTagConversationTopic{0x0070, kPtypString};
inline constexpr PropertyTag PidTagMessageFlags{0x0E07, kPtypInteger32};
inline constexpr PropertyTag PidTagMessageSize{0x0E08, kPtypInteger32};
inline constexpr PropertyTag PidTagMessageStatus{0x0E17, kPtypInteger32};
inline constexpr PropertyTag PidTagHasAttachments{0x0E1B, kPtypBoolean};
inline constexpr PropertyTag PidTagNormalizedSubject{0x0E1D, kPtypString};
inline constexpr PropertyTag PidTagAttachSize{0x0E20, kPtypInteger32};
inline constexpr PropertyTag PidTagAttachNumber{0x0E21, kPtypInteger32};
inline constexpr PropertyTag PidTagBody{0x1000, kPtypString};
inline constexpr PropertyTag PidTagIconIndex{0x1080, kPtypInteger32};
inline constexpr PropertyTag PidTagDisplayName{0x3001, kPtypString};
inline constexpr PropertyTag PidTagComment{0x3004, kPtypString};
inline constexpr PropertyTag PidTagCreationTime{0x3007, kPtypTime};
inline constexpr PropertyTag PidTagLastModificationTime{0x3008, kPtypTime};
inline constexpr PropertyTag PidTagSearchKey{0x300B, kPtypBinary};
inline constexpr PropertyTag PidTagAttachDataBinary{0x3701, kPtypBinary};
inline constexpr PropertyTag PidTagAttachExtension{0x3703, kPtypString};
inline constexpr PropertyTag PidTagAttachFilename{0x3704, kPtypString};
inline constexpr PropertyTag PidTagAttachMethod{0x3705, kPtypInteger32};
inline constexpr PropertyTag PidTagAttachLongFilename{0x3707, kPtypString};
inline constexpr PropertyTag PidTagRenderingPosition{0x370B, kPtypInteger32};
inline constexpr PropertyTag PidTagAttachMimeTag{0x370E, kPtypString};
inline constexpr PropertyTag PidTagAttachmentHidden{0x7FFE, kPtypBoolean};
inline constexpr PropertyTag PidTagAttachmentContactPhoto{0x7FFF, kPtypBoolean};

// Message store, folders, tables and the name-to-id map.
inline constexpr PropertyTag PidTagNameidBucketCount{0x0001, kPtypInteger32};
inline constexpr PropertyTag PidTagNameidStreamGuid{0x0002, kPtypBinary};
inline constexpr PropertyTag PidTagNameidStreamEntry{0x0003, kPtypBinary};
inline constexpr PropertyTag PidTagNameidStreamString{0x0004, kPtypBinary};
inline constexpr PropertyTag PidTagNameidBucketBase{0x1000, kPtypBinary};
inline constexpr PropertyTag PidTagRecordKey{0x0FF9, kPtypBinary};
inline constexpr PropertyTag PidTagValidFolderMask{0x35DF, kPtypInteger32};
inline constexpr PropertyTag PidTagIpmSubtreeEntryId{0x35E0, kPtypBinary};
inline constexpr PropertyTag PidTagIpmWastebasketEntryId{0x35E3, kPtypBinary};
inline constexpr PropertyTag PidTagFinderEntryId{0x35E7, kPtypBinary};
inline constexpr PropertyTag PidTagContentCount{0x3602, kPtypInteger32};
inline constexpr PropertyTag PidTagContentUnreadCount{0x3603, kPtypInteger32};
inline constexpr PropertyTag PidTagSubfolders{0x360A, kPtypBoolean};
inline constexpr PropertyTag PidTagContainerClass{0x3613, kPtypString};
inline constexpr PropertyTag PidTagLtpRowId{0x67F2, kPtypInteger32};
inline constexpr PropertyTag PidTagLtpRowVer{0x67F3, kPtypInteger32};
inline constexpr PropertyTag PidTagPstPassword{0x67FF, kPtypInteger32};

// Contacts: names, organisation, personal.
inline constexpr PropertyTag PidTagGeneration{0x3A05, kPtypString};
inline constexpr PropertyTag PidTagGivenName{0x3A06, kPtypString};
inline constexpr PropertyTag PidTagInitials{0x3A0A, kPtypString};
inline constexpr PropertyTag PidTagSurname{0x3A11, kPtypString};
inline constexpr PropertyTag PidTagCompanyName{0x3A16, kPtypString};
inline constexpr PropertyTag PidTagTitle{0x3A17, kPtypString};
inline constexpr PropertyTag PidTagDepartmentName{0x3A18, kPtypString};
inline constexpr PropertyTag PidTagAssistant{0x3A30, kPtypString};
inline constexpr PropertyTag PidTagWeddingAnniversary{0x3A41, kPtypTime};
inline constexpr PropertyTag PidTagBirthday{0x3A42, kPtypTime};
inline constexpr PropertyTag PidTagMiddleName{0x3A44, kPtypString};
inline constexpr PropertyTag PidTagDisplayNamePrefix{0x3A45, kPtypString};
inline constexpr PropertyTag PidTagProfession{0x3A46, kPtypString};
inline constexpr PropertyTag PidTagSpouseName{0x3A48, kPtypString};
inline constexpr PropertyTag PidTagGender{0x3A4D, kPtypInteger16};
inline constexpr PropertyTag PidTagManagerName{0x3A4E, kPtypString};
inline constexpr PropertyTag PidTagNickname{0x3A4F, kPtypString};
inline constexpr PropertyTag PidTagPersonalHomePage{0x3A50, kPtypString};
inline constexpr PropertyTag PidTagBusinessHomePage{0x3A51, kPtypString};
inline constexpr PropertyTag PidTagChildrensNames{0x3A58, kPtypMultipleString};

// Contacts: telephones.
inline constexpr PropertyTag PidTagCallbackTelephoneNumber{0x3A02, kPtypString};
inline constexpr PropertyTag PidTagBusinessTelephoneNumber{0x3A08, kPtypString};
inline constexpr PropertyTag PidTagHomeTelephoneNumber{0x3A09, kPtypString};
inline constexpr PropertyTag PidTagPrimaryTelephoneNumber{0x3A1A, kPtypString};
inline constexpr PropertyTag PidTagBusiness2TelephoneNumber{0x3A1B, kPtypString};
inline constexpr PropertyTag PidTagMobileTelephoneNumber{0x3A1C, kPtypString};
inline constexpr PropertyTag PidTagRadioTelephoneNumber{0x3A1D, kPtypString};
inline constexpr PropertyTag PidTagCarTelephoneNumber{0x3A1E, kPtypString};
inline constexpr PropertyTag PidTagOtherTelephoneNumber{0x3A1F, kPtypString};
inline constexpr PropertyTag PidTagPagerTelephoneNumber{0x3A21, kPtypString};
inline constexpr PropertyTag PidTagPrimaryFaxNumber{0x3A23, kPtypString};
inline constexpr PropertyTag PidTagBusinessFaxNumber{0x3A24, kPtypString};
inline constexpr PropertyTag PidTagHomeFaxNumber{0x3A25, kPtypString};
inline constexpr PropertyTag PidTagTelexNumber{0x3A2C, kPtypString};
inline constexpr PropertyTag PidTagIsdnNumber{0x3A2D, kPtypString};
inline constexpr PropertyTag PidTagAssistantTelephoneNumber{0x3A2E, kPtypString};
inline constexpr PropertyTag PidTagHome2TelephoneNumber{0x3A2F, kPtypString};
inline constexpr PropertyTag PidTagTelecommunicationsDeviceForDeafTelephoneNumber{0x3A4B, kPtypString};
inline constexpr PropertyTag PidTagCompanyMainTelephoneNumber{0x3A57, kPtypString};

// Contacts: the mailing address, home and other addresses.
inline constexpr PropertyTag PidTagPostalAddress{0x3A15, kPtypString};
inline constexpr PropertyTag PidTagCountry{0x3A26, kPtypString};
inline constexpr PropertyTag PidTagLocality{0x3A27, kPtypString};
inline constexpr PropertyTag PidTagStateOrProvince{0x3A28, kPtypString};
inline constexpr PropertyTag PidTagStreetAddress{0x3A29, kPtypString};
inline constexpr PropertyTag PidTagPostalCode{0x3A2A, kPtypString};
inline constexpr PropertyTag PidTagPostOfficeBox{0x3A2B, kPtypString};
inline constexpr PropertyTag PidTagHomeAddressCity{0x3A59, kPtypString};
inline constexpr PropertyTag PidTagHomeAddressCountry{0x3A5A, kPtypString};
inline constexpr PropertyTag PidTagHomeAddressPostalCode{0x3A5B, kPtypString};
inline constexpr PropertyTag PidTagHomeAddressStateOrProvince{0x3A5C, kPtypString};
inline constexpr PropertyTag PidTagHomeAddressStreet{0x3A5D, kPtypString};
inline constexpr PropertyTag PidTagHomeAddressPostOfficeBox{0x3A5E, kPtypString};
inline constexpr PropertyTag PidTagOtherAddressCity{0x3A5F, kPtypString};
inline constexpr PropertyTag PidTagOtherAddressCountry{0x3A60, kPtypString};
inline constexpr PropertyTag PidTagOtherAddressPostalCode{0x3A61, kPtypString};
inline constexpr PropertyTag PidTagOtherAddressStateOrProvince{0x3A62, kPtypString};
inline constexpr PropertyTag PidTagOtherAddressStreet{0x3A63, kPtypString};
inline constexpr PropertyTag PidTagOtherAddressPostOfficeBox{0x3A64, kPtypString};

// Contacts: the certificates a contact's KEY properties carry.
inline constexpr PropertyTag PidTagUserX509Certificate{0x3A70, kPtypMultipleBinary};

// Contacts: named properties of PSETID_Address.
inline constexpr NamedProperty PidLidFileUnder{kPsetidAddress, 0x8005, kPtypString};
inline constexpr NamedProperty PidLidFileUnderId{kPsetidAddress, 0x8006, kPtypInteger32};
inline constexpr NamedProperty PidLidHasPicture{kPsetidAddress, 0x8015, kPtypBoolean};
inline constexpr NamedProperty PidLidHomeAddress{kPsetidAddress, 0x801A, kPtypString};
inline constexpr NamedProperty PidLidWorkAddress{kPsetidAddress, 0x801B, kPtypString};
inline constexpr NamedProperty PidLidOtherAddress{kPsetidAddress, 0x801C, kPtypString};
inline constexpr NamedProperty PidLidPostalAddressId{kPsetidAddress, 0x8022, kPtypInteger32};
inline constexpr NamedProperty PidLidAddressBookProviderEmailList{kPsetidAddress, 0x8028, kPtypMultipleInteger32};
inline constexpr NamedProperty PidLidAddressBookProviderArrayType{kPsetidAddress, 0x8029, kPtypInteger32};
inline constexpr NamedProperty PidLidHtml{kPsetidAddress, 0x802B, kPtypString};
inline constexpr NamedProperty PidLidYomiFirstName{kPsetidAddress, 0x802C, kPtypString};
inline constexpr NamedProperty PidLidYomiLastName{kPsetidAddress, 0x802D, kPtypString};
inline constexpr NamedProperty PidLidYomiCompanyName{kPsetidAddress, 0x802E, kPtypString};
inline constexpr NamedProperty PidLidWorkAddressStreet{kPsetidAddress, 0x8045, kPtypString};
inline constexpr NamedProperty PidLidWorkAddressCity{kPsetidAddress, 0x8046, kPtypString};
inline constexpr NamedProperty PidLidWorkAddressState{kPsetidAddress, 0x8047, kPtypString};
inline constexpr NamedProperty PidLidWorkAddressPostalCode{kPsetidAddress, 0x8048, kPtypString};
inline constexpr NamedProperty PidLidWorkAddressCountry{kPsetidAddress, 0x8049, kPtypString};
inline constexpr NamedProperty PidLidWorkAddressPostOfficeBox{kPsetidAddress, 0x804A, kPtypString};
inline constexpr NamedProperty PidLidInstantMessagingAddress{kPsetidAddress, 0x8062, kPtypString};
// Personal distribution lists ([MS-OXOCNTC] 2.2.2.2).
inline constexpr NamedProperty PidLidDistributionListChecksum{kPsetidAddress, 0x804C, kPtypInteger32};
inline constexpr NamedProperty PidLidDistributionListName{kPsetidAddress, 0x8053, kPtypString};
inline constexpr NamedProperty PidLidDistributionListOneOffMembers{kPsetidAddress, 0x8054, kPtypMultipleBinary};
inline constexpr NamedProperty PidLidDistributionListMembers{kPsetidAddress, 0x8055, kPtypMultipleBinary};
inline constexpr NamedProperty PidLidEmail1DisplayName{kPsetidAddress, 0x8080, kPtypString};
inline constexpr NamedProperty PidLidEmail1AddressType{kPsetidAddress, 0x8082, kPtypString};
inline constexpr NamedProperty PidLidEmail1EmailAddress{kPsetidAddress, 0x8083, kPtypString};
inline constexpr NamedProperty PidLidEmail1OriginalDisplayName{kPsetidAddress, 0x8084, kPtypString};
inline constexpr NamedProperty PidLidEmail1OriginalEntryId{kPsetidAddress, 0x8085, kPtypBinary};
inline constexpr NamedProperty PidLidEmail2DisplayName{kPsetidAddress, 0x8090, kPtypString};
inline constexpr NamedProperty PidLidEmail2AddressType{kPsetidAddress, 0x8092, kPtypString};
inline constexpr NamedProperty PidLidEmail2EmailAddress{kPsetidAddress, 0x8093, kPtypString};
inline constexpr NamedProperty PidLidEmail2OriginalDisplayName{kPsetidAddress, 0x8094, kPtypString};
inline constexpr NamedProperty PidLidEmail2OriginalEntryId{kPsetidAddress, 0x8095, kPtypBinary};
inline constexpr NamedProperty PidLidEmail3DisplayName{kPsetidAddress, 0x80A0, kPtypString};
inline constexpr NamedProperty PidLidEmail3AddressType{kPsetidAddress, 0x80A2, kPtypString};
inline constexpr NamedProperty PidLidEmail3EmailAddress{kPsetidAddress, 0x80A3, kPtypString};
inline constexpr NamedProperty PidLidEmail3OriginalDisplayName{kPsetidAddress, 0x80A4, kPtypString};
inline constexpr NamedProperty PidLidEmail3OriginalEntryId{kPsetidAddress, 0x80A5, kPtypBinary};
inline constexpr NamedProperty PidLidFax1AddressType{kPsetidAddress, 0x80B2, kPtypString};
inline constexpr NamedProperty PidLidFax1EmailAddress{kPsetidAddress, 0x80B3, kPtypString};
inline constexpr NamedProperty PidLidFax1OriginalDisplayName{kPsetidAddress, 0x80B4, kPtypString};
inline constexpr NamedProperty PidLidFax1OriginalEntryId{kPsetidAddress, 0x80B5, kPtypBinary};
inline constexpr NamedProperty PidLidFax2AddressType{kPsetidAddress, 0x80C2, kPtypString};
inline constexpr NamedProperty PidLidFax2EmailAddress{kPsetidAddress, 0x80C3, kPtypString};
inline constexpr NamedProperty PidLidFax2OriginalDisplayName{kPsetidAddress, 0x80C4, kPtypString};
inline constexpr NamedProperty PidLidFax2OriginalEntryId{kPsetidAddress, 0x80C5, kPtypBinary};
inline constexpr NamedProperty PidLidFax3AddressType{kPsetidAddress, 0x80D2, kPtypString};
inline constexpr NamedProperty PidLidFax3EmailAddress{kPsetidAddress, 0x80D3, kPtypString};
inline constexpr NamedProperty PidLidFax3OriginalDisplayName{kPsetidAddress, 0x80D4, kPtypString};
inline constexpr NamedProperty PidLidFax3OriginalEntryId{kPsetidAddress, 0x80D5, kPtypBinary};
inline constexpr NamedProperty PidLidFreeBusyLocation{kPsetidAddress, 0x80D8, kPtypString};
inline constexpr NamedProperty PidLidHomeAddressCountryCode{kPsetidAddress, 0x80DA, kPtypString};
inline constexpr NamedProperty PidLidWorkAddressCountryCode{kPsetidAddress, 0x80DB, kPtypString};
inline constexpr NamedProperty PidLidOtherAddressCountryCode{kPsetidAddress, 0x80DC, kPtypString};
inline constexpr NamedProperty PidLidAddressCountryCode{kPsetidAddress, 0x80DD, kPtypString};
inline constexpr NamedProperty PidLidBirthdayLocal{kPsetidAddress, 0x80DE, kPtypTime};
inline constexpr NamedProperty PidLidWeddingAnniversaryLocal{kPsetidAddress, 0x80DF, kPtypTime};

// Categories: a string-named property of PS_PUBLIC_STRINGS.
inline constexpr StringNamedProperty PidNameKeywords{kPsPublicStrings, "Keywords", kPtypMultipleString};

}  // namespace mapi
