#include "import/open_mapi_folder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "mailstore/mail_client.h"
#include "mailstore/component_registry.h"

using importrun::OpenMAPIFolder;
using zentra::mailstore::Session;

namespace {

class OpenMapiFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        session_ = components_.createObject<Session>("Redemption.RDOSession");
        session_->Logon();
        store_ = session_->Stores()->AddPSTStore(dir_.filePath("s.pst").toStdString(), 1, "S");
        auto top = store_->IPMRootFolder();
        auto a = top->Folders()->Add("A", 10);
        a->Folders()->Add("B", 10);
        top->Folders()->Add("B", 10);
    }
    std::shared_ptr<zentra::mailstore::Folder> open(const QString& path, std::vector<zentra::Error>* skipped = nullptr) {
        return OpenMAPIFolder(components_, path, skipped);
    }

    static std::string pathOf(const std::shared_ptr<zentra::mailstore::Folder>& f) {
        return f ? f->EntryID() : std::string();
    }
    std::shared_ptr<zentra::mailstore::Folder> folder(const std::string& path) {
        return session_->GetFolderFromPath("\\\\S\\" + path);
    }

    QTemporaryDir dir_;
    zentra::mailstore::ComponentRegistry components_;
    std::shared_ptr<Session> session_;
    std::shared_ptr<zentra::mailstore::Store> store_;
};

}  // namespace

TEST_F(OpenMapiFolder, WalksAnAbsolutePathOneComponentAtATime) {
    auto b = open("\\S\\A\\B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pathOf(b), pathOf(folder("A\\B")));
    EXPECT_EQ(pathOf(open("\\s\\a")), pathOf(folder("A")));   // names ignore case
}

TEST_F(OpenMapiFolder, SkipsAMissingComponentAndGoesOnFromTheLastFound) {
    ASSERT_NE(pathOf(folder("B")), pathOf(folder("A\\B")));
    auto b = open("\\S\\X\\B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pathOf(b), pathOf(folder("B")));
    EXPECT_EQ(pathOf(open("\\Nowhere\\S\\A")), pathOf(folder("A")));
    EXPECT_EQ(pathOf(open("\\S\\A\\")), pathOf(folder("A")));   // trailing separator
}

TEST_F(OpenMapiFolder, NothingFoundGivesNoFolder) {
    EXPECT_EQ(open("\\"), nullptr);
    EXPECT_EQ(open("\\X\\Y"), nullptr);
    // No mail-client window exists here, so an empty or relative path has no starting folder.
    EXPECT_EQ(open(""), nullptr);
}

TEST_F(OpenMapiFolder, WithoutTheMailClientTheResultIsNoFolder) {
    zentra::mailstore::ComponentOverride none(components_, "Outlook.Application",
                                              [] { return std::shared_ptr<zentra::mailstore::Component>(); });
    std::vector<zentra::Error> skipped;
    EXPECT_EQ(open("\\S\\A", &skipped), nullptr);
    ASSERT_EQ(skipped.size(), 1u);   // what it passed over is told to a caller that asks
    EXPECT_EQ(skipped[0].number(), zentra::kErrCannotCreateObject);
    EXPECT_EQ(open("A"), nullptr);
}
