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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vcard::ReaderOptions options;
    options.chunkBytes = 1 + size % 97;   // odd chunk sizes exercise the chunk boundaries
    options.maxLineBytes = 1 << 20;
    vcard::Reader reader =
        vcard::Reader::fromBuffer(std::string_view(reinterpret_cast<const char*>(data), size), options);
    vcard::Card card;
    while (reader.next(card)) touchAccessors(card, 0);
    return 0;
}
