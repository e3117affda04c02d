#include "import/open_mapi_folder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "mailstore/mail_client.h"
#include "mailstore/profile.h"
#include "platform/component_registry.h"

using importrun::OpenMAPIFolder;
using zentra::mailstore::Session;

namespace {

class OpenMapiFolder : public ::testing::Test {
protected:
    void SetUp() override {
        zentra::mailstore::Profile::instance().detachAll();
        ASSERT_TRUE(dir_.isValid());
        session_ = platform::createObject<Session>("Redemption.RDOSession");
        session_->Logon();
        store_ = session_->Stores()->AddPSTStore(dir_.filePath("s.pst").toStdString(), 1, "S");
        auto top = store_->IPMRootFolder();
        auto a = top->Folders()->Add("A", 10);
        a->Folders()->Add("B", 10);
        top->Folders()->Add("B", 10);
    }
    void TearDown() override { zentra::mailstore::Profile::instance().detachAll(); }

    static std::string pathOf(const std::shared_ptr<zentra::mailstore::Folder>& f) {
        return f ? f->EntryID() : std::string();
    }
    std::shared_ptr<zentra::mailstore::Folder> folder(const std::string& path) {
        return session_->GetFolderFromPath("\\\\S\\" + path);
    }

    QTemporaryDir dir_;
    std::shared_ptr<Session> session_;
    std::shared_ptr<zentra::mailstore::Store> store_;
};

}  // namespace

TEST_F(OpenMapiFolder, WalksAnAbsolutePathOneComponentAtATime) {
    auto b = OpenMAPIFolder("\\S\\A\\B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pathOf(b), pathOf(folder("A\\B")));
    EXPECT_EQ(pathOf(OpenMAPIFolder("\\s\\a")), pathOf(folder("A")));   // names ignore case
}

TEST_F(OpenMapiFolder, SkipsAMissingComponentAndGoesOnFromTheLastFound) {
    ASSERT_NE(pathOf(folder("B")), pathOf(folder("A\\B")));
    auto b = OpenMAPIFolder("\\S\\X\\B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pathOf(b), pathOf(folder("B")));
    EXPECT_EQ(pathOf(OpenMAPIFolder("\\Nowhere\\S\\A")), pathOf(folder("A")));
    EXPECT_EQ(pathOf(OpenMAPIFolder("\\S\\A\\")), pathOf(folder("A")));   // trailing separator
}

TEST_F(OpenMapiFolder, NothingFoundGivesNoFolder) {
    EXPECT_EQ(OpenMAPIFolder("\\"), nullptr);
    EXPECT_EQ(OpenMAPIFolder("\\X\\Y"), nullptr);
    // No mail-client window exists here, so an empty or relative path has no starting folder.
    EXPECT_EQ(OpenMAPIFolder(""), nullptr);
}

TEST_F(OpenMapiFolder, WithoutTheMailClientTheResultIsNoFolder) {
    platform::ComponentOverride none("Outlook.Application", [] { return std::shared_ptr<platform::Component>(); });
    EXPECT_EQ(OpenMAPIFolder("\\S\\A"), nullptr);
    EXPECT_EQ(OpenMAPIFolder("A"), nullptr);
}
