// Imports N generated photo-less contacts, one vCard file each, through the mail-store
// components into one contacts folder, the way the program's import loop does, and prints
// contacts per second, MB/s of vCard input, peak RSS and the size of the written store.
// Targets: at least 20,000 contacts/s; 100,000 contacts with a peak RSS of 150 MB or less.
// The CPU time (user + system) is printed too: on a shared machine it is the steadier figure.
//
// Usage: bench_items [N ...] [--per-file K] [--dir DIR]
//   (default N: 10000 100000; K: 1 card per file; DIR: the temporary directory)
// With --per-file K the cards come K to a file, so one Import brings many contacts.
// Each N runs in a child process of its own, so every peak RSS belongs to one run.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "mailstore/factories.h"
#include "mailstore/profile.h"
#include "zentra/error.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The generator writes the same cards for the same arguments, so runs compare.
fs::path generate(const fs::path& dir, long contacts, long perFile) {
    fs::path out = dir / ("bench_items_vcf_" + std::to_string(contacts) + (perFile > 1 ? "x" + std::to_string(perFile) : ""));
    if (fs::exists(out / "done")) return out;
    fs::remove_all(out);
    std::string command = "python3 '" + std::string(ZENTRA_SOURCE_DIR) + "/bench/data/make_vcards.py' '" +
                          out.string() + "' --contacts " + std::to_string(contacts) +
                          " --folders 1 --photo-share 0 --per-file " + std::to_string(perFile) + " > /dev/null";
    if (std::system(command.c_str()) != 0) throw zentra::Error(zentra::kErrDeviceIO, "generator failed: " + command);
    std::FILE* done = std::fopen((out / "done").c_str(), "w");
    if (done) std::fclose(done);
    return out;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int runOne(long contacts, long perFile, const fs::path& dir) {
    fs::path input = generate(dir, contacts, perFile);
    std::vector<std::string> files;   // plain strings: fs::path keeps parsed components too
    uintmax_t inputBytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(input))
        if (entry.is_regular_file() && entry.path().extension() == ".vcf") {
            files.push_back(entry.path().string());
            inputBytes += entry.file_size();
        }
    std::sort(files.begin(), files.end());
    fs::path pst = dir / ("bench_items_" + std::to_string(contacts) + ".pst");
    fs::remove(pst);
    long rssBefore = peakRssKb();

    auto session = zentra::mailstore::createSession();
    session->Logon();
    auto start = Clock::now();
    double cpuStart = cpuSeconds();
    auto store = session->Stores()->AddPSTStore(pst.string(), 1, "Bench");
    store->IPMRootFolder()->Folders()->Add("Contacts", 10);
    auto folder = session->GetFolderFromPath("\\\\Bench\\Contacts");
    long warnings = 0;
    for (const std::string& file : files) {
        auto item = folder->Items()->Add(2);
        item->Import(file, 6);
        item->Save();
        warnings += static_cast<long>(item->Outcome().warningCount);
    }
    long saved = folder->Items()->Count();
    store->Remove();
    session->Logoff();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    double cpu = cpuSeconds() - cpuStart;

    std::printf("%ld contacts (%zu files, %.1f MB of vCards, %ld warnings): %.2f s, %.0f contacts/s, %.1f MB/s; "
                "CPU %.2f s, %.0f contacts per CPU second; peak RSS %.1f MB (%.1f MB before the import); store %.1f MB\n",
                saved, files.size(), inputBytes / 1e6, warnings, seconds, saved / seconds, inputBytes / 1e6 / seconds, cpu, saved / cpu,
                peakRssKb() / 1024.0, rssBefore / 1024.0, fs::file_size(pst) / 1e6);
    fs::remove(pst);
    return saved == contacts ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> counts;
    fs::path dir = fs::temp_directory_path();
    long perFile = 1;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (arg == "--per-file" && i + 1 < argc)
            perFile = std::max(1L, std::atol(argv[++i]));
        else
            counts.push_back(std::atol(arg.c_str()));
    }
    if (counts.empty()) counts = {10000, 100000};
    int status = 0;
    for (long n : counts) {
        std::fflush(stdout);
        pid_t child = fork();
        if (child == 0) {
            try {
                int rc = runOne(n, perFile, dir);
                std::fflush(stdout);
                std::_Exit(rc);
            } catch (const zentra::Error& e) {
                std::fprintf(stderr, "bench_items: %ld:%s\n", e.number(), e.description().c_str());
                std::fflush(stdout);
                std::_Exit(1);
            }
        }
        int childStatus = 0;
        waitpid(child, &childStatus, 0);
        if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0) status = 1;
    }
    return status;
}
