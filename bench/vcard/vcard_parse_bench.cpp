// Prints the parse speed of the vCard parser in MB/s over ~100 MB of generated typical vCard
// text held in memory (the figure excludes generating the text), the heap allocations per card,
// and the same again with the typed accessors the contact mapping calls on every card. Build
// with CMAKE_BUILD_TYPE=Release for a meaningful figure. Both wall-clock and process CPU time are
// shown: on a shared, busy machine the wall-clock rate understates what the parser can do.
// Usage: vcard_parse_bench [megabytes=100] [rounds=3] [--parse-only]
//        vcard_parse_bench --dir FOLDER [rounds=3] [--parse-only] [--keep-card]   (every file of a
//            folder, one reader per file as the importer reads them; --keep-card reads every file
//            into the same Card, which lets each reader reuse the storage of the previous card)
// For instruction counts: valgrind --tool=callgrind with rounds 1 minus the same with rounds 0.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "vcard/reader.h"
#include "vcard_text_generator.h"

namespace {

std::atomic<unsigned long long> allocations{0};

}  // namespace

// Counts every heap allocation of the program, to report allocations per card.
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// The accessors the contact mapping asks of each card; the sum keeps the work from being
// optimised away.
[[gnu::noinline]] std::size_t useAccessors(const vcard::Card& card) {
    std::size_t n = card.formattedName().size() + card.title().size() + card.kind().size();
    if (auto name = card.name()) n += name->family.size();
    if (auto org = card.organization()) n += org->units.size();
    n += card.emails().size() + card.phones().size() + card.addresses().size() + card.urls().size();
    n += card.instantMessaging().size() + card.related().size() + card.notes().size() + card.categories().size();
    n += card.nicknames().size() + (card.birthday() ? 1 : 0) + (card.anniversary() ? 1 : 0);
    n += (card.gender() ? 1 : 0) + (card.photo() ? 1 : 0) + (card.geo() ? 1 : 0) + card.uid().size();
    return n;
}

struct Totals {
    std::size_t cards = 0, properties = 0, warnings = 0, used = 0;
};

void readAll(vcard::Reader& reader, bool accessors, Totals& totals, vcard::Card& card) {
    while (reader.next(card)) {
        ++totals.cards;
        totals.properties += card.properties.size();
        totals.warnings += card.warnings.size();
        if (accessors) totals.used += useAccessors(card);
    }
}

struct Input {
    std::string text;                           // generated text, or
    std::vector<std::filesystem::path> files;   // the files of a folder
    std::size_t bytes = 0;
    std::size_t expectedCards = 0;              // 0 when unknown
    bool keepCard = false;                      // one Card for all files instead of one per file
};

bool runRounds(const Input& input, int rounds, bool accessors) {
    double best = 0, bestCpu = 0, allocsPerCard = 0;
    for (int round = 0; round < rounds; ++round) {
        const unsigned long long allocsBefore = allocations.load();
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        Totals totals;
        if (input.files.empty()) {
            vcard::Reader reader = vcard::Reader::fromBuffer(input.text);
            vcard::Card card;
            readAll(reader, accessors, totals, card);
        } else {
            vcard::Card kept;   // with --keep-card one Card serves every file, handing its storage on
            for (const auto& file : input.files) {
                vcard::Reader reader = vcard::Reader::openFile(file);
                vcard::Card own;
                readAll(reader, accessors, totals, input.keepCard ? kept : own);
            }
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        const double rate = input.bytes / 1e6 / seconds;
        const double cpuRate = input.bytes / 1e6 / cpuSeconds;
        allocsPerCard = totals.cards ? double(allocations.load() - allocsBefore) / double(totals.cards) : 0;
        best = std::max(best, rate);
        bestCpu = std::max(bestCpu, cpuRate);
        std::printf("round %d: %zu cards, %zu properties, %zu warnings; wall %.3f s = %.1f MB/s; cpu %.3f s = %.1f MB/s "
                    "= %.0f cards/s; %.1f allocations/card\n",
                    round + 1, totals.cards, totals.properties, totals.warnings, seconds, rate, cpuSeconds, cpuRate,
                    totals.cards / cpuSeconds, allocsPerCard);
        if (input.expectedCards && totals.cards != input.expectedCards) {
            std::printf("card count mismatch: generated %zu, parsed %zu\n", input.expectedCards, totals.cards);
            return false;
        }
    }
    std::printf("vCard %s: %.1f MB/s wall-clock, %.1f MB/s per CPU second, %.1f allocations/card (best of %d rounds; "
                "target >= 100 MB/s)\n",
                accessors ? "parse + accessors" : "parse speed", best, bestCpu, allocsPerCard, rounds);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool parseOnly = false;
    Input input;
    for (bool more = true; more && argc > 1;) {
        const std::string last = argv[argc - 1];
        more = last == "--parse-only" || last == "--keep-card";
        if (last == "--parse-only") parseOnly = true;
        if (last == "--keep-card") input.keepCard = true;
        if (more) --argc;
    }
    int rounds = 3;
    if (argc > 2 && std::string(argv[1]) == "--dir") {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[2])) {
            if (!entry.is_regular_file()) continue;
            input.files.push_back(entry.path());
            input.bytes += entry.file_size();
        }
        std::sort(input.files.begin(), input.files.end());
        rounds = argc > 3 ? std::atoi(argv[3]) : 3;
        std::printf("%zu files, %.1f MB\n", input.files.size(), input.bytes / 1e6);
    } else {
        const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
        rounds = argc > 2 ? std::atoi(argv[2]) : 3;
        input.text.reserve(megabytes * 1000000 + 4096);
        input.expectedCards = zentra::bench::generateVCards(input.text, megabytes * 1000000);
        input.bytes = input.text.size();
        std::printf("generated %zu cards, %.1f MB\n", input.expectedCards, input.bytes / 1e6);
    }
    if (rounds <= 0) return 0;
    if (!runRounds(input, rounds, false)) return 1;
    if (!parseOnly && !runRounds(input, rounds, true)) return 1;
    return 0;
}
