#pragma once
// Entry identifiers of objects inside one store ([MS-PST] 2.4.3.2, the EntryID of [MS-OXCDATA]
// 2.2.4.1): rgbFlags (4 zero bytes), the store's provider UID (its PidTagRecordKey) and the
// object's NID, 24 bytes in all.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pst/core/types.h"

namespace pst::messaging {

using StoreUid = std::array<uint8_t, 16>;

constexpr size_t kEntryIdSize = 24;

std::vector<uint8_t> makeEntryId(const StoreUid& uid, Nid nid);

struct ParsedEntryId {
    StoreUid uid{};
    Nid nid = 0;
};
// Accepts exactly the 24-byte form with zero flags; anything else gives nullopt.
std::optional<ParsedEntryId> parseEntryId(std::span<const uint8_t> bytes);

// Entry ids travel through the automation members as upper-case hex text, as MAPI shows them.
std::string toHex(std::span<const uint8_t> bytes);
std::optional<std::vector<uint8_t>> fromHex(const std::string& text);

// A fresh random provider UID for a new store.
StoreUid randomStoreUid();

}  // namespace pst::messaging
