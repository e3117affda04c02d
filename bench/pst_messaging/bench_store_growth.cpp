// The PST engine alone as a store grows: adds contact-sized messages to one folder with the
// importer's commit policy (a commit every 1,000 messages) and prints, for each tenth of the
// run, the CPU time per message, the bytes the engine wrote against the store's size, the
// syncs, and resident memory. No vCard is parsed, so a cost that grows with the store here is
// the engine's.
// Usage: bench_store_growth [MESSAGES (default 1000000)] [DIRECTORY (default: temporary)]
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "pst/messaging/property_tags.h"
#include "pst/messaging/store.h"
#include "zentra/error.h"

namespace fs = std::filesystem;
namespace ltp = pst::ltp;

namespace {

struct Counts {
    uint64_t bytes = 0;
    uint64_t syncs = 0;
};

// Counts what reaches the file.
class CountingFile final : public pst::ndb::FileSeam {
public:
    CountingFile(std::unique_ptr<pst::ndb::FileSeam> inner, Counts& counts) : inner_(std::move(inner)), counts_(counts) {}
    void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override {
        counts_.bytes += bytes.size();
        inner_->writeAt(offset, bytes);
    }
    void readAt(uint64_t offset, std::span<uint8_t> bytes) override { inner_->readAt(offset, bytes); }
    void truncate(uint64_t size) override { inner_->truncate(size); }
    void sync() override {
        ++counts_.syncs;
        inner_->sync();
    }
    uint64_t size() override { return inner_->size(); }
    void publish() override { inner_->publish(); }
    void abandon() override { inner_->abandon(); }

private:
    std::unique_ptr<pst::ndb::FileSeam> inner_;
    Counts& counts_;
};

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// About what a mapped vCard of bench/data/make_vcards.py holds.
ltp::PropertyMap contact(uint32_t n) {
    const std::string id = std::to_string(n);
    const std::string name = "Katarzyna Papadopoulos-" + id;
    ltp::PropertyMap p;
    p[mapi::PidTagMessageClass.id] = ltp::stringValue("IPM.Contact");
    p[mapi::PidTagSubject.id] = ltp::stringValue(name);
    p[mapi::PidTagDisplayName.id] = ltp::stringValue(name);
    p[0x3A06] = ltp::stringValue("Katarzyna");                                   // GivenName
    p[0x3A11] = ltp::stringValue("Papadopoulos-" + id);                          // Surname
    p[0x3A16] = ltp::stringValue("Müller & Söhne GmbH");                         // CompanyName
    p[0x3A17] = ltp::stringValue("Account Manager " + std::to_string(n % 7));   // Title
    p[0x3A08] = ltp::stringValue("+49 30 " + std::to_string(1000000 + n));      // BusinessTelephoneNumber
    p[0x3A09] = ltp::stringValue("+49 30 " + std::to_string(2000000 + n));      // HomeTelephoneNumber
    p[0x3A1C] = ltp::stringValue("+49 170 " + std::to_string(3000000 + n));     // MobileTelephoneNumber
    p[0x3A29] = ltp::stringValue(std::to_string(n % 999) + " Main Street");     // StreetAddress
    p[0x3A27] = ltp::stringValue("Berlin");                                      // Locality
    p[0x3A2A] = ltp::stringValue("10115");                                       // PostalCode
    p[0x3A26] = ltp::stringValue("Germany");                                     // Country
    p[0x3A5D] = ltp::stringValue(std::to_string(n % 777) + " Home Road");        // HomeAddressStreet
    p[0x3A59] = ltp::stringValue("Kraków");                                      // HomeAddressCity
    p[0x3A51] = ltp::stringValue("https://example.com/kat" + id);                // BusinessHomePage
    p[0x1000] = ltp::stringValue("Met at the " + std::to_string(2000 + n % 25) + " conference, follow up.");
    p[0x3A42] = ltp::timeValue(mapi::FileTime{(116444736000000000ULL + n * 864000000000ULL % 2000000000000000ULL)});   // Birthday
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t total = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    const fs::path dir = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    const fs::path path = dir / "bench_store_growth.pst";
    fs::remove(path);
    Counts counts;
    try {
        pst::messaging::StoreOptions options;
        options.commitEveryMessages = 1000;
        options.database.openFile = [&counts](const std::string& p) {
            return std::make_unique<CountingFile>(pst::ndb::createPosixFile(p), counts);
        };
        auto store = pst::messaging::Store::create(path.string(), "Growth", options);
        const pst::Nid folder = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        const uint32_t step = std::max<uint32_t>(total / 10, 1);
        std::printf("%10s %12s %14s %12s %10s %8s %10s\n", "messages", "us/message", "written MB", "store MB",
                    "wr/store", "syncs", "RSS MB");
        double cpuBefore = cpuSeconds();
        for (uint32_t n = 0; n < total; ++n) {
            store->addMessage(folder, contact(n));
            if ((n + 1) % step != 0 && n + 1 != total) continue;
            if (n + 1 == total) store->close();
            const double cpu = cpuSeconds();
            const uint64_t size = fs::file_size(path);
            std::printf("%10u %12.1f %14.1f %12.1f %10.2f %8ju %10.1f\n", n + 1, 1e6 * (cpu - cpuBefore) / step,
                        counts.bytes / 1e6, size / 1e6, static_cast<double>(counts.bytes) / size,
                        static_cast<uintmax_t>(counts.syncs), residentKb() / 1024.0);
            std::fflush(stdout);
            cpuBefore = cpu;
        }
        fs::remove(path);
    } catch (const zentra::Error& e) {
        std::fprintf(stderr, "bench_store_growth: %ld:%s\n", e.number(), e.description().c_str());
        return 1;
    }
    return 0;
}
