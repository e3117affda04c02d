#pragma once
// Splits a logical line into group, name, parameters and raw value:
// [group "."] name *(";" param) ":" value. Bare 2.1 parameters become TYPE or ENCODING values.
#include <cstddef>
#include <string>
#include <string_view>

#include "vcard/property.h"

namespace vcard {

// Fills `out` (line, group, name, parameters, rawValue) and returns true, or returns false with a
// reason when the line is not a property at all. A property read with a problem (parameters
// dropped) returns true with `problem` set. `colon` is the position of the name/value colon when
// already known (findValueColon), npos to look for it. A large value takes over the storage of
// `line`, which is then left empty.
bool parseContentLine(std::string& line, std::size_t number, std::size_t colon, Property& out, std::string& problem);

// Distinct parameter names kept per property; further names are dropped with a warning.
constexpr std::size_t kMaxParameterNames = 100;

// Appends a value to the parameter with this (upper-case) name, creating it when needed;
// false (nothing added) when the property has kMaxParameterNames names already.
bool addParameterValue(Property& property, std::string_view upperName, std::string value);

}  // namespace vcard
