// The commit: a valid store after every commit, freed space held back until the next header
// is durable, only changed pages rewritten, no file ever overwritten, and a failure at any
// write of a commit leaving the previous commit intact.
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "ndb_test_support.h"
#include "pst/disk/layout.h"

using namespace pst;
using namespace pst::ndb;
using namespace pst::readback;
namespace fs = std::filesystem;

using ndbtest::Expected;
using ndbtest::expectStoreHolds;
using ndbtest::putWithData;

TEST(Create, RefusesAnExistingFileAndNamesThePathAndReason) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("exists.pst");
    { std::ofstream(path) << "precious"; }
    try {
        NodeDatabase::create(path);
        FAIL() << "created over an existing file";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrStoreCreate);
        EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("File exists"), std::string::npos) << e.description();
    }
    std::ifstream in(path);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "precious");

    const std::string missing = dir.file("no/such/dir/x.pst");
    try {
        NodeDatabase::create(missing);
        FAIL();
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrStoreCreate);
        EXPECT_NE(e.description().find("No such file or directory"), std::string::npos) << e.description();
    }
}

TEST(Commit, EmptyStoreHasTheBlankFileHeader) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("empty.pst");
    NodeDatabase::create(path)->close();
    StoreReader reader(path);
    const auto& h = reader.header();
    EXPECT_EQ(h.wVer, 23);
    EXPECT_EQ(h.wVerClient, 19);
    EXPECT_EQ(h.bPlatformCreate, 1);
    EXPECT_EQ(h.bCryptMethod, 1);
    EXPECT_EQ(h.root.fAMapValid, 2);
    EXPECT_EQ(h.root.ibFileEof, 0x4400u + 253952u);
    EXPECT_EQ(reader.fileSize(), h.root.ibFileEof);
    EXPECT_EQ(h.root.ibAMapLast, 0x4400u);
    EXPECT_EQ(h.root.cbPMapFree, 0u);
    // Used: the AMap, the PMap, one NBT and one BBT root page.
    EXPECT_EQ(h.root.cbAMapFree, 253952u - 4 * 512);
    EXPECT_EQ(h.rgnid[kNidTypeNormalFolder], 0x400u);
    EXPECT_EQ(h.rgnid[kNidTypeSearchFolder], 0x4000u);
    EXPECT_EQ(h.rgnid[kNidTypeNormalMessage], 0x10000u);
    EXPECT_EQ(h.rgnid[kNidTypeAssocMessage], 0x8000u);
    EXPECT_EQ(h.rgnid[kNidTypeInternal], 0x400u);
    for (uint8_t b : h.rgbFM) EXPECT_EQ(b, 0xFF);
    for (uint8_t b : h.rgbFP) EXPECT_EQ(b, 0xFF);
    EXPECT_STORE_SOUND(path);
}

TEST(Nids, AllocationFollowsTheHeaderCountersAndPersists) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("nids.pst");
    {
        auto db = NodeDatabase::create(path);
        EXPECT_EQ(db->allocateNid(kNidTypeNormalFolder), 0x8022u);   // Outlook's IPM subtree NID
        EXPECT_EQ(db->allocateNid(kNidTypeNormalFolder), 0x8042u);
        EXPECT_EQ(db->allocateNid(kNidTypeNormalMessage), makeNid(kNidTypeNormalMessage, 0x10001));
        EXPECT_EQ(db->allocateNid(kNidTypeSearchFolder), makeNid(kNidTypeSearchFolder, 0x4001));
        // A node put with a higher index raises its type's counter; fixed low NIDs do not.
        db->putNode(makeNid(kNidTypeHierarchyTable, 0x500), 0, 0, 0);
        db->putNode(0x2223, 0, 0, 0);
        EXPECT_EQ(db->allocateNid(kNidTypeHierarchyTable), makeNid(kNidTypeHierarchyTable, 0x501));
        EXPECT_EQ(db->allocateNid(kNidTypeSearchFolder), makeNid(kNidTypeSearchFolder, 0x4002));
        db->close();
    }
    StoreReader reader(path);
    EXPECT_EQ(reader.header().rgnid[kNidTypeNormalFolder], 0x402u);
    EXPECT_EQ(reader.header().rgnid[kNidTypeHierarchyTable], 0x501u);
    EXPECT_EQ(reader.header().rgnid[kNidTypeNormalMessage], 0x10001u);
}

TEST(Commit, EveryCommitLeavesAValidStoreOfThatMoment) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("repeat.pst");
    auto db = NodeDatabase::create(path);
    Expected e;
    std::vector<std::pair<std::string, Expected>> snapshots;
    uint32_t lastUnique = 0;
    for (uint32_t round = 0; round < 8; ++round) {
        for (uint32_t i = 0; i < 150; ++i)
            putWithData(*db, e, makeNid(kNidTypeNormalMessage, 0x10001 + round * 150 + i),
                        ndbtest::pattern(100 + (i * 37) % 9000, round * 1000 + i));
        // Replace and remove some earlier nodes.
        if (round > 0) {
            for (uint32_t i = 0; i < 20; ++i)
                putWithData(*db, e, makeNid(kNidTypeNormalMessage, 0x10001 + (round - 1) * 150 + i),
                            ndbtest::pattern(50, 77 + i));
            for (uint32_t i = 20; i < 30; ++i) {
                const Nid nid = makeNid(kNidTypeNormalMessage, 0x10001 + (round - 1) * 150 + i);
                db->removeNode(nid);
                e.data.erase(nid);
            }
        }
        db->commit();
        const std::string copy = dir.file("commit" + std::to_string(round) + ".pst");
        fs::copy_file(path, copy);
        snapshots.emplace_back(copy, e);
        StoreReader reader(copy);
        EXPECT_GT(reader.header().dwUnique, lastUnique);
        lastUnique = reader.header().dwUnique;
    }
    db->close();
    // Between commits the AMaps still mark the space freed before the last commit (it was live
    // until that header landed); after close() they are exact.
    for (const auto& [copy, expected] : snapshots) expectStoreHolds(copy, expected, ndbtest::leaksAllowed());
    expectStoreHolds(path, e);
}

TEST(Commit, ReleasedSpaceIsReusedOnlyOnceTheHeaderThatReleasedItIsDurable) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("reuse.pst");
    auto db = NodeDatabase::create(path);
    const Bid old = db->writeData(ndbtest::pattern(1000, 1));
    db->putNode(0x21, old, 0, 0);
    db->commit();
    const uint64_t oldIb = db->findBlock(old)->ib;
    const std::string before = dir.file("before.pst");
    fs::copy_file(path, before);

    // Replacing the node releases the old block: gone from the index at once...
    db->putNode(0x21, db->writeData(ndbtest::pattern(1000, 2)), 0, 0);
    EXPECT_FALSE(db->findBlock(old));
    // ...but its bytes stay untouched until the commit that stops referencing it is durable.
    for (uint32_t i = 0; i < 50; ++i) {
        const Bid b = db->writeData(ndbtest::pattern(1000, 100 + i));
        EXPECT_NE(db->findBlock(b)->ib, oldIb);
        db->putNode(makeNid(kNidTypeLtp, 0x400 + i), b, 0, 0);
    }
    Expected previous;
    previous.data[0x21] = ndbtest::pattern(1000, 1);
    {
        // The live file still reads as the previous commit.
        StoreReader reader(path);
        EXPECT_EQ(reader.readData(reader.nodes().at(0x21).data), previous.data[0x21]);
    }
    db->commit();
    {
        StoreReader reader(path);
        const auto problems = reader.verify(ndbtest::leaksAllowed());
        EXPECT_TRUE(problems.empty()) << ndbtest::joinProblems(problems);
    }
    // That commit's header is written but becomes durable only with the next commit's sync:
    // until then a crash may bring back the header before it, which still reads the old block.
    const Bid early = db->writeData(ndbtest::pattern(1000, 998));
    EXPECT_NE(db->findBlock(early)->ib, oldIb);
    db->putNode(makeNid(kNidTypeLtp, 0x500), early, 0, 0);
    db->commit();
    // After that sync the space is free for new blocks of the same size.
    const Bid reused = db->writeData(ndbtest::pattern(1000, 999));
    EXPECT_EQ(db->findBlock(reused)->ib, oldIb);
    db->putNode(0x61, reused, 0, 0);
    db->close();
    EXPECT_STORE_SOUND(path);
    expectStoreHolds(before, previous);
}

TEST(Commit, RewritesOnlyTheChangedPages) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("cow.pst");
    auto plan = std::make_shared<ndbtest::FaultPlan>();
    // Pages are counted one write each, so writes are not gathered here.
    Options options = ndbtest::faultyOptions(plan);
    options.writeBehindBytes = 0;
    auto db = NodeDatabase::create(path, options);
    for (uint32_t i = 0; i < 20000; ++i)
        db->putNode(makeNid(kNidTypeNormalMessage, 0x10001 + i), db->writeData(ndbtest::pattern(8, i)), 0, 0x8022);
    db->commit();
    StoreReader big(path);
    const unsigned nbtLevels = big.nbtLevels();
    const unsigned bbtLevels = big.bbtLevels();
    ASSERT_GE(nbtLevels, 3u);
    ASSERT_GE(bbtLevels, 3u);

    size_t totalPages = 0;
    {
        StoreReader reader(path);
        totalPages = reader.nodes().size() / 15 + reader.blocks().size() / 20;
    }
    for (int round = 0; round < 3; ++round) {
        const long pagesBefore = plan->pageWrites;
        const long syncsBefore = plan->syncs;
        db->putNode(makeNid(kNidTypeNormalMessage, 0x20000 + round), db->writeData(ndbtest::pattern(8, 1)), 0, 0x8022);
        db->commit();
        const long pages = plan->pageWrites - pagesBefore;
        // One new path per tree, plus the AMaps of the spans that changed: the new pages' and
        // those of the pages the previous commit replaced.
        const long paths = static_cast<long>(nbtLevels + bbtLevels);
        EXPECT_GE(pages, paths + 1) << "round " << round;
        EXPECT_LE(pages, 2 * paths + 2) << "round " << round << ": " << pages << " pages for one node";
        EXPECT_LT(pages * 50, static_cast<long>(totalPages));
        // One sync: everything but the header (and with it the previous commit's header).
        EXPECT_EQ(plan->syncs - syncsBefore, 1);
    }
    db->close();
    EXPECT_STORE_SOUND(path);
}

TEST(Commit, AFailureAtAnyWriteLeavesThePreviousCommitReadable) {
    // Find how many writes one commit does, then fail each of them in turn.
    auto runUntilFailure = [](const std::string& path, std::shared_ptr<ndbtest::FaultPlan> plan, long failAt,
                              Expected& committed) {
        // Every single write of a commit fails in turn, so writes are not gathered here (the
        // store-level fault sweep covers the gathered ones).
        Options options = ndbtest::faultyOptions(plan);
        options.writeBehindBytes = 0;
        auto db = NodeDatabase::create(path, options);
        for (uint32_t i = 0; i < 400; ++i)
            putWithData(*db, committed, makeNid(kNidTypeNormalMessage, 0x10001 + i), ndbtest::pattern(300, i));
        db->commit();
        // Changes for the next commit: new nodes, replacements and removals (which free pages).
        for (uint32_t i = 0; i < 100; ++i)
            db->putNode(makeNid(kNidTypeNormalMessage, 0x20001 + i), db->writeData(ndbtest::pattern(300, 5000 + i)), 0, 0);
        for (uint32_t i = 0; i < 100; ++i)
            db->putNode(makeNid(kNidTypeNormalMessage, 0x10001 + i), db->writeData(ndbtest::pattern(70, i)), 0, 0);
        for (uint32_t i = 100; i < 150; ++i) db->removeNode(makeNid(kNidTypeNormalMessage, 0x10001 + i));
        const long writesBefore = plan->writes;
        if (failAt > 0) plan->failAtWrite = writesBefore + failAt;
        try {
            db->commit();
        } catch (const zentra::Error& e) {
            EXPECT_EQ(e.number(), zentra::kErrStoreWrite);
            EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
            EXPECT_NE(e.description().find("injected"), std::string::npos);
            // The database refuses further work instead of building on an unknown state.
            EXPECT_THROW(db->commit(), zentra::Error);
            return -1L;
        }
        return plan->writes - writesBefore;
    };

    ndbtest::ScratchDir dir;
    Expected unused;
    const long commitWrites = runUntilFailure(dir.file("count.pst"), std::make_shared<ndbtest::FaultPlan>(), 0, unused);
    ASSERT_GT(commitWrites, 5);
    for (long k = 1; k <= commitWrites; ++k) {
        const std::string path = dir.file("fail" + std::to_string(k) + ".pst");
        Expected committed;
        auto plan = std::make_shared<ndbtest::FaultPlan>();
        EXPECT_EQ(runUntilFailure(path, plan, k, committed), -1) << "write " << k << " did not fail";
        VerifyOptions lenient;
        lenient.allowInvalidAMaps = true;   // the interrupted commit may have flagged them
        lenient.allowLongerFile = true;     // and grown the file
        lenient.allowAMapLeaks = true;      // and written AMaps that also cover the next state
        SCOPED_TRACE("failing write " + std::to_string(k) + " of " + std::to_string(commitWrites));
        expectStoreHolds(path, committed, lenient);
    }
}

TEST(Commit, AFailedSyncIsReportedAndStopsTheCommit) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("sync.pst");
    auto plan = std::make_shared<ndbtest::FaultPlan>();
    auto db = NodeDatabase::create(path, ndbtest::faultyOptions(plan));
    Expected committed;
    putWithData(*db, committed, 0x21, ndbtest::pattern(10, 1));
    db->commit();
    db->putNode(0x61, db->writeData(ndbtest::pattern(10, 2)), 0, 0);
    plan->failAtSync = plan->syncs + 1;
    EXPECT_THROW(db->commit(), zentra::Error);
    VerifyOptions lenient;
    lenient.allowLongerFile = true;
    lenient.allowAMapLeaks = true;
    expectStoreHolds(path, committed, lenient);
}

TEST(Growth, AFileOverSeveralSpansHasExactAMapsAndPMaps) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("grow.pst");
    auto db = NodeDatabase::create(path);
    Expected e;
    // About 6 MB: 25 spans, PMaps in spans 0, 8, 16, 24; mixed block sizes.
    for (uint32_t i = 0; i < 700; ++i)
        putWithData(*db, e, makeNid(kNidTypeNormalMessage, 0x10001 + i), ndbtest::pattern(1 + (i * 977) % 17000, i));
    db->commit();
    EXPECT_GT(db->fileSize(), 8 * disk::kAMapSpan);
    expectStoreHolds(path, e);
    // Free a third of it: the AMaps must show exactly what is left.
    for (uint32_t i = 0; i < 700; i += 3) {
        db->removeNode(makeNid(kNidTypeNormalMessage, 0x10001 + i));
        e.data.erase(makeNid(kNidTypeNormalMessage, 0x10001 + i));
    }
    db->commit();
    expectStoreHolds(path, e, ndbtest::leaksAllowed());
    db->close();
    expectStoreHolds(path, e);
    StoreReader reader(path);
    EXPECT_EQ((reader.header().root.ibFileEof - 0x4400) % disk::kAMapSpan, 0u);
    EXPECT_EQ(reader.header().root.ibAMapLast, reader.header().root.ibFileEof - disk::kAMapSpan);
}

TEST(Growth, PastOneHundredTwentyEightSpansFMapPagesAppear) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("fmap.pst");
    Options o;
    o.encoding = Encoding::None;
    auto db = NodeDatabase::create(path, o);
    const std::vector<uint8_t> chunk = ndbtest::pattern(1021 * 8176, 3);   // one full XBLOCK, ~8.3 MB
    for (uint32_t i = 0; i < 5; ++i) db->putNode(makeNid(kNidTypeLtp, 0x400 + i), db->writeData(chunk), 0, 0);
    db->close();
    StoreReader reader(path);
    EXPECT_GT(reader.header().root.ibFileEof, disk::amapOffset(129));
    const auto problems = reader.verify();   // checks the FMap bytes against the AMaps
    EXPECT_TRUE(problems.empty()) << ndbtest::joinProblems(problems);
    EXPECT_EQ(reader.readData(reader.nodes().at(makeNid(kNidTypeLtp, 0x404)).data), chunk);
}

TEST(Close, TheStoreIsUnusableAfterwards) {
    ndbtest::ScratchDir dir;
    auto db = NodeDatabase::create(dir.file("closed.pst"));
    db->close();
    try {
        db->putNode(0x21, 0, 0, 0);
        FAIL();
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrStoreDetached);
    }
}

TEST(WriteErrors, TheSystemsReasonAndThePathReachTheCaller) {
    // A file-size limit makes the growth of the file fail the way a full disk would, through
    // the real POSIX file: the error names the path and the system's reason.
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("limited.pst");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 600000;   // two spans fit, a third does not
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    long number = 0;
    std::string description;
    {
        auto db = NodeDatabase::create(path);
        try {
            for (uint32_t i = 0; i < 200; ++i) db->putNode(makeNid(kNidTypeLtp, 0x400 + i), db->writeData(ndbtest::pattern(8000, i)), 0, 0);
        } catch (const zentra::Error& e) {
            number = e.number();
            description = e.description();
        }
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(number, zentra::kErrStoreWrite);
    EXPECT_NE(description.find(path), std::string::npos) << description;
    EXPECT_NE(description.find("File too large"), std::string::npos) << description;

    // A store that cannot even take its first span fails at once and leaves no file behind.
    const std::string tiny = dir.file("tiny.pst");
    limited.rlim_cur = 4096;
    oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    try {
        NodeDatabase::create(tiny);
        number = 0;
    } catch (const zentra::Error& e) {
        number = e.number();
        description = e.description();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(number, zentra::kErrStoreCreate) << description;
    EXPECT_NE(description.find(tiny), std::string::npos) << description;
    EXPECT_FALSE(fs::exists(tiny));
}

TEST(WriteErrors, DiskFullKeepsItsNumberThroughTheCommit) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("full.pst");
    auto plan = std::make_shared<ndbtest::FaultPlan>();
    plan->errorNumber = zentra::kErrDiskFull;
    auto db = NodeDatabase::create(path, ndbtest::faultyOptions(plan));
    db->putNode(0x21, db->writeData(ndbtest::pattern(10, 1)), 0, 0);
    plan->failAtWrite = plan->writes + 1;
    try {
        db->commit();
        FAIL();
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrDiskFull);
        EXPECT_NE(e.description().find("while committing " + path), std::string::npos) << e.description();
    }
}
