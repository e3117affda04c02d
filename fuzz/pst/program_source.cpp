#include "program_source.h"

#include <array>

#include "zentra/text.h"

namespace pst_fuzz {
namespace {

// Letters with case partners under the engine's folding, letters without, and characters that
// take two UTF-16 units.
constexpr std::array<char32_t, 32> kAlphabet = {
    U'a', U'B', U'c', U'D', U'e', U'Z', U'x', U'Q', U'0', U'7', U' ', U'-', U'_', U'.',
    0xC4 /* Ä */, 0xE4 /* ä */, 0xDF /* ß */, 0xE9 /* é */, 0xC9 /* É */,
    0x3A3 /* Σ */, 0x3C3 /* σ */, 0x3C2 /* ς */, 0x416 /* Ж */, 0x436 /* ж */,
    0x4E2D /* 中 */, 0x6587 /* 文 */, 0x1F600 /* 😀 */, 0x10348 /* 𐍈 */,
    U'(', U')', U'@', 0x20AC /* € */};

// Decodes the driver's own (always valid) UTF-8.
std::u32string decode(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        auto b = static_cast<uint8_t>(s[i]);
        size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (size_t k = 1; k < len && i + k < s.size(); ++k) c = (c << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
        out.push_back(c);
        i += len;
    }
    return out;
}

char32_t lower(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    if (c == 0xC4 || c == 0xC9) return c + 0x20;
    if (c == 0x3A3 || c == 0x3C2) return 0x3C3;
    if (c == 0x416) return 0x436;
    return c;
}

char32_t upper(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c == 0xE4 || c == 0xE9) return c - 0x20;
    if (c == 0x3C3 || c == 0x3C2) return 0x3A3;
    if (c == 0x436) return 0x416;
    return c;
}

}  // namespace

uint8_t ProgramSource::byte() {
    if (pos_ >= bytes_.size()) {
        pos_ = bytes_.size() + 1;
        return 0;
    }
    return bytes_[pos_++];
}

uint16_t ProgramSource::u16() { return static_cast<uint16_t>(byte() | (byte() << 8)); }

uint32_t ProgramSource::u32() { return u16() | (static_cast<uint32_t>(u16()) << 16); }

std::string ProgramSource::name(uint32_t maxCodePoints) {
    uint32_t count = below(maxCodePoints + 1);
    std::string out;
    for (uint32_t i = 0; i < count; ++i) zentra::appendUtf8(out, kAlphabet[byte() % kAlphabet.size()]);
    return out;
}

std::string ProgramSource::caseVariant(const std::string& utf8) {
    std::string out;
    for (char32_t c : decode(utf8)) {
        uint8_t choice = byte() % 3;
        zentra::appendUtf8(out, choice == 0 ? c : choice == 1 ? upper(c) : lower(c));
    }
    return out;
}

uint32_t ProgramSource::length(uint32_t limit) {
    uint32_t n = 0;
    switch (byte() % 5) {
        case 0: n = 0; break;
        case 1: n = byte(); break;                     // inline or small heap item
        case 2: n = 3000 + below(1200); break;         // around the largest heap item (3580)
        case 3: n = below(9000); break;                // up to one block and a bit
        default: n = below(30000); break;              // several blocks
    }
    return n < limit ? n : limit;
}

uint64_t ProgramSource::nextBulk() {   // splitmix64
    uint64_t z = (bulkState_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::vector<uint8_t> ProgramSource::bulkBytes(uint32_t count) {
    bulkState_ ^= u32();
    std::vector<uint8_t> out(count);
    for (uint32_t i = 0; i < count; i += 8) {
        uint64_t r = nextBulk();
        for (uint32_t k = 0; k < 8 && i + k < count; ++k) out[i + k] = static_cast<uint8_t>(r >> (8 * k));
    }
    return out;
}

std::string ProgramSource::bulkText(uint32_t codePoints) {
    bulkState_ ^= u32();
    std::string out;
    for (uint32_t i = 0; i < codePoints; ++i) zentra::appendUtf8(out, kAlphabet[nextBulk() % kAlphabet.size()]);
    return out;
}

pst::ltp::Value ProgramSource::valueOfType(uint16_t type, uint32_t sizeLimit) {
    using namespace pst::ltp;
    switch (type) {
        case kPtypInteger16: return int16Value(static_cast<int16_t>(u16()));
        case kPtypInteger32: return int32Value(static_cast<int32_t>(u32()));
        case kPtypBoolean: return boolValue(byte() & 1);
        case kPtypInteger64: return int64Value(static_cast<int64_t>(u32()) << 32 | u32());
        case kPtypTime: return timeValue(mapi::FileTime{static_cast<uint64_t>(u32()) << 24 | u32()});
        case kPtypFloating64: return float64Value(static_cast<double>(static_cast<int32_t>(u32())) / 7.0);
        case kPtypGuid: {
            mapi::Guid guid;
            for (uint8_t& b : guid) b = byte();
            return guidValue(guid);
        }
        case kPtypString: return stringValue(bulkText(length(sizeLimit) / 2));
        case kPtypBinary: return binaryValue(bulkBytes(length(sizeLimit)));
        case kPtypMultipleInteger32: {
            std::vector<int32_t> values(below(8));
            for (int32_t& v : values) v = static_cast<int32_t>(u32());
            return multiInt32Value(values);
        }
        case kPtypMultipleString: {
            std::vector<std::string> values(below(6));
            for (std::string& v : values) v = bulkText(length(sizeLimit / 6) / 2);
            return multiStringValue(values);
        }
        default: {
            std::vector<std::vector<uint8_t>> values(below(6));
            for (auto& v : values) v = bulkBytes(length(sizeLimit / 6));
            return multiBinaryValue(values);
        }
    }
}

pst::ltp::Value ProgramSource::value(uint32_t sizeLimit) {
    using namespace pst::ltp;
    static constexpr uint16_t kTypes[] = {kPtypInteger16, kPtypInteger32, kPtypBoolean,        kPtypInteger64,
                                          kPtypTime,      kPtypString,    kPtypBinary,         kPtypFloating64,
                                          kPtypGuid,      kPtypMultipleInteger32, kPtypMultipleString,
                                          kPtypMultipleBinary};
    return valueOfType(kTypes[byte() % std::size(kTypes)], sizeLimit);
}

std::string foldedName(const std::string& utf8) {
    std::string out;
    for (char32_t c : decode(utf8)) zentra::appendUtf8(out, lower(c));
    return out;
}

}  // namespace pst_fuzz
