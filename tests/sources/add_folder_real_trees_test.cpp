// The add-folder command on real trees that a scan cannot wholly read, and on names that are
// not UTF-8: every readable folder is scanned, every file found is listed under its exact
// bytes, and the folders that could not be read are named with their reasons.
#include <QFile>
#include <climits>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/stat.h>

#include "platform/memory_controls.h"
#include "platform/scripted_ui_services.h"
#include "sources/add_commands.h"
#include "temp_tree.h"
#include "unprivileged_child.h"

namespace sources {
namespace {

using testing::runUnprivileged;
using testing::TempTree;

// What one add-folder run left behind.
struct AddedFolder {
    FolderAddResult result;
    std::set<std::string> rows;   // the exact bytes of every listed path
    std::set<std::string> shown;  // the same rows as the grid shows them
    QStringList boxes;
};

AddedFolder addFolder(const std::string& folder) {
    platform::ScriptedUiServices ui;
    platform::MemoryGrid grid;
    platform::MemoryText label{"0 files"};
    FileList list{grid, label};
    platform::MemoryEnabled importCommand{false};
    ui.folderAnswers.push_back(QFile::decodeName(QByteArray::fromStdString(folder)));
    AddedFolder run;
    run.result = CmdAddFolder_Click(ui, nullptr, list, importCommand);
    for (int r = 0; r < grid.rows(); ++r) {
        grid.setRow(r);
        run.rows.insert(grid.path());
        run.shown.insert(grid.text().toStdString());
    }
    for (const auto& box : ui.boxes) run.boxes << box.prompt;
    return run;
}

TEST(AddFolderOnRealTrees, AFolderWithoutPermissionIsNamedAndEveryOtherFolderIsStillAdded) {
    TempTree tree;
    const std::string root = tree.rootBytes() + "R/";
    tree.file("R/top.vcf");
    tree.file("R/locked/hidden.vcf");
    tree.file("R/open/one.vcf");
    tree.file("R/open/deeper/two.vcf");   // deeper than locked: scanned after it
    tree.file("R/open/deeper/deepest/three.vcf");
    ASSERT_EQ(::chmod((root + "locked").c_str(), 0), 0);

    // As an ordinary user, whom the permissions stop; the child reports one line per fact.
    const auto report = runUnprivileged([&] {
        const AddedFolder run = addFolder(root);
        std::ostringstream out;
        for (const std::string& row : run.rows) out << "row " << row << "\n";
        for (const UnreadFolder& unread : run.result.unreadFolders)
            out << "unread " << unread.error.number() << " " << unread.path << "\n";
        for (QString box : run.boxes) out << "box " << box.replace("\r\n", " | ").toStdString() << "\n";
        return out.str();
    });
    ASSERT_TRUE(report) << "the unprivileged child failed";
    std::istringstream lines(*report);
    std::set<std::string> rows;
    std::vector<std::string> unread, boxes;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("row ")) rows.insert(line.substr(4));
        else if (line.starts_with("unread ")) unread.push_back(line.substr(7));
        else if (line.starts_with("box ")) boxes.push_back(line.substr(4));
        else ADD_FAILURE() << line;
    }
    EXPECT_EQ(rows, std::set<std::string>({root + "top.vcf", root + "open/one.vcf", root + "open/deeper/two.vcf",
                                           root + "open/deeper/deepest/three.vcf"}));
    EXPECT_EQ(unread, std::vector<std::string>({std::to_string(zentra::kErrPermissionDenied) + " " + root + "locked/"}));
    EXPECT_EQ(boxes, std::vector<std::string>({"1 folder could not be read, so the vCard files in it are not in the "
                                               "list: | cannot list the folder " + root + "locked/: Permission denied",
                                               "4 Files Added to List."}));
}

TEST(AddFolderOnRealTrees, NamesThatAreNotUtf8AreListedUnderTheirExactBytes) {
    TempTree tree;
    const std::string root = tree.rootBytes() + "R/";
    const std::vector<std::string> files{tree.fileBytes("R/caf\xE9/n\xFF.vcf"), tree.fileBytes("R/caf\xE9/plain.vcf"),
                                         tree.fileBytes("R/caf\xE8/n\xFF.vcf"), tree.fileBytes("R/ok/deep/last.vcf")};
    const AddedFolder run = addFolder(root);

    EXPECT_EQ(run.rows, std::set<std::string>(files.begin(), files.end()));
    for (const std::string& path : run.rows) EXPECT_EQ(::access(path.c_str(), R_OK), 0) << path;
    EXPECT_TRUE(run.result.unreadFolders.empty());
    EXPECT_EQ(run.boxes, QStringList({"4 Files Added to List."}));
    // On screen the two names that differ only in bytes that are not UTF-8 still differ.
    EXPECT_EQ(run.shown, std::set<std::string>({root + "caf\\xE9/n\\xFF.vcf", root + "caf\\xE9/plain.vcf",
                                                root + "caf\\xE8/n\\xFF.vcf", root + "ok/deep/last.vcf"}));
}

TEST(AddFolderOnRealTrees, AFolderWhosePathIsTooLongIsNamedAndTheScanGoesOn) {
    TempTree tree;
    const std::string root = tree.rootBytes() + "R/";
    tree.file("R/top.vcf");
    tree.folder("R/long");
    const std::string tooLong = tree.deepChain("R/long", std::string(200, 'd'), PATH_MAX, "unreachable.vcf");
    // A chain of short names deeper than the long one, so its folders come after it in the scan.
    std::string deep = "R/";
    for (int level = 0; level < 40; ++level) deep += "s/";
    tree.file(QString::fromStdString(deep + "bottom.vcf"));

    const AddedFolder run = addFolder(root);
    EXPECT_EQ(run.rows, std::set<std::string>({root + "top.vcf", tree.rootBytes() + deep + "bottom.vcf"}));
    ASSERT_EQ(run.result.unreadFolders.size(), 1u);
    EXPECT_EQ(run.result.unreadFolders[0].path, tooLong);
    EXPECT_NE(run.result.unreadFolders[0].error.description().find("File name too long"), std::string::npos);
    ASSERT_EQ(run.boxes.size(), 2);
    EXPECT_TRUE(run.boxes[0].startsWith("1 folder could not be read")) << run.boxes[0].toStdString();
    EXPECT_EQ(run.boxes[1], "2 Files Added to List.");
}

}  // namespace
}  // namespace sources
