// A store past 2 GB, where the header's rgbFP no longer covers the file and [MS-PST] wants FPMap
// pages: the checkers and every reader must read it back. Written sparse so it costs seconds:
// about 2 GB of filler data whose data blocks never reach the disk pushes the contacts past the
// 2 GB mark and is then released, so the finished file is a valid store whose free space is a
// hole. Nothing reads the filler's bytes: released space is only ever marked free.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "messaging_support.h"
#include "pst/disk/layout.h"
#include "pstcheck/checker.h"

using namespace pst;
using namespace pst::messaging;
using namespace messaging_test;

namespace {

constexpr uint64_t kTwoGigabytes = uint64_t{1} << 31;

// A plain file that grows without reserving space (the engine's own file reserves it, which
// would make the hole real) and, while `dropData` is set, skips the writes of data blocks.
// Internal blocks (XBLOCKs) still reach the disk: releasing a tree reads them back.
class SparseFile final : public ndb::FileSeam {
public:
    SparseFile(const std::string& path, const bool& dropData) : path_(path), dropData_(dropData) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ < 0) fail("creating");
    }
    ~SparseFile() override { ::close(fd_); }

    void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override {
        if (dropData_ && isDataBlock(bytes)) return;
        if (::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset)) != static_cast<ssize_t>(bytes.size()))
            fail("writing");
    }
    void readAt(uint64_t offset, std::span<uint8_t> bytes) override {
        if (::pread(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset)) != static_cast<ssize_t>(bytes.size()))
            fail("reading");
    }
    void truncate(uint64_t size) override {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) fail("resizing");
    }
    void sync() override {
        if (::fdatasync(fd_) != 0) fail("flushing");
    }
    uint64_t size() override {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        if (end < 0) fail("examining");
        return static_cast<uint64_t>(end);
    }

private:
    // Writes are not gathered here, so a write of a block's size is that block alone; the BID
    // closes its trailer, and bit 1 marks an internal block. Map pages, written whenever the
    // file grows under the committed header, name their page type twice where a block's
    // trailer holds its size (at most 496 for a 512-byte block, so the two bytes never match).
    static bool isDataBlock(std::span<const uint8_t> bytes) {
        if (bytes.size() < disk::kBlockTrailerSize || bytes.size() % disk::kBlockAlign != 0) return false;
        if (bytes.size() == disk::kPageSize && bytes[disk::kPageDataSize] >= disk::kPtypeBBT &&
            bytes[disk::kPageDataSize] == bytes[disk::kPageDataSize + 1])
            return false;
        uint64_t bid = 0;
        for (int i = 7; i >= 0; --i) bid = bid << 8 | bytes[bytes.size() - 8 + static_cast<size_t>(i)];
        return !disk::isInternalBid(bid);
    }
    [[noreturn]] void fail(const char* what) {
        throw zentra::Error(zentra::kErrStoreWrite, std::string(what) + " " + path_ + ": " + std::strerror(errno));
    }

    std::string path_;
    const bool& dropData_;
    int fd_ = -1;
};

// Data trees that take every byte below `mark`: 64 MB trees past it, then blocks of falling
// sizes until each size lands past it, so no gap is left below. Whatever the store writes
// next lies past the mark.
std::vector<Bid> fillBelow(ndb::NodeDatabase& db, uint64_t mark) {
    const std::vector<uint8_t> chunk(64u << 20, 0x5A);
    std::vector<Bid> filler;
    while (db.fileSize() < mark + (16u << 20)) filler.push_back(db.writeData(chunk));
    for (uint32_t onDisk = disk::kMaxBlockSize; onDisk >= disk::kBlockAlign; onDisk /= 2) {
        const std::span<const uint8_t> payload(chunk.data(), onDisk - disk::kBlockTrailerSize);
        do filler.push_back(db.writeData(payload));
        while (db.findBlock(filler.back())->ib < mark);
    }
    return filler;
}

ltp::PropertyMap contact(int n) {
    const std::string name = "Contact " + std::to_string(n);
    ltp::PropertyMap p;
    p[mapi::PidTagMessageClass.id] = ltp::stringValue("IPM.Contact");
    p[mapi::PidTagSubject.id] = ltp::stringValue(name);
    p[mapi::PidTagDisplayName.id] = ltp::stringValue(name);
    p[0x3A06] = ltp::stringValue("Contact");            // PidTagGivenName
    p[0x3A11] = ltp::stringValue(std::to_string(n));    // PidTagSurname
    return p;
}

}  // namespace

TEST(MessagingLargeStore, ContactsPastTwoGigabytesReadBackEverywhere) {
    ScratchDir dir;
    const std::string path = dir.file("large.pst");
    bool dropData = false;
    {
        StoreOptions options;
        options.uid = fixedUid();
        options.database.writeBehindBytes = 0;   // one write per block, so the seam sees blocks
        options.database.openFile = [&dropData](const std::string& p) { return std::make_unique<SparseFile>(p, dropData); };
        auto store = Store::create(path, "Large", options);
        const Nid contacts = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        store->commit();

        ndb::NodeDatabase& db = store->database();
        dropData = true;
        const std::vector<Bid> filler = fillBelow(db, kTwoGigabytes);
        dropData = false;
        // No commit in between: the commit after such growth would set up to 64 MB aside again.
        for (int n = 0; n < 50; ++n) store->addMessage(contacts, contact(n));
        for (Bid b : filler) db.release(b);
        store->close();
    }

    {
        FileNodes file(path);
        const auto& header = file.reader().header();
        EXPECT_GT(header.root.ibFileEof, disk::amapOffset(disk::kAMapsCoveredByHeaderFP));
        size_t pastTwoGigabytes = 0, messages = 0;
        for (const auto& [nid, node] : file.reader().nodes()) {
            if (nidType(nid) != kNidTypeNormalMessage) continue;
            ++messages;
            pastTwoGigabytes += file.reader().blocks().at(node.data).ib > kTwoGigabytes;
        }
        EXPECT_EQ(messages, 50u);
        EXPECT_EQ(pastTwoGigabytes, messages) << "the contacts should lie past the 2 GB mark";
        EXPECT_GT(header.root.BREFNBT.ib, kTwoGigabytes);
        EXPECT_GT(header.root.BREFBBT.ib, kTwoGigabytes);
        EXPECT_EQ(ipmTreeOf(file), (FolderTree{{"Deleted Items", ""}, {"Contacts", "IPF.Contact"}}));
    }
    expectSoundEverywhere(path, false);

    // Both checkers read the FPMap page: a damaged one is reported where it lies.
    const uint64_t fpmap = disk::amapOffset(disk::kAMapsCoveredByHeaderFP) + disk::kFPMapOffsetInSpan;
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(fpmap + 100));
        f.put('\0');
    }
    const pstcheck::Report report = pstcheck::checkFile(path);
    EXPECT_TRUE(std::any_of(report.findings.begin(), report.findings.end(),
                            [&](const pstcheck::Finding& f) { return f.code == "page.crc" && f.offset == fpmap; }))
        << report.toText();
    FileNodes file(path);
    EXPECT_EQ(file.reader().verify(), std::vector<std::string>{"FPMap in span 8192: bad trailer"});
}
