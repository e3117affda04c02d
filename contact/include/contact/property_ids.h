#pragma once
// Property ids ([MS-OXPROPS]) of the contact properties the mapping fills: tagged ids in `tag`,
// numeric LIDs of PSETID_Address in `lid`. Named properties are keyed as (PSETID_Address, LID);
// the store assigns their local ids.
#include <cstdint>

#include "contact/properties.h"

namespace contact {

namespace tag {
// Message level.
constexpr uint16_t kMessageClass = 0x001A;
constexpr uint16_t kSensitivity = 0x0036;
constexpr uint16_t kSubject = 0x0037;
constexpr uint16_t kSubjectPrefix = 0x003D;
constexpr uint16_t kMessageFlags = 0x0E07;
constexpr uint16_t kHasAttachments = 0x0E1B;
constexpr uint16_t kNormalizedSubject = 0x0E1D;
constexpr uint16_t kBody = 0x1000;
constexpr uint16_t kDisplayName = 0x3001;
constexpr uint16_t kCreationTime = 0x3007;
constexpr uint16_t kLastModificationTime = 0x3008;
// Names, organisation, personal.
constexpr uint16_t kGeneration = 0x3A05;
constexpr uint16_t kGivenName = 0x3A06;
constexpr uint16_t kInitials = 0x3A0A;
constexpr uint16_t kSurname = 0x3A11;
constexpr uint16_t kCompanyName = 0x3A16;
constexpr uint16_t kTitle = 0x3A17;
constexpr uint16_t kDepartmentName = 0x3A18;
constexpr uint16_t kAssistant = 0x3A30;
constexpr uint16_t kWeddingAnniversary = 0x3A41;
constexpr uint16_t kBirthday = 0x3A42;
constexpr uint16_t kMiddleName = 0x3A44;
constexpr uint16_t kDisplayNamePrefix = 0x3A45;
constexpr uint16_t kProfession = 0x3A46;
constexpr uint16_t kSpouseName = 0x3A48;
constexpr uint16_t kGender = 0x3A4D;
constexpr uint16_t kManagerName = 0x3A4E;
constexpr uint16_t kNickname = 0x3A4F;
constexpr uint16_t kPersonalHomePage = 0x3A50;
constexpr uint16_t kBusinessHomePage = 0x3A51;
constexpr uint16_t kChildrensNames = 0x3A58;
// Telephones.
constexpr uint16_t kCallbackTelephoneNumber = 0x3A02;
constexpr uint16_t kBusinessTelephoneNumber = 0x3A08;
constexpr uint16_t kHomeTelephoneNumber = 0x3A09;
constexpr uint16_t kPrimaryTelephoneNumber = 0x3A1A;
constexpr uint16_t kBusiness2TelephoneNumber = 0x3A1B;
constexpr uint16_t kMobileTelephoneNumber = 0x3A1C;
constexpr uint16_t kRadioTelephoneNumber = 0x3A1D;
constexpr uint16_t kCarTelephoneNumber = 0x3A1E;
constexpr uint16_t kOtherTelephoneNumber = 0x3A1F;
constexpr uint16_t kPagerTelephoneNumber = 0x3A21;
constexpr uint16_t kPrimaryFaxNumber = 0x3A23;
constexpr uint16_t kBusinessFaxNumber = 0x3A24;
constexpr uint16_t kHomeFaxNumber = 0x3A25;
constexpr uint16_t kTelexNumber = 0x3A2C;
constexpr uint16_t kIsdnNumber = 0x3A2D;
constexpr uint16_t kAssistantTelephoneNumber = 0x3A2E;
constexpr uint16_t kHome2TelephoneNumber = 0x3A2F;
constexpr uint16_t kTtyTddPhoneNumber = 0x3A4B;
constexpr uint16_t kCompanyMainTelephoneNumber = 0x3A57;
// Addresses: mailing, home, other.
constexpr uint16_t kPostalAddress = 0x3A15;
constexpr uint16_t kCountry = 0x3A26;
constexpr uint16_t kLocality = 0x3A27;
constexpr uint16_t kStateOrProvince = 0x3A28;
constexpr uint16_t kStreetAddress = 0x3A29;
constexpr uint16_t kPostalCode = 0x3A2A;
constexpr uint16_t kPostOfficeBox = 0x3A2B;
constexpr uint16_t kHomeAddressCity = 0x3A59;
constexpr uint16_t kHomeAddressCountry = 0x3A5A;
constexpr uint16_t kHomeAddressPostalCode = 0x3A5B;
constexpr uint16_t kHomeAddressStateOrProvince = 0x3A5C;
constexpr uint16_t kHomeAddressStreet = 0x3A5D;
constexpr uint16_t kHomeAddressPostOfficeBox = 0x3A5E;
constexpr uint16_t kOtherAddressCity = 0x3A5F;
constexpr uint16_t kOtherAddressCountry = 0x3A60;
constexpr uint16_t kOtherAddressPostalCode = 0x3A61;
constexpr uint16_t kOtherAddressStateOrProvince = 0x3A62;
constexpr uint16_t kOtherAddressStreet = 0x3A63;
constexpr uint16_t kOtherAddressPostOfficeBox = 0x3A64;
// Attachments.
constexpr uint16_t kAttachDataBinary = 0x3701;
constexpr uint16_t kAttachExtension = 0x3703;
constexpr uint16_t kAttachFilename = 0x3704;
constexpr uint16_t kAttachMethod = 0x3705;
constexpr uint16_t kAttachLongFilename = 0x3707;
constexpr uint16_t kRenderingPosition = 0x370B;
constexpr uint16_t kAttachMimeTag = 0x370E;
constexpr uint16_t kAttachmentHidden = 0x7FFE;
constexpr uint16_t kAttachmentContactPhoto = 0x7FFF;
}  // namespace tag

// LIDs in PSETID_Address.
namespace lid {
constexpr uint32_t kFileUnder = 0x8005;
constexpr uint32_t kFileUnderId = 0x8006;
constexpr uint32_t kHasPicture = 0x8015;
constexpr uint32_t kHomeAddress = 0x801A;
constexpr uint32_t kWorkAddress = 0x801B;
constexpr uint32_t kOtherAddress = 0x801C;
constexpr uint32_t kPostalAddressId = 0x8022;
constexpr uint32_t kAddressBookProviderEmailList = 0x8028;
constexpr uint32_t kAddressBookProviderArrayType = 0x8029;
constexpr uint32_t kHtml = 0x802B;
constexpr uint32_t kYomiFirstName = 0x802C;
constexpr uint32_t kYomiLastName = 0x802D;
constexpr uint32_t kYomiCompanyName = 0x802E;
constexpr uint32_t kWorkAddressStreet = 0x8045;
constexpr uint32_t kWorkAddressCity = 0x8046;
constexpr uint32_t kWorkAddressState = 0x8047;
constexpr uint32_t kWorkAddressPostalCode = 0x8048;
constexpr uint32_t kWorkAddressCountry = 0x8049;
constexpr uint32_t kWorkAddressPostOfficeBox = 0x804A;
constexpr uint32_t kInstantMessagingAddress = 0x8062;
// E-mail slot N (0, 1, 2) uses base + 0x10 * N.
constexpr uint32_t kEmail1DisplayName = 0x8080;
constexpr uint32_t kEmail1AddressType = 0x8082;
constexpr uint32_t kEmail1EmailAddress = 0x8083;
constexpr uint32_t kEmail1OriginalDisplayName = 0x8084;
constexpr uint32_t kEmail1OriginalEntryId = 0x8085;
// Fax slot N (0 business, 1 home, 2 primary/other) uses base + 0x10 * N.
constexpr uint32_t kFax1AddressType = 0x80B2;
constexpr uint32_t kFax1EmailAddress = 0x80B3;
constexpr uint32_t kFax1OriginalDisplayName = 0x80B4;
constexpr uint32_t kFax1OriginalEntryId = 0x80B5;
constexpr uint32_t kBirthdayLocal = 0x80DE;
constexpr uint32_t kWeddingAnniversaryLocal = 0x80DF;
}  // namespace lid

// PidLidFileUnderId values ([MS-OXOCNTC] 2.2.1.1.3).
namespace file_under {
constexpr int32_t kEmpty = 0;
constexpr int32_t kDisplayName = 0x3001;
constexpr int32_t kCompany = 0x3A16;
constexpr int32_t kSurnameCommaGivenMiddle = 0x8017;
constexpr int32_t kUserProvided = static_cast<int32_t>(0xFFFFFFFF);
}  // namespace file_under

constexpr int32_t kMessageFlagRead = 0x01;       // MSGFLAG_READ
constexpr int32_t kMessageFlagHasAttach = 0x10;  // MSGFLAG_HASATTACH

inline PropertyKey tagKey(uint16_t id) { return PropertyKey::tagged(id); }
inline PropertyKey addressKey(uint32_t lid) { return PropertyKey::named(kPsetidAddress, lid); }
inline PropertyKey keywordsKey() { return PropertyKey::named(kPsPublicStrings, std::string("Keywords")); }

}  // namespace contact
