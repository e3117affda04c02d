// Writes 100,000 small nodes (300 bytes of data each) with a commit after every 1,000, as a
// long import does, and prints the time, the commit cost, the file size and the peak RSS.
// Usage: bench_pst_ndb [directory] [nodes] [nodes-per-commit]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "pst/ndb/node_database.h"
#include "store_reader.h"

namespace {

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    const uint32_t nodes = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 100000;
    const uint32_t perCommit = argc > 3 ? static_cast<uint32_t>(std::atoi(argv[3])) : 1000;
    const std::string path = (dir / ("bench-ndb-" + std::to_string(::getpid()) + ".pst")).string();

    std::vector<uint8_t> payload(300);
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration inCommit{};
    std::chrono::steady_clock::duration slowestCommit{};
    auto db = pst::ndb::NodeDatabase::create(path);
    for (uint32_t i = 0; i < nodes; ++i) {
        for (size_t k = 0; k < payload.size(); ++k) payload[k] = static_cast<uint8_t>(i + k);
        const pst::Nid nid = db->allocateNid(pst::kNidTypeNormalMessage);
        db->putNode(nid, db->writeData(payload), 0, 0x8022);
        if ((i + 1) % perCommit == 0) {
            const auto c = std::chrono::steady_clock::now();
            db->commit();
            const auto took = std::chrono::steady_clock::now() - c;
            inCommit += took;
            slowestCommit = std::max(slowestCommit, took);
        }
    }
    db->close();
    const double total = seconds(std::chrono::steady_clock::now() - start);
    const uint64_t size = std::filesystem::file_size(path);

    std::printf("nodes written:         %u (300 data bytes each), commit every %u\n", nodes, perCommit);
    std::printf("total time:            %.3f s (%.0f nodes/s)\n", total, nodes / total);
    std::printf("time in commits:       %.3f s over %u commits, slowest %.1f ms\n", seconds(inCommit),
                nodes / perCommit, seconds(slowestCommit) * 1000);
    std::printf("file size:             %llu bytes (%.1f MB)\n", static_cast<unsigned long long>(size), size / 1048576.0);
    std::printf("peak RSS:              %ld KB\n", peakRssKb());

    const auto v0 = std::chrono::steady_clock::now();
    pst::readback::StoreReader reader(path);
    const auto problems = reader.verify();
    std::printf("verified:              %zu nodes, %zu blocks, NBT %u / BBT %u levels, %zu problems (%.2f s)\n",
                reader.nodes().size(), reader.blocks().size(), reader.nbtLevels(), reader.bbtLevels(), problems.size(),
                seconds(std::chrono::steady_clock::now() - v0));
    for (size_t i = 0; i < problems.size() && i < 5; ++i) std::printf("  %s\n", problems[i].c_str());
    std::filesystem::remove(path);
    return problems.empty() ? 0 : 1;
}
