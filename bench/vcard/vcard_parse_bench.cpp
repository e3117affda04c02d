// Prints the parse speed of the vCard parser in MB/s over ~100 MB of generated typical vCard
// text held in memory (the figure excludes generating the text). Build with
// CMAKE_BUILD_TYPE=Release for a meaningful figure. Both wall-clock and process CPU time are
// shown: on a shared, busy machine the wall-clock rate understates what the parser can do.
// Usage: vcard_parse_bench [megabytes=100] [rounds=3]
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vcard/reader.h"
#include "vcard_text_generator.h"

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    std::string text;
    text.reserve(megabytes * 1000000 + 4096);
    const std::size_t generated = zentra::bench::generateVCards(text, megabytes * 1000000);
    std::printf("generated %zu cards, %.1f MB\n", generated, text.size() / 1e6);

    double best = 0, bestCpu = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        vcard::Reader reader = vcard::Reader::fromBuffer(text);
        vcard::Card card;
        std::size_t cards = 0, properties = 0, warnings = 0;
        while (reader.next(card)) {
            ++cards;
            properties += card.properties.size();
            warnings += card.warnings.size();
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        const double rate = text.size() / 1e6 / seconds;
        const double cpuRate = text.size() / 1e6 / cpuSeconds;
        best = rate > best ? rate : best;
        bestCpu = cpuRate > bestCpu ? cpuRate : bestCpu;
        std::printf("round %d: %zu cards, %zu properties, %zu warnings; wall %.3f s = %.1f MB/s; cpu %.3f s = %.1f MB/s\n",
                    round + 1, cards, properties, warnings, seconds, rate, cpuSeconds, cpuRate);
        if (cards != generated) {
            std::printf("card count mismatch: generated %zu, parsed %zu\n", generated, cards);
            return 1;
        }
    }
    std::printf("vCard parse speed: %.1f MB/s wall-clock, %.1f MB/s per CPU second (best of %d rounds; "
                "target >= 100 MB/s)\n", best, bestCpu, rounds);
    return 0;
}
