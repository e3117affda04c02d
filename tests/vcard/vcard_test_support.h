#pragma once
// Helpers shared by the vCard parser tests: paths of the test data and parsing shortcuts.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../support/child_process.h"
#include "vcard/reader.h"

namespace vcard::testing {

using zentra::testing::kMeasureMemory;   // whether resident-memory figures mean anything

inline std::string dataPath(const std::string& name) {
    return std::string(ZENTRA_SOURCE_DIR) + "/tests/vcard/data/" + name;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

struct Parsed {
    std::vector<Card> cards;
    std::vector<Warning> fileWarnings;
};

inline Parsed parseText(std::string_view text, ReaderOptions options = {}) {
    Parsed parsed;
    Reader reader = Reader::fromBuffer(text, options);
    Card card;
    while (reader.next(card)) parsed.cards.push_back(std::move(card));
    parsed.fileWarnings = reader.fileWarnings();
    return parsed;
}

inline Parsed parseData(const std::string& name, ReaderOptions options = {}) {
    Parsed parsed;
    Reader reader = Reader::openFile(dataPath(name), options);
    Card card;
    while (reader.next(card)) parsed.cards.push_back(std::move(card));
    parsed.fileWarnings = reader.fileWarnings();
    return parsed;
}

inline bool hasWarning(const std::vector<Warning>& warnings, const std::string& property, const std::string& text) {
    for (const Warning& w : warnings)
        if (w.property == property && w.message.find(text) != std::string::npos) return true;
    return false;
}

}  // namespace vcard::testing
