// Stored forms of property values ([MS-OXCDATA] 2.11.1, [MS-PST] 2.3.3.4).
#include "mapi/value.h"

#include <cstring>

#include "mapi/utf16.h"
#include "zentra/error.h"

namespace mapi {
namespace {

Value fixed(uint16_t type, uint64_t bits, std::size_t size) {
    Value v;
    v.type = type;
    v.bytes.resize(size);
    for (std::size_t i = 0; i < size; ++i) v.bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    return v;
}

// The little-endian integer of a fixed-size value of `type`, when `v` is one.
std::optional<uint64_t> fixedBits(const Value& v, uint16_t type) {
    if (v.type != type || v.bytes.size() != fixedValueSize(type)) return std::nullopt;
    uint64_t bits = 0;
    for (std::size_t i = 0; i < v.bytes.size(); ++i) bits |= static_cast<uint64_t>(v.bytes[i]) << (8 * i);
    return bits;
}

template <class Bytes>
void append32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace

uint32_t fixedValueSize(uint16_t type) {
    switch (type) {
        case 0x000B: return 1;                                   // Boolean
        case 0x0002: return 2;                                   // Integer16
        case 0x0003: case 0x0004: case 0x000A: return 4;         // Integer32, Floating32, ErrorCode
        case 0x0005: case 0x0006: case 0x0007:                   // Floating64, Currency, FloatingTime
        case 0x0014: case 0x0040: return 8;                      // Integer64, Time
        case 0x0048: return 16;                                  // Guid
        default: return 0;
    }
}

uint32_t multiValueElementSize(uint16_t type) {
    if (!(type & kMultiValueFlag)) return 0;
    const uint16_t base = type & ~kMultiValueFlag;
    return base == 0x000B ? 0 : fixedValueSize(base);   // there is no multi-valued Boolean
}

bool isMultiVariable(uint16_t type) { return (type & kMultiValueFlag) && multiValueElementSize(type) == 0; }

Value int16Value(int16_t v) { return fixed(kPtypInteger16, static_cast<uint16_t>(v), 2); }
Value int32Value(int32_t v) { return fixed(kPtypInteger32, static_cast<uint32_t>(v), 4); }
Value int64Value(int64_t v) { return fixed(kPtypInteger64, static_cast<uint64_t>(v), 8); }
Value boolValue(bool v) { return fixed(kPtypBoolean, v ? 1 : 0, 1); }
Value timeValue(FileTime t) { return fixed(kPtypTime, t.ticks, 8); }

Value float64Value(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return fixed(kPtypFloating64, bits, 8);
}

Value stringValue(std::string_view utf8) {
    Value v{kPtypString, {}};
    // Written in place, at most two bytes per UTF-8 byte, then cut to what was written.
    uint8_t* out = v.bytes.uninitialised(2 * utf8.size());
    v.bytes.resize(static_cast<std::size_t>(writeUtf16le(out, utf8) - out));
    return v;
}
Value binaryValue(std::vector<uint8_t> bytes) { return Value{kPtypBinary, ValueBytes(bytes)}; }
Value binaryValueOf(std::string_view bytes) { return Value{kPtypBinary, ValueBytes(bytes.begin(), bytes.end())}; }
Value guidValue(const Guid& guid) { return Value{kPtypGuid, ValueBytes(guid.begin(), guid.end())}; }

// The variable-size multi-valued layout, each string written in place after the offsets.
Value multiStringValue(const std::vector<std::string>& utf8) {
    Value v{kPtypMultipleString, {}};
    const std::size_t head = 4 + 4 * utf8.size();
    std::size_t most = head;
    for (const std::string& s : utf8) most += 2 * s.size();
    uint8_t* const start = v.bytes.uninitialised(most);
    uint8_t* out = start + head;
    uint8_t* offsets = start + 4;
    const auto put32 = [](uint8_t* at, std::size_t value) {
        for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put32(start, utf8.size());
    for (const std::string& s : utf8) {
        put32(offsets, static_cast<std::size_t>(out - start));
        offsets += 4;
        out = writeUtf16le(out, s);
    }
    v.bytes.resize(static_cast<std::size_t>(out - start));
    return v;
}

Value multiInt32Value(const std::vector<int32_t>& values) {
    Value v{kPtypMultipleInteger32, {}};
    v.bytes.reserve(values.size() * 4);
    for (int32_t x : values) append32(v.bytes, static_cast<uint32_t>(x));
    return v;
}

Value multiBinaryValue(const std::vector<std::vector<uint8_t>>& values) {
    return Value{kPtypMultipleBinary, ValueBytes(packMultiVariable(values))};
}

std::optional<int16_t> int16Of(const Value& v) {
    const auto bits = fixedBits(v, kPtypInteger16);
    return bits ? std::optional<int16_t>(static_cast<int16_t>(*bits)) : std::nullopt;
}

std::optional<int32_t> int32Of(const Value& v) {
    const auto bits = fixedBits(v, kPtypInteger32);
    return bits ? std::optional<int32_t>(static_cast<int32_t>(*bits)) : std::nullopt;
}

std::optional<bool> boolOf(const Value& v) {
    const auto bits = fixedBits(v, kPtypBoolean);
    return bits ? std::optional<bool>(*bits != 0) : std::nullopt;
}

std::optional<FileTime> timeOf(const Value& v) {
    const auto bits = fixedBits(v, kPtypTime);
    return bits ? std::optional<FileTime>(FileTime{*bits}) : std::nullopt;
}

std::optional<std::string> stringOf(const Value& v) {
    if (v.type != kPtypString) return std::nullopt;
    return utf8FromUtf16le(v.bytes);
}

std::optional<std::vector<std::string>> multiStringOf(const Value& v) {
    if (v.type != kPtypMultipleString) return std::nullopt;
    try {
        std::vector<std::string> out;
        for (const std::vector<uint8_t>& item : unpackMultiValue(v.type, v.bytes)) out.push_back(utf8FromUtf16le(item));
        return out;
    } catch (const zentra::Error&) {
        return std::nullopt;   // a malformed layout reads as no value, as the readers promise
    }
}

std::optional<std::vector<int32_t>> multiInt32Of(const Value& v) {
    if (v.type != kPtypMultipleInteger32 || v.bytes.size() % 4) return std::nullopt;
    std::vector<int32_t> out;
    for (std::size_t at = 0; at < v.bytes.size(); at += 4) out.push_back(static_cast<int32_t>(get32(v.bytes.data() + at)));
    return out;
}

std::vector<uint8_t> packMultiVariable(const std::vector<std::vector<uint8_t>>& items) {
    std::vector<uint8_t> out;
    std::size_t total = 4 + 4 * items.size();
    for (const auto& item : items) total += item.size();
    out.reserve(total);
    append32(out, static_cast<uint32_t>(items.size()));
    auto offset = static_cast<uint32_t>(4 + 4 * items.size());
    for (const auto& item : items) {
        append32(out, offset);
        offset += static_cast<uint32_t>(item.size());
    }
    for (const auto& item : items) out.insert(out.end(), item.begin(), item.end());
    return out;
}

std::vector<std::vector<uint8_t>> unpackMultiValue(uint16_t type, std::span<const uint8_t> bytes) {
    std::vector<std::vector<uint8_t>> out;
    if (const uint32_t size = multiValueElementSize(type)) {
        if (bytes.size() % size)
            throw zentra::Error(zentra::kErrStoreCorrupt, "multi-valued property is not whole elements");
        for (std::size_t off = 0; off < bytes.size(); off += size)
            out.emplace_back(bytes.begin() + off, bytes.begin() + off + size);
        return out;
    }
    if (bytes.empty()) return out;   // no elements at all
    if (bytes.size() < 4) throw zentra::Error(zentra::kErrStoreCorrupt, "multi-valued property too short");
    const uint64_t count = get32(bytes.data());
    if (4 + 4 * count > bytes.size())
        throw zentra::Error(zentra::kErrStoreCorrupt, "multi-valued property count exceeds its size");
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t start = get32(bytes.data() + 4 + 4 * i);
        const uint64_t end = i + 1 < count ? get32(bytes.data() + 8 + 4 * i) : bytes.size();
        if (start < 4 + 4 * count || start > end || end > bytes.size())
            throw zentra::Error(zentra::kErrStoreCorrupt, "multi-valued property offsets out of range");
        out.emplace_back(bytes.begin() + start, bytes.begin() + end);
    }
    return out;
}

}  // namespace mapi
