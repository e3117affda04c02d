// The mail-store components as the program drives them: session, stores, folders and the mail
// client's namespace over one profile of attached stores; every failure an error with a number.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "mailstore/factories.h"
#include "mailstore/profile.h"
#include "mailstore/session_options.h"
#include "messaging_support.h"
#include "zentra/error.h"

using namespace zentra;
using namespace zentra::mailstore;
namespace fs = std::filesystem;

namespace {

class MailStoreComponents : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(ZENTRA_BINARY_DIR) / "test-scratch" / (std::string("mailstore.") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        session_ = createSession(profile_, {});
        session_->Logon();
    }
    void TearDown() override {
        profile_->detachAll();
        if (!HasFailure()) fs::remove_all(dir_);
    }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }

    template <class F>
    static long errorNumber(F&& f, std::string* description = nullptr) {
        try {
            f();
        } catch (const Error& e) {
            if (description) *description = e.description();
            return e.number();
        }
        ADD_FAILURE() << "no error thrown";
        return 0;
    }

    fs::path dir_;
    std::shared_ptr<Profile> profile_ = std::make_shared<Profile>();   // what the registry gives both components
    std::shared_ptr<Session> session_;
};

constexpr const char* kStoreName = "Zentra Contacts : Created - 6.12.26 9.5.07";

}  // namespace

TEST_F(MailStoreComponents, ImportRunSequenceBuildsTheTreeAndLeavesTheFileOnRemove) {
    std::string path = file("ZentraContacts6.12.26 9.5.07.pst");
    auto store = session_->Stores()->AddPSTStore(path, 1, kStoreName);
    ASSERT_TRUE(fs::exists(path));
    std::string entryId = store->EntryID();
    EXPECT_EQ(entryId.size(), 48u);

    // Top-level folder through GetStoreFromID and IPMRootFolder, as the run does.
    auto again = session_->Stores()->GetStoreFromID(entryId);
    EXPECT_EQ(again->DisplayName(), kStoreName);
    auto root = again->IPMRootFolder();
    EXPECT_EQ(root->Name(), "Top of Personal Folders");
    std::vector<std::string> names;
    const auto children = root->Folders();   // kept alive for the loop
    for (auto folder : *children) names.push_back(folder->Name());
    EXPECT_EQ(names, std::vector<std::string>{"Deleted Items"});

    auto users = root->Folders()->Add("Users", 10);
    EXPECT_EQ(users->Name(), "Users");
    EXPECT_EQ(users->ContainerClass(), "IPF.Contact");

    // Nested folders below a parent found through the mail client's namespace.
    auto app = createApplication(profile_);
    auto parent = app->GetNamespace("MAPI")->Folders()->Item(kStoreName)->Folders()->Item("Users");
    auto ann = parent->Folders()->Add("ann", 10);
    ann->Folders()->Add("cards", 10);
    parent->Folders()->Add("bob", 10);

    auto cards = session_->GetFolderFromPath(std::string("\\\\") + kStoreName + "\\Users\\ann\\cards");
    EXPECT_EQ(cards->Name(), "cards");
    EXPECT_EQ(session_->GetFolderFromPath(std::string("\\\\") + kStoreName + "\\users\\ANN")->Name(), "ann");
    EXPECT_EQ(users->Folders()->Count(), 2);
    EXPECT_EQ(users->Folders()->Item(2)->Name(), "bob");

    store->Remove();
    session_->Logoff();
    EXPECT_TRUE(fs::exists(path));
    messaging_test::expectSoundEverywhere(path);
    {
        messaging_test::FileNodes written(path);
        EXPECT_EQ(messaging_test::ipmTreeOf(written),
                  (messaging_test::FolderTree{{"Deleted Items", ""},
                                              {"Users", "IPF.Contact"},
                                              {"Users/ann", "IPF.Contact"},
                                              {"Users/ann/cards", "IPF.Contact"},
                                              {"Users/bob", "IPF.Contact"}}));
    }
    EXPECT_EQ(errorNumber([&] { users->Folders(); }), kErrStoreDetached);
    EXPECT_EQ(errorNumber([&] { app->GetNamespace("MAPI")->Folders()->Item(kStoreName); }), kErrFolderNotFound);
}

TEST_F(MailStoreComponents, AddPstStoreRefusesAnExistingPathAndUnsupportedFormats) {
    std::string path = file("exists.pst");
    { std::ofstream(path) << "keep me"; }
    std::string description;
    EXPECT_EQ(errorNumber([&] { session_->Stores()->AddPSTStore(path, 1, "x"); }, &description), kErrStoreCreate);
    EXPECT_NE(description.find(path), std::string::npos) << description;
    EXPECT_EQ(fs::file_size(path), 7u);

    EXPECT_EQ(errorNumber([&] { session_->Stores()->AddPSTStore(file("ansi.pst"), 3, "x"); }), kErrInvalidArgument);
    EXPECT_FALSE(fs::exists(file("ansi.pst")));

    // A folder that does not exist: the system's reason comes with the path.
    std::string missing = file("no/such/dir/new.pst");
    EXPECT_EQ(errorNumber([&] { session_->Stores()->AddPSTStore(missing, 1, "x"); }, &description), kErrStoreCreate);
    EXPECT_NE(description.find(missing), std::string::npos) << description;
    EXPECT_EQ(session_->Stores()->Count(), 0);
}

TEST_F(MailStoreComponents, FolderNamesCollideWithoutRegardToCase) {
    auto store = session_->Stores()->AddPSTStore(file("case.pst"), 1, "case");
    auto folders = store->IPMRootFolder()->Folders();
    folders->Add("Users", 10);
    std::string description;
    EXPECT_EQ(errorNumber([&] { folders->Add("USERS", 10); }, &description), kErrFolderExists);
    EXPECT_NE(description.find("Users"), std::string::npos) << description;
    EXPECT_EQ(folders->Count(), 2);   // Deleted Items and Users
    EXPECT_EQ(folders->Item("uSERS")->Name(), "Users");
    EXPECT_EQ(errorNumber([&] { folders->Item("Nobody"); }), kErrFolderNotFound);
    EXPECT_EQ(errorNumber([&] { folders->Item(0L); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(errorNumber([&] { folders->Item(3L); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(errorNumber([&] { folders->Add("Odd", 99); }), kErrInvalidArgument);
    store->Remove();
    messaging_test::expectSoundEverywhere(file("case.pst"));
}

TEST_F(MailStoreComponents, GetFolderFromPathFailsForMissingFoldersStoresAndMalformedPaths) {
    auto store = session_->Stores()->AddPSTStore(file("paths.pst"), 1, "Paths");
    store->IPMRootFolder()->Folders()->Add("Users", 10);
    EXPECT_EQ(session_->GetFolderFromPath("\\\\Paths")->Name(), "Top of Personal Folders");
    EXPECT_EQ(session_->GetFolderFromPath("\\\\PATHS\\Users\\")->Name(), "Users");
    for (const char* bad : {"\\\\Paths\\Nobody", "\\\\Other\\Users", "\\Paths\\Users", "Paths\\Users",
                            "\\\\Paths\\\\Users", "\\\\Paths\\Users\\ann"}) {
        std::string description;
        EXPECT_EQ(errorNumber([&] { session_->GetFolderFromPath(bad); }, &description), kErrFolderNotFound) << bad;
        EXPECT_NE(description.find(bad), std::string::npos) << description;
    }
    store->Remove();
}

TEST_F(MailStoreComponents, NamespaceListsEveryAttachedStoreByDisplayName) {
    auto a = session_->Stores()->AddPSTStore(file("a.pst"), 1, "Store A");
    auto other = createSession(profile_, {});
    other->Logon();
    auto b = other->Stores()->AddPSTStore(file("b.pst"), 1, "Store B");

    auto top = createApplication(profile_)->GetNamespace("MAPI")->Folders();
    EXPECT_EQ(top->Count(), 2);
    EXPECT_EQ(top->Item(1)->Name(), "Store A");
    auto storeB = top->Item("store b");
    EXPECT_EQ(storeB->Name(), "Store B");
    storeB->Folders()->Add("Shared", 10);
    EXPECT_EQ(b->IPMRootFolder()->Folders()->Item("shared")->Name(), "Shared");
    EXPECT_EQ(errorNumber([&] { top->Add("New", 10); }), kErrInvalidCall);
    // The entry ID of one store does not find the other.
    EXPECT_EQ(session_->Stores()->GetStoreFromID(b->EntryID())->DisplayName(), "Store B");
    EXPECT_EQ(errorNumber([&] { session_->Stores()->GetStoreFromID("00"); }), kErrInvalidArgument);

    b->Remove();
    messaging_test::expectSoundEverywhere(file("b.pst"));
    EXPECT_EQ(top->Count(), 1);
    EXPECT_EQ(errorNumber([&] { session_->Stores()->GetStoreFromID(b->EntryID()); }), kErrStoreDetached);
    EXPECT_EQ(errorNumber([&] { b->Remove(); }), kErrStoreDetached);
    a->Remove();
}

TEST_F(MailStoreComponents, MailClientHasNoWindowAndOnlyTheMapiNamespace) {
    auto app = createApplication(profile_);
    EXPECT_EQ(errorNumber([&] { app->ActiveExplorer(); }), kErrNoExplorer);
    EXPECT_EQ(errorNumber([&] { app->GetNamespace("NNTP"); }), kErrInvalidArgument);
}

TEST_F(MailStoreComponents, SessionNeedsLogon) {
    auto fresh = createSession(profile_, {});
    EXPECT_EQ(errorNumber([&] { fresh->Stores(); }), kErrNotLoggedOn);
    EXPECT_EQ(errorNumber([&] { fresh->GetFolderFromPath("\\\\x"); }), kErrNotLoggedOn);
    EXPECT_EQ(errorNumber([&] { fresh->Logoff(); }), kErrNotLoggedOn);
}

// Item types other than contacts are refused; what contact items hold is tested with them.
TEST_F(MailStoreComponents, ItemsAcceptOnlyContactItems) {
    auto store = session_->Stores()->AddPSTStore(file("items.pst"), 1, "items");
    auto contacts = store->IPMRootFolder()->Folders()->Add("Contacts", 10);
    auto items = contacts->Items();
    EXPECT_EQ(items->Count(), 0);
    EXPECT_EQ(errorNumber([&] { items->Add(99); }), kErrInvalidArgument);
    EXPECT_NE(items->Add(2), nullptr);
    EXPECT_EQ(items->Count(), 0);   // nothing is stored before Save
    store->Remove();
}

TEST_F(MailStoreComponents, DiskFullWhileCreatingTheStoreIsReportedWithItsNumber) {
    // A file seam that refuses every write past the first few kilobytes.
    class FullDisk final : public pst::ndb::FileSeam {
    public:
        explicit FullDisk(std::unique_ptr<pst::ndb::FileSeam> real) : real_(std::move(real)) {}
        void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override {
            if (offset + bytes.size() > 16 * 1024) throw Error(kErrDiskFull, "no space left on device");
            real_->writeAt(offset, bytes);
        }
        void readAt(uint64_t offset, std::span<uint8_t> bytes) override { real_->readAt(offset, bytes); }
        void truncate(uint64_t size) override {
            if (size > 16 * 1024) throw Error(kErrDiskFull, "no space left on device");
            real_->truncate(size);
        }
        void sync() override { real_->sync(); }
        uint64_t size() override { return real_->size(); }
        void publish() override { real_->publish(); }
        void abandon() override { real_->abandon(); }

    private:
        std::unique_ptr<pst::ndb::FileSeam> real_;
    };
    SessionOptions options;
    options.store.database.openFile = [](const std::string& path) {
        return std::make_unique<FullDisk>(pst::ndb::createPosixFile(path));
    };
    auto session = createSession(profile_, options);
    session->Logon();
    std::string description;
    EXPECT_EQ(errorNumber([&] { session->Stores()->AddPSTStore(file("full.pst"), 1, "full"); }, &description),
              kErrDiskFull);
    EXPECT_NE(description.find("AddPSTStore"), std::string::npos) << description;
    EXPECT_EQ(session->Stores()->Count(), 0);
}

TEST_F(MailStoreComponents, RemoveOnAFullDiskReportsItAndLeavesTheLastCommitOnDisk) {
    class FillingDisk final : public pst::ndb::FileSeam {
    public:
        FillingDisk(std::unique_ptr<pst::ndb::FileSeam> real, bool* full) : real_(std::move(real)), full_(full) {}
        void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override {
            if (*full_) throw Error(kErrDiskFull, "no space left on device");
            real_->writeAt(offset, bytes);
        }
        void readAt(uint64_t offset, std::span<uint8_t> bytes) override { real_->readAt(offset, bytes); }
        void truncate(uint64_t size) override {
            if (*full_ && size > real_->size()) throw Error(kErrDiskFull, "no space left on device");
            real_->truncate(size);
        }
        void sync() override { real_->sync(); }
        uint64_t size() override { return real_->size(); }
        void publish() override { real_->publish(); }
        void abandon() override { real_->abandon(); }

    private:
        std::unique_ptr<pst::ndb::FileSeam> real_;
        bool* full_;
    };
    static bool full = false;
    full = false;
    SessionOptions options;
    options.store.database.openFile = [](const std::string& path) {
        return std::make_unique<FillingDisk>(pst::ndb::createPosixFile(path), &full);
    };
    auto session = createSession(profile_, options);
    session->Logon();
    auto store = session->Stores()->AddPSTStore(file("full.pst"), 1, "Full");
    store->IPMRootFolder()->Folders()->Add("Users", 10);
    session->Stores()->GetStoreFromID(store->EntryID())->IPMRootFolder()->Folders()->Item("users")->Folders()->Add(
        "ann", 10);
    full = true;
    std::string description;
    EXPECT_EQ(errorNumber([&] { store->Remove(); }, &description), kErrDiskFull) << description;
    // The store is detached all the same, and its file holds the empty store AddPSTStore
    // committed: the folders were never committed.
    EXPECT_EQ(errorNumber([&] { session->GetFolderFromPath("\\\\Full"); }), kErrFolderNotFound);
    EXPECT_EQ(errorNumber([&] { store->IPMRootFolder(); }), kErrStoreDetached);
    full = false;
    messaging_test::expectSoundEverywhere(file("full.pst"));
    {
        messaging_test::FileNodes written(file("full.pst"));
        EXPECT_EQ(messaging_test::ipmTreeOf(written), (messaging_test::FolderTree{{"Deleted Items", ""}}));
    }
}
