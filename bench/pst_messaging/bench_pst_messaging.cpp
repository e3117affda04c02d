// Prints how long the messaging layer takes to create a store with 1,000 contacts folders
// (target: well under a second), to commit and close it, and to add 1,000 small messages.
// Usage: bench_pst_messaging [directory]   (default: the system's temporary directory)
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "pst/messaging/property_tags.h"
#include "pst/messaging/store.h"
#include "zentra/error.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

fs::path freshFile(const fs::path& dir, const std::string& name) {
    fs::path p = dir / name;
    fs::remove(p);
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    try {
        using namespace pst::messaging;
        for (int run = 1; run <= 3; ++run) {
            fs::path path = freshFile(dir, "bench_messaging_folders.pst");
            auto start = Clock::now();
            auto store = Store::create(path.string(), "Bench");
            double created = msSince(start);
            pst::Nid parent = store->createFolder(store->ipmSubtree(), "Users", "IPF.Contact");
            for (int i = 0; i < 999; ++i)
                store->createFolder(i % 3 == 0 ? store->ipmSubtree() : parent, "Folder " + std::to_string(i), "IPF.Contact");
            double folders = msSince(start);
            store->close();
            double total = msSince(start);
            std::printf("run %d: create store %.1f ms, +1,000 folders %.1f ms, commit+close %.1f ms, total %.1f ms, "
                        "file %ju bytes\n",
                        run, created, folders - created, total - folders, total, static_cast<uintmax_t>(fs::file_size(path)));
            fs::remove(path);
        }

        fs::path path = freshFile(dir, "bench_messaging_messages.pst");
        auto store = Store::create(path.string(), "Bench");
        pst::Nid folder = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        auto start = Clock::now();
        for (int i = 0; i < 1000; ++i) {
            pst::ltp::PropertyMap p;
            p[mapi::PidTagMessageClass.id] = pst::ltp::stringValue("IPM.Contact");
            p[mapi::PidTagSubject.id] = pst::ltp::stringValue("Contact number " + std::to_string(i));
            p[mapi::PidTagDisplayName.id] = pst::ltp::stringValue("Contact number " + std::to_string(i));
            store->addMessage(folder, p);
        }
        double added = msSince(start);
        store->close();
        std::printf("1,000 messages: add %.1f ms, then commit+close %.1f ms, file %ju bytes\n", added,
                    msSince(start) - added, static_cast<uintmax_t>(fs::file_size(path)));
        fs::remove(path);
    } catch (const zentra::Error& e) {
        std::fprintf(stderr, "bench_pst_messaging: %ld:%s\n", e.number(), e.description().c_str());
        return 1;
    }
    return 0;
}
