#pragma once
// ISO 3166-1 alpha-2 country codes, for the PidLid*AddressCountryCode properties Outlook fills
// beside the country an address names.
#include <string>
#include <string_view>

namespace contact::detail {

// The country as an upper-case ISO 3166-1 alpha-2 code when it is one ("de", " DE " -> "DE"),
// else empty: a country written as a name ("Germany", "UK") gives no code.
std::string isoCountryCode(std::string_view country);

}  // namespace contact::detail
