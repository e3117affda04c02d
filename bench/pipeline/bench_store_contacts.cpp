// The writing side of an import alone: reads the cards of vCard files on this thread a batch
// at a time, then stores the batch into one folder of a new store the way an import does
// (OpenStore::addContact, the importer's commit policy), and prints the CPU time of this thread
// spent storing, per contact, apart from the time spent reading. Reading a batch before storing
// it leaves the contacts about as cold in the caches as the read-ahead leaves them. On a
// shared machine this thread's CPU time is a steadier figure than a whole import's wall time.
//
// Usage: bench_store_contacts FILE.vcf... [--batch N (default 1000)] [--runs R (default 3)]
//                             [--dir DIR (default: temporary)]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "pipeline/file_cards.h"
#include "pipeline/import_session.h"
#include "pipeline/open_store.h"
#include "zentra/error.h"

namespace fs = std::filesystem;

namespace {

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Figures {
    size_t contacts = 0;
    double readSeconds = 0;
    double storeSeconds = 0;   // adding, commits and the closing commit
};

Figures runOnce(const std::vector<std::string>& files, size_t batch, const fs::path& pst) {
    fs::remove(pst);
    const pipeline::ImportSettings settings;
    Figures figures;
    double start = threadCpuSeconds();
    auto store = pipeline::OpenStore::create(pst.string(), "Bench", settings.store);
    const pst::Nid folder = store->createFolder(store->store().ipmSubtree(), "Contacts", "IPF.Contact");
    figures.storeSeconds += threadCpuSeconds() - start;

    std::vector<contact::ContactItem> staged;
    auto storeStaged = [&] {
        const double before = threadCpuSeconds();
        for (contact::ContactItem& c : staged) store->addContact(folder, std::move(c));
        staged.clear();
        figures.storeSeconds += threadCpuSeconds() - before;
    };
    for (const std::string& path : files) {
        double before = threadCpuSeconds();
        auto cards = pipeline::readHere(pipeline::SourceFile{path}, settings.mapping);
        contact::ContactItem item;
        while (cards->next(item)) {
            staged.push_back(std::move(item));
            item = contact::ContactItem{};
            ++figures.contacts;
            if (staged.size() < batch) continue;
            figures.readSeconds += threadCpuSeconds() - before;
            storeStaged();
            before = threadCpuSeconds();
        }
        figures.readSeconds += threadCpuSeconds() - before;
    }
    storeStaged();
    start = threadCpuSeconds();
    store->detach();
    figures.storeSeconds += threadCpuSeconds() - start;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    size_t batch = 1000;
    int runs = 3;
    fs::path dir = fs::temp_directory_path();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--batch" && i + 1 < argc) batch = std::max<size_t>(1, std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--dir" && i + 1 < argc) dir = argv[++i];
        else files.push_back(arg);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: bench_store_contacts FILE.vcf... [--batch N] [--runs R] [--dir DIR]\n");
        return 2;
    }
    const fs::path pst = dir / "bench_store_contacts.pst";
    try {
        std::printf("%4s %10s %14s %14s %10s\n", "run", "contacts", "store us/card", "read us/card", "store MB");
        for (int run = 1; run <= runs; ++run) {
            const Figures f = runOnce(files, batch, pst);
            const double perCard = f.contacts ? 1e6 / f.contacts : 0;
            std::printf("%4d %10zu %14.2f %14.2f %10.1f\n", run, f.contacts, f.storeSeconds * perCard,
                        f.readSeconds * perCard, fs::file_size(pst) / 1e6);
            std::fflush(stdout);
            fs::remove(pst);
        }
    } catch (const zentra::Error& e) {
        std::fprintf(stderr, "bench_store_contacts: %ld:%s\n", e.number(), e.description().c_str());
        fs::remove(pst);
        return 1;
    }
    return 0;
}
