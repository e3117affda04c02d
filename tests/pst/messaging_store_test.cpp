// A new store: every node [MS-PST] 2.7.1 requires, the message store's properties and entry
// ids, the fixed folders and their hierarchy rows, the table templates, read back from the
// closed file through the node database's reader and the LTP readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "messaging_support.h"
#include "pst/messaging/table_templates.h"

using namespace pst;
using namespace pst::messaging;
using namespace messaging_test;

namespace {

constexpr uint32_t kDisplayNameTag = 0x3001001F;

std::string createEmptyStore(const ScratchDir& dir, const std::string& displayName = "Zentra Contacts") {
    std::string path = dir.file("empty.pst");
    StoreOptions options;
    options.uid = fixedUid();
    auto store = Store::create(path, displayName, options);
    store->close();
    return path;
}

}  // namespace

TEST(MessagingStoreCreate, WritesEveryMandatoryNodeWithItsParent) {
    ScratchDir dir;
    FileNodes file(createEmptyStore(dir));
    const std::pair<Nid, Nid> expected[] = {
        {0x21, 0},      {0x61, 0},      {0x122, 0x122}, {0x12D, 0},     {0x12E, 0},     {0x12F, 0},
        {0x1E1, 0},     {0x201, 0},     {0x60D, 0},     {0x60E, 0},     {0x60F, 0},     {0x610, 0},
        {0x671, 0},     {0x692, 0},     {0x2223, 0x122}, {0x8022, 0x122}, {0x802D, 0},  {0x802E, 0},
        {0x802F, 0},    {0x8042, 0x122}, {0x804D, 0},   {0x804E, 0},    {0x804F, 0},    {0x8062, 0x8022},
        {0x806D, 0},    {0x806E, 0},    {0x806F, 0},
    };
    for (auto [nid, parent] : expected) {
        auto node = file.findNode(nid);
        ASSERT_TRUE(node.has_value()) << "missing node 0x" << std::hex << nid;
        EXPECT_EQ(node->parent, parent) << "parent of node 0x" << std::hex << nid;
    }
    // The search management queue and activity list are empty nodes.
    EXPECT_EQ(file.findNode(0x1E1)->data, 0u);
    EXPECT_EQ(file.findNode(0x201)->data, 0u);
    expectSoundEverywhere(file.path());
}

TEST(MessagingStoreCreate, MessageStoreHoldsRecordKeyNameAndEntryIds) {
    ScratchDir dir;
    FileNodes file(createEmptyStore(dir, "Zentra Contacts : Created - 6.12.26 9.5.07"));
    ltp::PropertyMap store = file.pc(nid::kMessageStore);
    StoreUid uid = fixedUid();
    EXPECT_EQ(store.at(mapi::PidTagRecordKey.id).bytes, std::vector<uint8_t>(uid.begin(), uid.end()));
    EXPECT_EQ(text(store.at(mapi::PidTagDisplayName.id)), "Zentra Contacts : Created - 6.12.26 9.5.07");
    EXPECT_EQ(int32(store.at(mapi::PidTagPstPassword.id)), 0);
    EXPECT_EQ(int32(store.at(mapi::PidTagValidFolderMask.id)), 0x89);

    auto expectEntryId = [&](uint16_t id, Nid target) {
        std::vector<uint8_t> want = {0, 0, 0, 0};
        want.insert(want.end(), uid.begin(), uid.end());
        for (int i = 0; i < 4; ++i) want.push_back(static_cast<uint8_t>(target >> (8 * i)));
        EXPECT_EQ(store.at(id).bytes, want) << "property 0x" << std::hex << id;
    };
    expectEntryId(mapi::PidTagIpmSubtreeEntryId.id, 0x8022);
    expectEntryId(mapi::PidTagIpmWastebasketEntryId.id, 0x8062);
    expectEntryId(mapi::PidTagFinderEntryId.id, 0x8042);
}

TEST(MessagingStoreCreate, NameToIdMapStartsWithTheNamesEveryReaderNeeds) {
    // [MS-PST] allows a map with the bucket count alone, but libpff refuses a map without
    // entries and pst-extractor one without strings: the store starts with three names.
    ScratchDir dir;
    FileNodes file(createEmptyStore(dir));
    ltp::PropertyMap props = file.pc(nid::kNameToIdMap);
    EXPECT_EQ(int32(props.at(mapi::PidTagNameidBucketCount.id)), 251);
    EXPECT_EQ(props.at(mapi::PidTagNameidStreamEntry.id).bytes.size(), 3u * 8u);
    EXPECT_FALSE(props.at(mapi::PidTagNameidStreamString.id).bytes.empty());
    NameToIdMap map = NameToIdMap::fromProperties(props);
    EXPECT_EQ(map.find(mapi::PidLidFileUnder.set, mapi::PidLidFileUnder.lid), std::optional<uint16_t>(0x8000));
    EXPECT_EQ(map.find(mapi::PidLidFileUnderId.set, mapi::PidLidFileUnderId.lid), std::optional<uint16_t>(0x8001));
    EXPECT_EQ(map.find(mapi::PidNameKeywords.set, mapi::PidNameKeywords.name), std::optional<uint16_t>(0x8002));
}

TEST(MessagingStoreCreate, FixedFoldersHaveTheirNamesCountsAndHierarchyRows) {
    ScratchDir dir;
    FileNodes file(createEmptyStore(dir));
    struct Expected { Nid nid; const char* name; bool subfolders; };
    const Expected folders[] = {{0x122, "", true}, {0x8022, "Top of Personal Folders", true},
                                {0x8042, "Search Root", false}, {0x2223, "SPAM Search Folder 2", false},
                                {0x8062, "Deleted Items", false}};
    for (const auto& f : folders) {
        ltp::PropertyMap pc = file.pc(f.nid);
        EXPECT_EQ(text(pc.at(mapi::PidTagDisplayName.id)), f.name);
        EXPECT_EQ(int32(pc.at(mapi::PidTagContentCount.id)), 0);
        EXPECT_EQ(int32(pc.at(mapi::PidTagContentUnreadCount.id)), 0);
        EXPECT_EQ(pc.at(mapi::PidTagSubfolders.id).bytes, std::vector<uint8_t>{f.subfolders ? uint8_t(1) : uint8_t(0)});
    }

    ltp::TableContents root = file.table(0x12D);
    std::vector<uint32_t> rootRows = rowIds(root);
    std::sort(rootRows.begin(), rootRows.end());
    EXPECT_EQ(rootRows, (std::vector<uint32_t>{0x2223, 0x8022, 0x8042}));
    EXPECT_EQ(text(*cell(root, 0x8022, kDisplayNameTag)), "Top of Personal Folders");
    EXPECT_EQ(text(*cell(root, 0x2223, kDisplayNameTag)), "SPAM Search Folder 2");
    EXPECT_EQ(cell(root, 0x8022, 0x360A000B)->bytes, std::vector<uint8_t>{1});
    EXPECT_EQ(int32(*cell(root, 0x8042, 0x67F20003)), 0x8042);

    ltp::TableContents ipm = file.table(0x802D);
    EXPECT_EQ(rowIds(ipm), std::vector<uint32_t>{0x8062});
    EXPECT_EQ(text(*cell(ipm, 0x8062, kDisplayNameTag)), "Deleted Items");
    EXPECT_TRUE(file.table(0x806D).rows.empty());
    EXPECT_TRUE(file.table(0x804D).rows.empty());
}

TEST(MessagingStoreCreate, TemplatesAndEmptyFolderTablesCarryTheTemplateColumns) {
    ScratchDir dir;
    FileNodes file(createEmptyStore(dir));
    const std::pair<Nid, std::vector<ltp::Column>> templates[] = {
        {0x60D, hierarchyTableColumns()}, {0x60E, contentsTableColumns()}, {0x60F, assocContentsTableColumns()},
        {0x610, searchContentsTableColumns()}, {0x692, recipientTableColumns()}, {0x671, attachmentTableColumns()},
        {0x806D, hierarchyTableColumns()}, {0x802E, contentsTableColumns()}, {0x804F, assocContentsTableColumns()},
    };
    for (const auto& [nid, columns] : templates) {
        ltp::TableContents t = file.table(nid);
        EXPECT_EQ(columnTags(t), columnTags(columns)) << "node 0x" << std::hex << nid;
        EXPECT_TRUE(t.rows.empty()) << "node 0x" << std::hex << nid;
    }
    EXPECT_EQ(hierarchyTableColumns().size(), 13u);
    EXPECT_EQ(contentsTableColumns().size(), 28u);
    EXPECT_EQ(recipientTableColumns().size(), 14u);
    EXPECT_EQ(attachmentTableColumns().size(), 6u);
}

TEST(MessagingStoreCreate, RefusesAPathThatExistsAndLeavesItAlone) {
    ScratchDir dir;
    std::string path = dir.file("taken.pst");
    { std::ofstream(path) << "not a store"; }
    try {
        Store::create(path, "x");
        FAIL() << "creating over an existing file succeeded";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrStoreCreate);
        EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
    }
    std::ifstream in(path);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "not a store");
}

TEST(MessagingStoreCreate, EntryIdsRoundTripOnlyForTheirOwnStore) {
    ScratchDir dir;
    StoreOptions options;
    options.uid = fixedUid();
    auto store = Store::create(dir.file("ids.pst"), "ids", options);
    std::vector<uint8_t> id = store->entryIdOf(0x8062);
    ASSERT_EQ(id.size(), 24u);
    EXPECT_EQ(store->nidFromEntryId(id), std::optional<Nid>(0x8062));

    std::vector<uint8_t> foreign = id;
    foreign[4] ^= 0xFF;   // another store's UID
    EXPECT_EQ(store->nidFromEntryId(foreign), std::nullopt);
    std::vector<uint8_t> flagged = id;
    flagged[0] = 1;       // rgbFlags must be zero
    EXPECT_EQ(store->nidFromEntryId(flagged), std::nullopt);
    EXPECT_EQ(store->nidFromEntryId(std::vector<uint8_t>(id.begin(), id.end() - 1)), std::nullopt);

    EXPECT_EQ(toHex(std::vector<uint8_t>{0x00, 0xAB, 0x7F}), "00AB7F");
    EXPECT_EQ(fromHex("00ab7F"), (std::optional<std::vector<uint8_t>>(std::vector<uint8_t>{0x00, 0xAB, 0x7F})));
    EXPECT_EQ(fromHex("0G"), std::nullopt);
    EXPECT_EQ(fromHex("123"), std::nullopt);
    store->close();
}

TEST(MessagingStoreCreate, TwoStoresGetDifferentRandomUids) {
    ScratchDir dir;
    auto a = Store::create(dir.file("a.pst"), "a");
    auto b = Store::create(dir.file("b.pst"), "b");
    EXPECT_NE(a->uid(), b->uid());
    a->close();
    b->close();
}

TEST(MessagingStoreCreate, ACallOnAClosedStoreFails) {
    ScratchDir dir;
    auto store = Store::create(dir.file("closed.pst"), "closed");
    store->close();
    try {
        store->createFolder(store->ipmSubtree(), "late", "IPF.Contact");
        FAIL() << "a closed store accepted a folder";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrStoreDetached);
    }
}

TEST(MessagingStoreCreate, AFailedCommitLeavesTheLastCommittedStoreOnDisk) {
    // The disk fills up after the store was created: the next commit fails with its number and
    // the file still holds the empty store of the first commit, which every reader opens.
    class FillingDisk final : public ndb::FileSeam {
    public:
        FillingDisk(std::unique_ptr<ndb::FileSeam> real, bool* full) : real_(std::move(real)), full_(full) {}
        void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override {
            if (*full_) throw zentra::Error(zentra::kErrDiskFull, "no space left on device");
            real_->writeAt(offset, bytes);
        }
        void readAt(uint64_t offset, std::span<uint8_t> bytes) override { real_->readAt(offset, bytes); }
        void truncate(uint64_t size) override {
            if (*full_ && size > real_->size()) throw zentra::Error(zentra::kErrDiskFull, "no space left on device");
            real_->truncate(size);
        }
        void sync() override { real_->sync(); }
        uint64_t size() override { return real_->size(); }
        void publish() override { real_->publish(); }
        void abandon() override { real_->abandon(); }

    private:
        std::unique_ptr<ndb::FileSeam> real_;
        bool* full_;
    };
    ScratchDir dir;
    std::string path = dir.file("full.pst");
    bool full = false;
    StoreOptions options;
    options.database.openFile = [&full](const std::string& p) {
        return std::make_unique<FillingDisk>(ndb::createPosixFile(p), &full);
    };
    auto store = Store::create(path, "full", options);
    full = true;
    try {
        store->createFolder(store->ipmSubtree(), "Users", "IPF.Contact");
        store->addMessage(store->deletedItems(), [] {
            ltp::PropertyMap p;
            p[mapi::PidTagMessageClass.id] = ltp::stringValue("IPM.Note");
            return p;
        }());
        store->commit();
        FAIL() << "a commit on a full disk succeeded";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrDiskFull) << e.description();
    }
    store.reset();   // closing fails too; the destructor must not throw

    FileNodes file(path);
    readback::VerifyOptions afterFailure;
    afterFailure.allowLongerFile = true;   // blocks of the failed commit may lie past the end
    EXPECT_EQ(file.reader().verify(afterFailure), std::vector<std::string>{});
    EXPECT_EQ(ipmTreeOf(file), (FolderTree{{"Deleted Items", ""}}));
    expectSoundEverywhere(path);
}

TEST(MessagingStoreCommit, CountsTheMessagesTheFileHolds) {
    ScratchDir dir;
    StoreOptions options;
    options.commitEveryMessages = 2;
    auto store = Store::create(dir.file("counts.pst"), "Counts", options);
    ltp::PropertyMap contact;
    contact[mapi::PidTagMessageClass.id] = ltp::stringValue("IPM.Contact");
    EXPECT_EQ(store->messageCount(), 0u);
    store->addMessage(store->ipmSubtree(), contact);
    EXPECT_EQ(store->messageCount(), 1u);
    EXPECT_EQ(store->committedMessageCount(), 0u);
    store->addMessage(store->ipmSubtree(), contact);   // the second one commits both
    store->addMessage(store->ipmSubtree(), contact);
    EXPECT_EQ(store->messageCount(), 3u);
    EXPECT_EQ(store->committedMessageCount(), 2u);
    store->close();
    EXPECT_EQ(store->committedMessageCount(), 3u);
}
