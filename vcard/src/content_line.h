#pragma once
// Splits a logical line into group, name, parameters and raw value:
// [group "."] name *(";" param) ":" value. Bare 2.1 parameters become TYPE or ENCODING values.
#include <cstddef>
#include <string>
#include <string_view>

#include "vcard/property.h"

namespace vcard {

// Fills `out` (line, group, name, parameters, rawValue) and returns true, or returns false with a
// reason when the line is not a property at all. `colon` is the position of
// the name/value colon when already known (findValueColon), npos to look for it.
bool parseContentLine(std::string_view line, std::size_t number, std::size_t colon, Property& out, std::string& problem);

// Appends a value to the parameter with this (upper-case) name, creating it when needed.
void addParameterValue(Property& property, std::string_view upperName, std::string value);

std::string toUpper(std::string_view s);
std::string toLower(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view s, std::string_view prefix);
std::string_view trimmed(std::string_view s);

}  // namespace vcard
