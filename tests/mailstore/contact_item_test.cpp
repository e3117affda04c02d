// Contact items as the import loop drives them: Items.Add(2), Import(path, 6), Save, and what
// reaches the file: one contact per card in file order, the photo attachment, sizes and rows
// that match the messages, failures that name the file, and commits during a long import.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "mapi/property_catalogue.h"
#include "contact_item.h"
#include "contact_item_support.h"
#include "mailstore/factories.h"
#include "mailstore/session_options.h"
#include "pst/ndb/node_database.h"
#include "zentra/path_list.h"

using namespace zentra;
using namespace zentra::mailstore;
using namespace contact_item_test;
using messaging_test::FileNodes;
using messaging_test::int32;
using messaging_test::text;

namespace {

constexpr const char* kStoreName = "Contacts test";

struct OpenStore {
    std::shared_ptr<Session> session;
    std::shared_ptr<Store> store;
    std::shared_ptr<Folder> folder;
};

OpenStore openStore(const std::string& path, const SessionOptions& options = {}) {
    OpenStore s;
    s.session = createSession(options);
    s.session->Logon();
    s.store = s.session->Stores()->AddPSTStore(path, 1, kStoreName);
    s.folder = s.store->IPMRootFolder()->Folders()->Add("Friends", kFolderTypeContacts);
    return s;
}

// What the program's loop does with one file; returns the item for its report.
std::shared_ptr<Item> importAndSave(Folder& folder, const std::string& path) {
    auto item = folder.Items()->Add(kItemTypeContact);
    try {
        item->Import(path, kImportFormatVCard);
    } catch (const Error&) {
        item->Save();   // the loop saves the item whatever Import said
        throw;
    }
    item->Save();
    return item;
}

std::string manyCards(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Person" + std::to_string(i) + ";Given;;;\r\nFN:Given Person" +
                std::to_string(i) + "\r\nEMAIL:p" + std::to_string(i) + "@example.org\r\nEND:VCARD\r\n";
    return text;
}

uint16_t addressId(pst::messaging::NameToIdMap& names, const mapi::NamedProperty& property) {
    auto id = names.find(property.set, property.lid);
    EXPECT_TRUE(id.has_value()) << "PSETID_Address LID 0x" << std::hex << property.lid << " not in the map";
    return id.value_or(0);
}

}  // namespace

TEST(ContactItems, EveryCardOfAFileBecomesOneContactInFileOrderWithItsPhoto) {
    Scratch dir;
    std::string path = dir.file("two.pst");
    {
        OpenStore s = openStore(path);
        auto item = s.folder->Items()->Add(kItemTypeContact);
        item->Import(dataFile("two_people.vcf").string(), kImportFormatVCard);
        EXPECT_EQ(s.folder->Items()->Count(), 0) << "nothing is stored before Save";
        item->Save();
        EXPECT_EQ(item->Outcome().status, pipeline::FileOutcome::Status::Imported);
        EXPECT_EQ(item->Outcome().contactsStored, 2u);
        EXPECT_EQ(item->Outcome().cardsRead, 2u);
        EXPECT_TRUE(item->Outcome().allCardsRead);
        EXPECT_EQ(s.folder->Items()->Count(), 2);
        item->Save();   // saving again stores nothing new
        EXPECT_EQ(s.folder->Items()->Count(), 2);
        EXPECT_EQ(errorNumber([&] { item->Import(dataFile("two_people.vcf").string(), 6); }), kErrInvalidCall);
        s.store->Remove();
    }
    messaging_test::expectStructurallySound(path);

    FileNodes file(path);
    FolderContents folder = readFolder(file, "Friends");
    ASSERT_EQ(folder.messages.size(), 2u);
    const auto& astrid = folder.messages[0].pc;
    const auto& chidi = folder.messages[1].pc;
    EXPECT_EQ(textOf(astrid, mapi::PidTagMessageClass.id), "IPM.Contact");
    EXPECT_EQ(textOf(astrid, mapi::PidTagGivenName.id), "Astrid");
    EXPECT_EQ(textOf(astrid, mapi::PidTagSurname.id), "Lindqvist");
    EXPECT_EQ(textOf(astrid, mapi::PidTagHomeAddressStateOrProvince.id), "Uppsala län");
    EXPECT_EQ(textOf(chidi, mapi::PidTagMessageClass.id), "IPM.Contact");
    EXPECT_EQ(textOf(chidi, mapi::PidTagSurname.id), "Okafor");

    auto names = nameMapOf(file);
    EXPECT_EQ(textOf(astrid, addressId(names, mapi::PidLidFileUnder)), "Lindqvist, Astrid Maria");
    EXPECT_EQ(textOf(astrid, addressId(names, mapi::PidLidEmail1EmailAddress)),
              "astrid.lindqvist@nordlicht.example");
    EXPECT_EQ(textOf(chidi, addressId(names, mapi::PidLidEmail1EmailAddress)), "chidi@okafor.example");
    auto keywords = names.find(mapi::kPsPublicStrings, "keywords");   // string names ignore case
    ASSERT_TRUE(keywords.has_value());
    ASSERT_TRUE(astrid.count(*keywords));
    EXPECT_EQ(astrid.at(*keywords).type, pst::ltp::kPtypMultipleString);

    // Size and row: PidTagMessageSize is what the node takes; the row copies the message.
    for (const StoredMessage& m : folder.messages) {
        auto node = file.findNode(m.nid);
        ASSERT_TRUE(node.has_value());
        EXPECT_EQ(node->parent, folder.folder);
        EXPECT_EQ(static_cast<uint64_t>(int32(m.pc.at(0x0E08))),
                  file.dataTreeSize(node->data) + file.subnodeTreeSize(node->subnodes));
        const auto& row = std::find_if(folder.table.rows.begin(), folder.table.rows.end(),
                                       [&](const auto& r) { return r.first == m.nid; })->second;
        for (const auto& [cellTag, value] : row) {
            uint16_t id = pst::messaging::tagId(cellTag);
            if (id == 0x67F2 || id == 0x67F3) continue;   // row id and version belong to the table
            ASSERT_TRUE(m.pc.count(id)) << "row cell 0x" << std::hex << cellTag << " is not in the message";
            EXPECT_EQ(m.pc.at(id).bytes, value.bytes) << "row cell 0x" << std::hex << cellTag;
        }
    }

    // The photo: one attachment, numbered, flagged as the contact photo, bytes as in the card.
    auto node = file.findNode(folder.messages[0].nid);
    std::optional<pst::ltp::PropertyMap> photo;
    for (const auto& e : file.readSubnodeTree(node->subnodes))
        if (pst::nidType(e.nid) == pst::kNidTypeAttachment) {
            ASSERT_FALSE(photo.has_value()) << "more than one attachment";
            photo = pst::ltp::readPropertyContext(file, e.data, e.subnodes);
        }
    ASSERT_TRUE(photo.has_value());
    std::string jpeg = readBytes(dataFile("photo.jpg"));
    EXPECT_EQ(photo->at(mapi::PidTagAttachDataBinary.id).bytes, std::vector<uint8_t>(jpeg.begin(), jpeg.end()));
    EXPECT_EQ(int32(photo->at(0x0E21)), 0);   // PidTagAttachNumber
    EXPECT_EQ(photo->at(mapi::PidTagAttachmentContactPhoto.id).bytes, std::vector<uint8_t>{1});
    EXPECT_EQ(photo->at(0x0E20).type, pst::ltp::kPtypInteger32);   // PidTagAttachSize
    ASSERT_TRUE(astrid.count(addressId(names, mapi::PidLidHasPicture)));
    EXPECT_EQ(astrid.at(addressId(names, mapi::PidLidHasPicture)).bytes, std::vector<uint8_t>{1});
}

// A file that gives no card fails naming itself and leaves nothing behind: no blank contact for
// Outlook to show as an empty row. An item saved without any Import is still a contact with
// nothing but its class, as a new item of a mail store is.
TEST(ContactItems, AFileWithoutACardFailsNamingItAndLeavesNoContact) {
    Scratch dir;
    std::string path = dir.file("empty.pst");
    std::string vcf = dataFile("no_card.vcf").string();
    {
        OpenStore s = openStore(path);
        auto item = s.folder->Items()->Add(kItemTypeContact);
        std::string description;
        EXPECT_EQ(errorNumber([&] { item->Import(vcf, kImportFormatVCard); }, &description), kErrImportFailed);
        EXPECT_NE(description.find(vcf), std::string::npos) << description;
        EXPECT_EQ(item->Outcome().status, pipeline::FileOutcome::Status::Failed);
        EXPECT_EQ(item->Outcome().errorNumber, kErrImportFailed);
        EXPECT_EQ(item->Outcome().cardsRead, 0u);
        item->Save();
        EXPECT_EQ(s.folder->Items()->Count(), 0);
        s.folder->Items()->Add(kItemTypeContact)->Save();
        EXPECT_EQ(s.folder->Items()->Count(), 1);
        s.store->Remove();
    }
    messaging_test::expectStructurallySound(path);
    FileNodes file(path);
    FolderContents folder = readFolder(file, "Friends");
    ASSERT_EQ(folder.messages.size(), 1u);
    const auto& pc = folder.messages[0].pc;
    EXPECT_EQ(textOf(pc, mapi::PidTagMessageClass.id), "IPM.Contact");
    for (uint16_t id : {mapi::PidTagDisplayName.id, mapi::PidTagGivenName.id, mapi::PidTagSurname.id,
                        mapi::PidTagSubject.id, mapi::PidTagBody.id})
        EXPECT_FALSE(pc.count(id)) << "an empty contact has no 0x" << std::hex << id;
    for (const auto& [id, value] : pc) EXPECT_LT(id, 0x8000) << "an empty contact has no named properties";
}

TEST(ContactItems, UnreadableSourcesFailWithTheirReasonAndAWrongFormatIsRefused) {
    Scratch dir;
    OpenStore s = openStore(dir.file("fail.pst"));
    auto item = s.folder->Items()->Add(kItemTypeContact);
    std::string description;

    EXPECT_EQ(errorNumber([&] { item->Import(dataFile("two_people.vcf").string(), 1); }), kErrInvalidArgument);
    std::string missing = dir.file("missing.vcf");
    EXPECT_EQ(errorNumber([&] { item->Import(missing, 6); }, &description), kErrFileNotFound);
    EXPECT_NE(description.find(missing), std::string::npos) << description;
    fs::create_directories(dir.path() / "folder.vcf");
    EXPECT_EQ(errorNumber([&] { item->Import(dir.file("folder.vcf"), 6); }), kErrPathNotFound);
    EXPECT_EQ(errorNumber([&] { item->Import(dir.file("folder.vcf/inside.vcf"), 6); }), kErrFileNotFound);
    EXPECT_EQ(errorNumber([&] { item->Import("/dev/zero", 6); }, &description), kErrDeviceIO);
    fs::create_symlink("/dev/zero", dir.path() / "device.vcf");   // a link to a device endlessly streams
    EXPECT_EQ(errorNumber([&] { item->Import(dir.file("device.vcf"), 6); }, &description), kErrDeviceIO);
    EXPECT_NE(description.find("device.vcf"), std::string::npos) << description;

    // Nobody writes to this pipe: opening it for reading would wait forever.
    std::string fifo = dir.file("x.vcf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto attempt = std::async(std::launch::async, [&] {
        return errorNumber([&] { item->Import(fifo, 6); }, &description);
    });
    if (attempt.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        int unblock = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);   // releases a reader stuck in open
        if (unblock >= 0) ::close(unblock);
        ADD_FAILURE() << "Import of a FIFO blocked";
    }
    EXPECT_EQ(attempt.get(), kErrDeviceIO);
    EXPECT_NE(description.find(fifo), std::string::npos) << description;

    EXPECT_EQ(item->Outcome().contactsStored, 0u);
    item->Save();   // nothing to store after a failed Import
    EXPECT_EQ(s.folder->Items()->Count(), 0);

    s.store->Remove();
    auto late = s.folder;   // a folder kept after Remove fails cleanly
    EXPECT_EQ(errorNumber([&] { late->Items(); }), kErrStoreDetached);
}

TEST(ContactItems, DamagedCardsGiveWarningsAndStillBecomeContacts) {
    Scratch dir;
    std::string path = dir.file("damaged.pst");
    {
        OpenStore s = openStore(path);
        auto item = importAndSave(*s.folder, dataFile("damaged.vcf").string());
        EXPECT_EQ(item->Outcome().contactsStored, 2u) << "the unterminated second card is kept";
        const auto& warnings = item->Outcome().warnings;
        ASSERT_FALSE(warnings.empty());
        EXPECT_EQ(item->Outcome().warningCount, warnings.size());
        bool tiedToALine = false;
        for (const pipeline::FileWarning& w : warnings) tiedToALine |= w.line != 0 && w.card != 0;
        EXPECT_TRUE(tiedToALine) << pipeline::describe(warnings.front());
        EXPECT_EQ(s.folder->Items()->Count(), 2);

        // A clean file afterwards reports its own (empty) warnings, not the previous ones.
        auto clean = importAndSave(*s.folder, dataFile("two_people.vcf").string());
        EXPECT_TRUE(clean->Outcome().warnings.empty());
        s.store->Remove();
    }
    messaging_test::expectStructurallySound(path);
    FileNodes file(path);
    FolderContents folder = readFolder(file, "Friends");
    ASSERT_EQ(folder.messages.size(), 4u);
    EXPECT_EQ(textOf(folder.messages[0].pc, mapi::PidTagSurname.id), "Brandt");
    EXPECT_EQ(textOf(folder.messages[1].pc, mapi::PidTagSurname.id), "Weiss");
}

// A file with more cards than the read-ahead may hold streams through it: the contacts come out
// complete and in file order, each card read once.
TEST(ContactItems, AFileLargerThanTheReadAheadBudgetStreamsInFileOrder) {
    Scratch dir;
    std::string vcf = dir.file("many.vcf");
    writeBytes(vcf, manyCards(60));
    std::string path = dir.file("many.pst");
    {
        SessionOptions options;
        options.readAhead.bytes = 4096;   // a few cards
        OpenStore s = openStore(path, options);
        zentra::PathList paths;
        paths.add(vcf);
        auto queue = std::make_shared<const pipeline::FileQueue>(std::move(paths));
        s.session->ReadAhead(queue, kImportFormatVCard);
        auto item = s.folder->Items()->Add(kItemTypeContact);
        item->Import(queue->file(0), kImportFormatVCard);
        item->Save();
        EXPECT_EQ(item->Outcome().contactsStored, 60u);
        EXPECT_EQ(item->Outcome().cardsRead, 60u);
        EXPECT_EQ(s.folder->Items()->Count(), 60);
        s.store->Remove();
    }
    messaging_test::expectStructurallySound(path);
    FileNodes file(path);
    FolderContents folder = readFolder(file, "Friends");
    ASSERT_EQ(folder.messages.size(), 60u);
    for (size_t i = 0; i < folder.messages.size(); ++i)
        EXPECT_EQ(textOf(folder.messages[i].pc, mapi::PidTagSurname.id), "Person" + std::to_string(i));
}

// Warnings kept with an item are capped; the count covers all, and an observer hears every one.
TEST(ContactItems, WarningsAreCappedWithACountOfTheRest) {
    Scratch dir;
    std::string vcf = dir.file("noisy.vcf");
    std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Noisy;Nora\r\n";
    const std::size_t noisy = pipeline::FileOutcome::kKeptWarnings + 5;
    for (std::size_t i = 0; i < noisy; ++i)
        text += "X-NOTE-" + std::to_string(i) + ";ENCODING=QUOTED-PRINTABLE:bad =ZZ\r\n";
    writeBytes(vcf, text + "END:VCARD\r\n");
    struct Counting final : pipeline::ImportObserver {
        std::size_t heard = 0;
        bool contactStored(const pipeline::FileOutcome&) override { return true; }
        void warning(const pipeline::FileOutcome&, const pipeline::FileWarning&) override { ++heard; }
    } observer;
    OpenStore s = openStore(dir.file("noisy.pst"));
    auto item = s.folder->Items()->Add(kItemTypeContact);
    item->Observe(&observer);
    item->Import(vcf, 6);
    item->Save();
    EXPECT_EQ(item->Outcome().warnings.size(), pipeline::FileOutcome::kKeptWarnings);
    EXPECT_GE(item->Outcome().warningCount, noisy);
    EXPECT_EQ(observer.heard, item->Outcome().warningCount);
    s.store->Remove();
}

// After every periodic commit the file on disk is a valid store holding every contact saved
// before it; a copy taken between commits is what a kill would leave behind.
TEST(ContactItems, PeriodicCommitsLeaveAValidStoreWithEveryContactSavedBefore) {
    Scratch dir;
    std::string path = dir.file("commits.pst");
    std::string vcf = dir.file("one.vcf");
    writeBytes(vcf, manyCards(1));
    auto contactsOnDisk = [&](const std::string& copyName) {
        std::string copy = dir.file(copyName);
        fs::copy_file(path, copy);
        expectValidAsCommitted(copy);
        FileNodes file(copy);
        return readFolder(file, "Friends").messages.size();
    };

    SessionOptions byCount;
    byCount.store.commitEveryMessages = 3;
    byCount.store.commitInterval = std::chrono::milliseconds(0);
    {
        OpenStore s = openStore(path, byCount);
        s.session->Logoff();   // commits the new folder
        for (int i = 0; i < 7; ++i) importAndSave(*s.folder, vcf);
        EXPECT_EQ(contactsOnDisk("after7.pst"), 6u);
        importAndSave(*s.folder, vcf);
        importAndSave(*s.folder, vcf);
        EXPECT_EQ(contactsOnDisk("after9.pst"), 9u);
        importAndSave(*s.folder, vcf);
        s.store->Remove();   // commits the rest
        EXPECT_EQ(contactsOnDisk("removed.pst"), 10u);
    }

    fs::remove(path);
    SessionOptions byTime;
    byTime.store.commitEveryMessages = 1000;
    byTime.store.commitInterval = std::chrono::milliseconds(1000);
    {
        OpenStore s = openStore(path, byTime);
        s.session->Logoff();
        importAndSave(*s.folder, vcf);
        importAndSave(*s.folder, vcf);
        EXPECT_EQ(contactsOnDisk("quick.pst"), 0u) << "no commit before the interval has passed";
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        importAndSave(*s.folder, vcf);   // the first save after the interval commits
        EXPECT_EQ(contactsOnDisk("interval.pst"), 3u);
        s.store->Remove();
    }
}

// The disk fills up in the middle of a file's cards: Save fails with the disk's error naming the
// file, and the file on disk keeps its last commit, whose contacts are the first cards in order.
TEST(ContactItems, ADiskFullDuringSaveNamesTheFileAndKeepsTheLastCommit) {
    class FillingDisk final : public pst::ndb::FileSeam {
    public:
        FillingDisk(std::unique_ptr<pst::ndb::FileSeam> real, long* writesLeft)
            : real_(std::move(real)), writesLeft_(writesLeft) {}
        void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override {
            if (*writesLeft_ >= 0 && (*writesLeft_)-- == 0) throw Error(kErrDiskFull, "no space left on device");
            real_->writeAt(offset, bytes);
        }
        void readAt(uint64_t offset, std::span<uint8_t> bytes) override { real_->readAt(offset, bytes); }
        void truncate(uint64_t size) override {
            if (*writesLeft_ == 0 && size > real_->size()) throw Error(kErrDiskFull, "no space left on device");
            real_->truncate(size);
        }
        void sync() override { real_->sync(); }
        uint64_t size() override { return real_->size(); }
        void publish() override { real_->publish(); }
        void abandon() override { real_->abandon(); }

    private:
        std::unique_ptr<pst::ndb::FileSeam> real_;
        long* writesLeft_;
    };
    static long writesLeft = -1;   // negative: no limit
    writesLeft = -1;

    Scratch dir;
    std::string vcf = dir.file("eight.vcf");
    writeBytes(vcf, manyCards(8));
    std::string path = dir.file("full.pst");
    SessionOptions options;
    options.store.commitEveryMessages = 2;
    options.store.commitInterval = std::chrono::milliseconds(0);
    options.store.database.openFile = [](const std::string& p) {
        return std::make_unique<FillingDisk>(pst::ndb::createPosixFile(p), &writesLeft);
    };
    // The disk fills after a number of the file's own writes, so writes are not gathered here
    // (the store-level fault sweep covers gathered ones).
    options.store.database.writeBehindBytes = 0;
    OpenStore s = openStore(path, options);
    s.session->Logoff();   // the folder is committed
    auto item = s.folder->Items()->Add(kItemTypeContact);
    item->Import(vcf, kImportFormatVCard);
    writesLeft = 40;       // enough for a few contacts and a commit, not for eight
    std::string description;
    EXPECT_EQ(errorNumber([&] { item->Save(); }, &description), kErrDiskFull);
    EXPECT_NE(description.find(vcf), std::string::npos) << description;

    std::string copy = dir.file("as-committed.pst");
    fs::copy_file(path, copy);
    expectValidAsCommitted(copy);
    FileNodes file(copy);
    FolderContents folder = readFolder(file, "Friends");
    EXPECT_LT(folder.messages.size(), 8u);
    EXPECT_EQ(folder.messages.size() % 2, 0u) << "only whole commits reach the disk";
    for (size_t i = 0; i < folder.messages.size(); ++i)
        EXPECT_EQ(textOf(folder.messages[i].pc, mapi::PidTagSurname.id), "Person" + std::to_string(i));
    std::printf("contacts on disk after the disk filled up: %zu of 8\n", folder.messages.size());
    writesLeft = -1;
}
