#pragma once
// A property value in its stored form: `bytes` holds exactly what a personal folders file stores
// for the type ([MS-PST] 2.3.3.4): little-endian integers, FILETIME ticks, UTF-16LE strings
// without terminator, and the multi-valued layouts (fixed-size elements back to back; variable-
// size ones as ulCount, rgulDataOffsets, data). Values are made in this form where the data is
// read, so nothing converts them again on the way to the file. Short values are held without a
// heap allocation (value_bytes.h).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mapi/filetime.h"
#include "mapi/guid.h"
#include "mapi/property_types.h"
#include "mapi/value_bytes.h"

namespace mapi {

struct Value {
    uint16_t type = 0;          // a PropType code (or any code read from a file)
    ValueBytes bytes;
    bool operator==(const Value&) const = default;
};

// Constructors of stored forms.
Value int16Value(int16_t v);
Value int32Value(int32_t v);
Value int64Value(int64_t v);
Value boolValue(bool v);
Value float64Value(double v);
Value timeValue(FileTime t);
Value stringValue(std::string_view utf8);        // stored as UTF-16LE
Value binaryValue(std::vector<uint8_t> bytes);
Value binaryValueOf(std::string_view bytes);   // the same, from bytes held in a string
Value guidValue(const Guid& guid);
Value multiStringValue(const std::vector<std::string>& utf8);
Value multiInt32Value(const std::vector<int32_t>& values);
Value multiBinaryValue(const std::vector<std::vector<uint8_t>>& values);

// Readers: nullopt when the value has another type or a malformed stored form.
std::optional<int16_t> int16Of(const Value& v);
std::optional<int32_t> int32Of(const Value& v);
std::optional<bool> boolOf(const Value& v);
std::optional<FileTime> timeOf(const Value& v);
std::optional<std::string> stringOf(const Value& v);   // as UTF-8
std::optional<std::vector<std::string>> multiStringOf(const Value& v);
std::optional<std::vector<int32_t>> multiInt32Of(const Value& v);

// Encodes the variable-size multi-valued layout ([MS-PST] 2.3.3.4.2).
std::vector<uint8_t> packMultiVariable(const std::vector<std::vector<uint8_t>>& items);
// Splits a stored multi-valued value into its elements (either layout, chosen by `type`);
// throws zentra::Error(kErrStoreCorrupt) when the layout is inconsistent.
std::vector<std::vector<uint8_t>> unpackMultiValue(uint16_t type, std::span<const uint8_t> bytes);

}  // namespace mapi
