// libFuzzer target for the vCard parser: any bytes must parse without crashing, hanging or
// leaking, and the typed accessors must cope with whatever properties came out.
//
// Build by hand (until fuzz/ is part of the CMake tree):
//   clang++-14 -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I vcard/include \
//     -I common/include -I vcard/src fuzz/vcard/vcard_fuzz.cpp vcard/src/*.cpp -o vcard_fuzz
//   mkdir -p fuzz-corpus && ./vcard_fuzz fuzz-corpus ../shared/corpus/vcard tests/vcard/data \
//     -max_len=65536 -max_total_time=900
// With CMake: -DZENTRA_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14, target vcard_fuzz.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "vcard/reader.h"

namespace {

void touchAccessors(const vcard::Card& card, int depth) {
    (void)card.version();
    (void)card.formattedName();
    (void)card.name();
    (void)card.nicknames();
    (void)card.organization();
    (void)card.emails();
    (void)card.phones();
    (void)card.addresses();
    (void)card.birthday();
    (void)card.anniversary();
    (void)card.urls();
    (void)card.categories();
    (void)card.instantMessaging();
    (void)card.gender();
    (void)card.related();
    (void)card.photo();
    (void)card.geo();
    (void)card.defaultPostalAddress();
    if (depth < 8)
        for (const vcard::Card& agent : card.agents) touchAccessors(agent, depth + 1);
}

bool sameProperties(const vcard::Card& a, const vcard::Card& b) {
    if (a.properties.size() != b.properties.size() || a.warnings.size() != b.warnings.size()) return false;
    for (std::size_t i = 0; i < a.properties.size(); ++i) {
        const vcard::Property& x = a.properties[i];
        const vcard::Property& y = b.properties[i];
        if (x.group != y.group || x.name != y.name || x.rawValue != y.rawValue || x.value != y.value ||
            x.bytes != y.bytes || x.isBinary != y.isBinary || x.components != y.components ||
            x.parameters.size() != y.parameters.size())
            return false;
        for (std::size_t k = 0; k < x.parameters.size(); ++k)
            if (x.parameters[k].name != y.parameters[k].name || x.parameters[k].values != y.parameters[k].values)
                return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vcard::ReaderOptions options;
    options.chunkBytes = 1 + size % 97;   // odd chunk sizes exercise the chunk boundaries
    options.maxLineBytes = 1 << 20;
    vcard::Reader reader =
        vcard::Reader::fromBuffer(std::string_view(reinterpret_cast<const char*>(data), size), options);
    // Reading into the same Card reuses its storage; the result must equal fresh cards.
    const std::vector<vcard::Card> fresh =
        vcard::parseBuffer(std::string_view(reinterpret_cast<const char*>(data), size), options);
    vcard::Card card;
    std::size_t index = 0;
    while (reader.next(card)) {
        touchAccessors(card, 0);
        if (index >= fresh.size() || !sameProperties(card, fresh[index])) __builtin_trap();
        ++index;
    }
    if (index != fresh.size()) __builtin_trap();
    return 0;
}
