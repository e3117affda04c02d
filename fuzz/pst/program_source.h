#pragma once
// Turns the fuzzer's bytes into the driver's choices: small numbers, Unicode names and property
// values. Reading past the end gives zeros and marks the source exhausted, which ends the
// program. Bulk content (long strings and binaries) comes from a generator started from four
// input bytes, so a short input can still describe values of several blocks.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pst/ltp/ltp.h"

namespace pst_fuzz {

class ProgramSource {
public:
    explicit ProgramSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool exhausted() const { return pos_ >= bytes_.size(); }
    uint8_t byte();
    uint16_t u16();
    uint32_t u32();
    uint32_t below(uint32_t n) { return n == 0 ? 0 : u16() % n; }   // 0..n-1

    // 0..maxCodePoints code points from an alphabet of ASCII, Latin-1, Greek (sigma forms),
    // Cyrillic, CJK and a character outside the BMP; never a backslash.
    std::string name(uint32_t maxCodePoints);
    // The same name with the case of some letters changed (the engine folds them together).
    std::string caseVariant(const std::string& utf8);
    // A length class: empty, short, heap-sized, or up to several blocks (limit bytes at most).
    uint32_t length(uint32_t limit);

    // A value of a type picked from the input, and the types themselves.
    pst::ltp::Value value(uint32_t sizeLimit);
    pst::ltp::Value valueOfType(uint16_t type, uint32_t sizeLimit);

    std::vector<uint8_t> bulkBytes(uint32_t count);
    std::string bulkText(uint32_t codePoints);

private:
    uint64_t nextBulk();

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    uint64_t bulkState_ = 0x9E3779B97F4A7C15ULL;
};

// Case-blind key of the driver's alphabet (ASCII, Latin-1, Greek with final sigma, Cyrillic),
// written independently of the engine's folding, to predict which siblings collide.
std::string foldedName(const std::string& utf8);

}  // namespace pst_fuzz
