#pragma once
// Values of contact properties that have a meaning of their own ([MS-OXOCNTC]); the properties
// themselves are named in the MAPI vocabulary's catalogue (mapi/property_catalogue.h).
#include <cstdint>

namespace contact {

// PidLidFileUnderId values ([MS-OXOCNTC] 2.2.1.1.3).
namespace file_under {
constexpr int32_t kEmpty = 0;
constexpr int32_t kDisplayName = 0x3001;
constexpr int32_t kCompany = 0x3A16;
constexpr int32_t kSurnameCommaGivenMiddle = 0x8017;
constexpr int32_t kUserProvided = static_cast<int32_t>(0xFFFFFFFF);
}  // namespace file_under

}  // namespace contact
