// Stored forms of property values ([MS-OXCDATA] 2.11.1, [MS-PST] 2.3.3.4).
#include <cstring>

#include "pst/core/le_codec.h"
#include "pst/ltp/ltp.h"
#include "pst/ltp/values.h"
#include "zentra/error.h"

namespace pst::ltp {
namespace {

Value fixed(uint16_t type, uint64_t bits, size_t size) {
    Value v;
    v.type = type;
    v.bytes.resize(size);
    for (size_t i = 0; i < size; ++i) v.bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    return v;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

constexpr uint32_t kReplacement = 0xFFFD;

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
    uint16_t base = type & ~kMultiValueFlag;
    return base == 0x000B ? 0 : fixedValueSize(base);   // there is no multi-valued Boolean
}

bool isMultiVariable(uint16_t type) {
    return (type & kMultiValueFlag) && multiValueElementSize(type) == 0;
}

std::vector<uint8_t> utf16leFromUtf8(std::string_view utf8) {
    // Every input byte gives at most one UTF-16 unit (a 4-byte sequence gives two), so the
    // output is sized once and written through a pointer; every contact has dozens of strings.
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    std::vector<uint8_t> out(n * 2);
    uint8_t* o = out.data();
    auto put = [&o](uint32_t unit) {
        o[0] = static_cast<uint8_t>(unit);
        o[1] = static_cast<uint8_t>(unit >> 8);
        o += 2;
    };
    auto putCodePoint = [&put](uint32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 | (cp >> 10));
            put(0xDC00 | (cp & 0x3FF));
        } else {
            put(cp);
        }
    };
    size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        if (c < 0x80) {
            put(c);
            ++i;
            continue;
        }
        // Lead byte: sequence length and the smallest code point it may encode (no overlongs).
        size_t len;
        uint32_t cp, min;
        if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; min = 0x80; }
        else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; min = 0x800; }
        else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; min = 0x10000; }
        else { putCodePoint(kReplacement); ++i; continue; }
        size_t k = 1;
        while (k < len && i + k < n && (s[i + k] & 0xC0) == 0x80) {
            cp = (cp << 6) | (s[i + k] & 0x3F);
            ++k;
        }
        if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // One replacement for the maximal broken prefix, then resynchronise after it.
            putCodePoint(kReplacement);
            i += k;
            continue;
        }
        putCodePoint(cp);
        i += len;
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

std::string utf8FromUtf16le(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = core::readLe16(bytes, 2 * i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            uint32_t low = core::readLe16(bytes, 2 * i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    if (bytes.size() % 2) appendUtf8(out, kReplacement);
    return out;
}

std::vector<uint8_t> packMultiVariable(const std::vector<std::vector<uint8_t>>& items) {
    std::vector<uint8_t> out;
    size_t total = 4 + 4 * items.size();
    for (const auto& item : items) total += item.size();
    out.reserve(total);
    out.resize(4 + 4 * items.size());
    core::writeLe32(out, 0, static_cast<uint32_t>(items.size()));
    uint32_t offset = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < items.size(); ++i) {
        core::writeLe32(out, 4 + 4 * i, offset);
        offset += static_cast<uint32_t>(items[i].size());
    }
    for (const auto& item : items) out.insert(out.end(), item.begin(), item.end());
    return out;
}

std::vector<std::vector<uint8_t>> unpackMultiValue(uint16_t type, std::span<const uint8_t> bytes) {
    std::vector<std::vector<uint8_t>> out;
    if (uint32_t size = multiValueElementSize(type)) {
        if (bytes.size() % size)
            throw zentra::Error(zentra::kErrStoreCorrupt, "multi-valued property is not whole elements");
        for (size_t off = 0; off < bytes.size(); off += size) out.emplace_back(bytes.begin() + off, bytes.begin() + off + size);
        return out;
    }
    if (bytes.empty()) return out;   // no elements at all
    if (bytes.size() < 4) throw zentra::Error(zentra::kErrStoreCorrupt, "multi-valued property too short");
    const uint64_t count = core::readLe32(bytes, 0);
    if (4 + 4 * count > bytes.size())
        throw zentra::Error(zentra::kErrStoreCorrupt, "multi-valued property count exceeds its size");
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t start = core::readLe32(bytes, 4 + 4 * i);
        uint64_t end = i + 1 < count ? core::readLe32(bytes, 8 + 4 * i) : bytes.size();
        if (start < 4 + 4 * count || start > end || end > bytes.size())
            throw zentra::Error(zentra::kErrStoreCorrupt, "multi-valued property offsets out of range");
        out.emplace_back(bytes.begin() + start, bytes.begin() + end);
    }
    return out;
}

Value int16Value(int16_t v) { return fixed(kPtypInteger16, static_cast<uint16_t>(v), 2); }
Value int32Value(int32_t v) { return fixed(kPtypInteger32, static_cast<uint32_t>(v), 4); }
Value int64Value(int64_t v) { return fixed(kPtypInteger64, static_cast<uint64_t>(v), 8); }
Value boolValue(bool v) { return fixed(kPtypBoolean, v ? 1 : 0, 1); }
Value timeValue(uint64_t filetime) { return fixed(kPtypTime, filetime, 8); }

Value float64Value(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return fixed(kPtypFloating64, bits, 8);
}

Value stringValue(std::string_view utf8) { return Value{kPtypString, utf16leFromUtf8(utf8)}; }
Value binaryValue(std::vector<uint8_t> bytes) { return Value{kPtypBinary, std::move(bytes)}; }
Value guidValue(const uint8_t (&guid)[16]) { return Value{kPtypGuid, std::vector<uint8_t>(guid, guid + 16)}; }

Value multiStringValue(const std::vector<std::string>& utf8) {
    std::vector<std::vector<uint8_t>> items;
    items.reserve(utf8.size());
    for (const std::string& s : utf8) items.push_back(utf16leFromUtf8(s));
    return Value{kPtypMultipleString, packMultiVariable(items)};
}

Value multiInt32Value(const std::vector<int32_t>& values) {
    Value v{kPtypMultipleInteger32, std::vector<uint8_t>(values.size() * 4)};
    for (size_t i = 0; i < values.size(); ++i) core::writeLe32(v.bytes, 4 * i, static_cast<uint32_t>(values[i]));
    return v;
}

Value multiBinaryValue(const std::vector<std::vector<uint8_t>>& values) {
    return Value{kPtypMultipleBinary, packMultiVariable(values)};
}

}  // namespace pst::ltp
