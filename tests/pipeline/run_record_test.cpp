// The run's record: one outcome per file, kept in full for the files with a problem; files whose
// contacts the store's last good save does not hold become failures when a later save fails.
#include "pipeline/run_record.h"

#include <gtest/gtest.h>

namespace pipeline {
namespace {

FileOutcome imported(const std::string& path, std::size_t contacts, std::size_t warnings = 0) {
    FileOutcome o;
    o.status = FileOutcome::Status::Imported;
    o.path = path;
    o.cardsRead = o.contactsStored = contacts;
    o.allCardsRead = true;
    o.warningCount = warnings;
    return o;
}

TEST(RunRecord, CountsEveryFileAndKeepsTheProblemsInListOrder) {
    RunRecord record;
    record.fileDone(0, imported("/a.vcf", 2, 1), 2, 0);
    FileOutcome missing;
    missing.status = FileOutcome::Status::Failed;
    missing.path = "/gone.vcf";
    missing.errorNumber = 53;
    missing.reason = "/gone.vcf: No such file or directory";
    record.fileDone(1, missing, 2, 0);
    FileOutcome cut = imported("/long.vcf", 3, 2);
    cut.status = FileOutcome::Status::CutShort;
    cut.allCardsRead = false;
    record.fileDone(2, cut, 5, 0);
    record.folderNotCreated("x\\y", zentra::Error(0x4011, "exists"));
    record.storeCompleted();

    EXPECT_EQ(record.filesDone(), 3u);
    EXPECT_EQ(record.filesImported(), 1u);
    EXPECT_EQ(record.failedFiles(), 1u);
    EXPECT_EQ(record.contacts(), 5u);
    EXPECT_EQ(record.warnings(), 3u);
    ASSERT_EQ(record.problemFiles().size(), 2u);
    EXPECT_EQ(record.problemFiles()[0].outcome.errorNumber, 53);
    ASSERT_NE(record.cutShort(), nullptr);
    EXPECT_EQ(record.cutShort()->row, 2u);
    EXPECT_EQ(record.foldersNotCreated().size(), 1u);
    EXPECT_FALSE(record.storeError());
}

TEST(RunRecord, FilesAfterTheLastGoodSaveFailWithTheFirstSaveErrorWhenTheStoreCannotBeCompleted) {
    RunRecord record;
    record.fileDone(0, imported("/a.vcf", 2), 2, 2);    // on disk
    record.fileDone(1, imported("/b.vcf", 3), 5, 2);    // not yet
    record.saveFailed(zentra::Error(61, "no space left on device"));
    FileOutcome c = imported("/c.vcf", 0);
    c.status = FileOutcome::Status::Failed;
    c.errorNumber = 0x4003;
    c.reason = "the store cannot be used after an earlier write failure";
    record.fileDone(2, c, 5, 2);
    record.storeFailed(zentra::Error(0x4003, "the store cannot be used after an earlier write failure"));

    EXPECT_EQ(record.contacts(), 2u);
    ASSERT_EQ(record.problemFiles().size(), 2u);
    EXPECT_EQ(record.problemFiles()[0].outcome.path, "/b.vcf");
    EXPECT_EQ(record.problemFiles()[0].outcome.errorNumber, 61);
    EXPECT_NE(record.problemFiles()[0].outcome.reason.find("no space left"), std::string::npos);
    EXPECT_EQ(record.problemFiles()[1].outcome.path, "/c.vcf");
    EXPECT_EQ(record.filesImported(), 1u);
    ASSERT_TRUE(record.storeError());
}

}  // namespace
}  // namespace pipeline
