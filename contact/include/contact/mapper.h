#pragma once
// From a parsed vCard to an Outlook contact item: every field of the card that a contact has a
// place for, the rest of what matters to the person in the notes under "More contact details:",
// and nothing technical (PRODID, UID, vendor ids); REV becomes the modification time.
//
//   contact::MapOptions options;
//   contact::ContactItem item = contact::mapCard(card, options);
//   contact::importFile(path, options, [&](contact::ContactItem&& item) { ... });
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "contact/day_start.h"
#include "contact/properties.h"
#include "vcard/card.h"
#include "vcard/reader.h"

namespace contact {

struct MapOptions {
    // Quality used when a photo that is not JPEG is re-encoded as JPEG (1..100).
    int jpegQuality = 90;
    // When a date begins in the import's time zone, for the UTC form of birthdays and
    // anniversaries (see day_start.h).
    DayStart dayStart = dayStartInUtc;
    // Options of the vCard reader used by importFile.
    vcard::ReaderOptions reader;
    // The base name of the file the cards come from (without its extension): the display name
    // of a card that has nothing else to name it. importFile and the import pipeline fill it.
    std::string sourceName;
};

ContactItem mapCard(const vcard::Card& card, const MapOptions& options);
// The same into `item`, which is emptied first (ContactItem::reset) and keeps its memory.
void mapCard(const vcard::Card& card, const MapOptions& options, ContactItem& item);

// Maps every card of a vCard file, in file order, one ContactItem per card (with the card's
// parser warnings), handing each to `onItem` as soon as it is mapped. Returns the number of cards.
// Throws zentra::Error: the reader's error when the file cannot be opened, and
// kErrImportFailed "no vCard found in <path>" when the file holds no card at all.
// Problems of the file not tied to a card (text after the last card, read errors) are added to
// `fileWarnings` when it is given.
std::size_t importFile(const std::filesystem::path& path, const MapOptions& options,
                       const std::function<void(ContactItem&&)>& onItem,
                       std::vector<Warning>* fileWarnings = nullptr);

}  // namespace contact
