#include "pst/messaging/entry_id.h"

#include <random>

#include "pst/core/le_codec.h"

namespace pst::messaging {

std::vector<uint8_t> makeEntryId(const StoreUid& uid, Nid nid) {
    std::vector<uint8_t> out(kEntryIdSize, 0);
    std::copy(uid.begin(), uid.end(), out.begin() + 4);
    core::writeLe32(out, 20, nid);
    return out;
}

std::optional<ParsedEntryId> parseEntryId(std::span<const uint8_t> bytes) {
    if (bytes.size() != kEntryIdSize) return std::nullopt;
    if (core::readLe32(bytes, 0) != 0) return std::nullopt;
    ParsedEntryId id;
    std::copy(bytes.begin() + 4, bytes.begin() + 20, id.uid.begin());
    id.nid = core::readLe32(bytes, 20);
    return id;
}

std::string toHex(std::span<const uint8_t> bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xF]);
    }
    return out;
}

std::optional<std::vector<uint8_t>> fromHex(const std::string& text) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = nibble(text[i]), lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return out;
}

StoreUid randomStoreUid() {
    std::random_device device;
    StoreUid uid{};
    for (size_t i = 0; i < uid.size(); i += 4) {
        uint32_t r = device();
        for (size_t k = 0; k < 4; ++k) uid[i + k] = static_cast<uint8_t>(r >> (8 * k));
    }
    return uid;
}

}  // namespace pst::messaging
