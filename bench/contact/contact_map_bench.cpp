// Prints how many photo-less contacts per second the parser plus the mapping handle, and the
// mapping alone, over generated cards typical of phone and web address-book exports, or over
// every .vcf file of a folder (e.g. one written by bench/data/make_vcards.py).
//   contact_map_bench [contacts]   (default 100000)
//   contact_map_bench FOLDER
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <algorithm>
#include <atomic>
#include <new>

#include "contact/mapper.h"

// Every allocation through operator new is counted, so the bench can say how many heap
// allocations mapping one contact costs (the allocator is a large share of the import's time).
namespace {
std::atomic<std::size_t> allocationCount{0};
}

void* operator new(std::size_t size) {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

std::string generatedCards(std::size_t count) {
    std::string text;
    text.reserve(count * 700);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        text += "N:Surname" + n + ";Given" + n + ";Middle;Dr.;\r\nFN:Dr. Given" + n + " Middle Surname" + n + "\r\n";
        text += "ORG:Example Company " + n + ";Sales\r\nTITLE:Manager\r\n";
        text += "EMAIL;TYPE=INTERNET,pref:given" + n + "@example.com\r\nEMAIL;TYPE=INTERNET,HOME:g" + n +
                "@home.example\r\n";
        text += "TEL;TYPE=CELL:+49 170 " + n + "\r\nTEL;TYPE=WORK,VOICE:+49 30 " + n + "\r\nTEL;TYPE=WORK,FAX:+49 30 9" +
                n + "\r\n";
        text += "ADR;TYPE=WORK:;;Hauptstra\xC3\x9F" "e " + n + ";Berlin;;10115;Germany\r\n";
        text += "ADR;TYPE=HOME:;;Elm Street " + n + ";Springfield;IL;62701;USA\r\n";
        if (i % 3 == 0) text += "BDAY:1980-03-22\r\n";
        if (i % 4 == 0) text += "NOTE:Met at the conference\\nSecond line\r\n";
        if (i % 5 == 0) text += "CATEGORIES:Work,Friends\r\nURL:http://example.com/" + n + "\r\n";
        text += "UID:" + n + "\r\nREV:2024-01-01T00:00:00Z\r\nEND:VCARD\r\n";
    }
    return text;
}

// Every .vcf file under `folder`, in name order, one after the other.
std::string folderCards(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == ".vcf") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::string text;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        text += bytes.str();
        if (!text.empty() && text.back() != '\n') text += "\r\n";
    }
    return text;
}

// Process CPU time: the machine's cores are shared, so wall-clock figures swing with other work.
double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
    const bool fromFolder = argc > 1 && std::filesystem::is_directory(argv[1]);
    const std::size_t count = argc > 1 && !fromFolder ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const std::string text = fromFolder ? folderCards(argv[1]) : generatedCards(count);
    contact::MapOptions options;

    // Parse and map, streaming: one card and one item alive at a time.
    std::size_t items = 0, properties = 0;
    double start = cpuSeconds();
    vcard::Reader reader = vcard::Reader::fromBuffer(text);
    for (vcard::Card card; reader.next(card); card = vcard::Card()) {
        const contact::ContactItem item = contact::mapCard(card, options);
        properties += item.properties.size();
        ++items;
    }
    const double both = cpuSeconds() - start;

    // Parse alone, to tell the two costs apart.
    start = cpuSeconds();
    std::size_t parsed = 0;
    vcard::Reader again = vcard::Reader::fromBuffer(text);
    for (vcard::Card card; again.next(card); card = vcard::Card()) ++parsed;
    const double parseOnly = cpuSeconds() - start;

    // Mapping alone over cards parsed beforehand (a bounded number, so memory stays small).
    std::vector<vcard::Card> cards = vcard::parseBuffer(std::string_view(text).substr(0, std::min<std::size_t>(text.size(), 10u << 20)));
    const int rounds = 5;
    start = cpuSeconds();
    const std::size_t allocationsBefore = allocationCount.load();
    std::size_t mapped = 0;
    contact::ContactItem item;   // one item for every card, its memory kept, as the import does
    for (int round = 0; round < rounds; ++round)
        for (const vcard::Card& card : cards) {
            contact::mapCard(card, options, item);
            mapped += item.properties.empty() ? 0 : 1;
        }
    const double mapOnly = cpuSeconds() - start;
    const std::size_t mapAllocations = allocationCount.load() - allocationsBefore;

    std::printf("cards: %zu (%.1f MB of vCard text), %.1f properties per contact\n", items, text.size() / 1e6,
                items ? static_cast<double>(properties) / items : 0.0);
    std::printf("parse + map: %.3f s CPU, %.0f contacts/s\n", both, items / both);
    std::printf("parse only:  %.3f s CPU, %.0f contacts/s\n", parseOnly, parsed / parseOnly);
    std::printf("map only:    %.3f s CPU for %zu cards, %.0f contacts/s\n", mapOnly, mapped, mapped / mapOnly);
    std::printf("map only:    %.1f heap allocations per contact\n", mapped ? static_cast<double>(mapAllocations) / mapped : 0.0);
    return fromFolder || items == count ? 0 : 1;
}
