// pstcheck against the damages of the reader-strictness study: dist-list.pst (Outlook-written,
// permute-encoded) damaged one way at a time, some with their CRCs repaired so that only the
// targeted check can see the fault. Each must be reported with its own finding code.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "pst_patch.h"
#include "pstcheck/checker.h"

namespace {

namespace fs = std::filesystem;
using pstpatch::PstFile;

const fs::path kSamples = fs::path(ZENTRA_SHARED_DIR) / "reference" / "pst-samples";

class DamageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kSamples / "dist-list.pst")) GTEST_SKIP() << "no sample stores in " << kSamples;
        pst = std::make_unique<PstFile>((kSamples / "dist-list.pst").string());
        // The contact message and the block of its property context that holds its e-mail address.
        const auto email = pstpatch::utf16("contact1@rjohnson.id.au");
        for (const auto& [nid, n] : pst->nbt()) {
            if ((nid & 0x1F) != 0x04) continue;
            for (const auto& b : pst->dataBlocksOf(nid)) {
                auto data = pst->readData(b);
                size_t at = pstpatch::find(data, email);
                if (at == std::string::npos || pstpatch::find(data, pstpatch::utf16("IPM.Contact")) == std::string::npos) continue;
                contactNid = nid;
                contactBlock = b;
                emailOffset = b.ib + at;
            }
        }
        ASSERT_NE(contactBlock.bid, 0u);
    }

    // The report must carry `code` as an error; prints the report otherwise.
    void expectCaught(const std::string& code, std::optional<uint64_t> offset = std::nullopt) {
        auto report = pstcheck::checkImage(pst->bytes);
        EXPECT_FALSE(report.clean());
        bool found = false;
        for (const auto& f : report.findings)
            found |= f.severity == pstcheck::Severity::Error && f.code == code && (!offset || f.offset == offset);
        EXPECT_TRUE(found) << "expected " << code << (offset ? " at " + std::to_string(*offset) : "") << ", got:\n"
                           << report.toText();
    }

    std::unique_ptr<PstFile> pst;
    size_t emailOffset = 0;
    uint32_t contactNid = 0;
    pstpatch::BbtSlot contactBlock{};
};

TEST_F(DamageTest, UndamagedSampleIsClean) {
    auto report = pstcheck::checkImage(pst->bytes);
    EXPECT_TRUE(report.clean()) << report.toText();
}

TEST_F(DamageTest, HeaderChecksumsAndReservedBytes) {
    auto original = pst->bytes;
    pst->bytes[4] ^= 0x01;  // 01 dwCRCPartial
    expectCaught("header.crc_partial", 4);
    pst->bytes = original;
    pst->bytes[0x20C] ^= 0x01;  // 02 dwCRCFull
    expectCaught("header.crc_full", 0x20C);
    pst->bytes = original;
    pst->bytes[0x202] = 0x5A;  // 03 rgbReserved, covered by the full CRC only
    expectCaught("header.crc_full", 0x20C);
}

TEST_F(DamageTest, BlockTrailerAndData) {
    auto original = pst->bytes;
    const uint64_t trailer = pst->trailerOffset(contactBlock);
    pst->bytes[trailer + 4] ^= 0xFF;  // 04 dwCRC
    expectCaught("block.crc", contactBlock.ib);
    pst->bytes = original;
    pst->bytes[emailOffset + 2] ^= 0x10;  // 05 one byte of the e-mail address
    expectCaught("block.crc", contactBlock.ib);
    pst->bytes = original;
    pst->bytes[trailer + 2] ^= 0x01;  // 06 wSig
    expectCaught("block.sig", contactBlock.ib);
    pst->bytes = original;
    pst->set(trailer + 8, 8, contactBlock.bid + 4);  // 07 trailer bid
    expectCaught("block.bid", contactBlock.ib);
    pst->bytes = original;
    pst->set(trailer, 2, contactBlock.cb - 2);  // 08 trailer cb differs from the BBT's
    expectCaught("block.cb", contactBlock.ib);
}

TEST_F(DamageTest, HeapSignature) {
    auto original = pst->bytes;
    pst->bytes[contactBlock.ib + 2] ^= 0x01;  // 09 as found: the block CRC gives it away
    expectCaught("block.crc", contactBlock.ib);
    pst->bytes = original;
    auto data = pst->readData(contactBlock);  // 09 with the CRC repaired: the HN check must see it
    data[2] = 0xEB;
    pst->writeData(contactBlock, data);
    expectCaught("hn.sig", contactBlock.ib);
}

TEST_F(DamageTest, NbtRootPage) {
    auto original = pst->bytes;
    const uint64_t root = pst->nbtRootIb();
    pst->bytes[root + 500] ^= 0x01;  // 10 page CRC
    expectCaught("page.crc", root);
    pst->bytes = original;
    pst->bytes[root + 498] ^= 0x01;  // 11 wSig
    expectCaught("page.sig", root);
    pst->bytes = original;
    pst->bytes[root + 492] = 0x77;  // 12 BTPAGE padding
    expectCaught("page.crc", root);
    pst->bytes = original;
    pst->bytes[root + 496] = pst->bytes[root + 497] = 0x80;  // 13 ptype says BBT (outside the CRC)
    expectCaught("page.type", root);
}

TEST_F(DamageTest, AllocationMaps) {
    auto original = pst->bytes;
    pst->bytes[0x4400 + 500] ^= 0x01;  // 14 AMap CRC
    expectCaught("page.crc", 0x4400);
    pst->bytes = original;
    // 15 the AMap bit of a live block cleared, CRC repaired
    const uint64_t unit = (contactBlock.ib - 0x4400) / 64;
    pst->bytes[0x4400 + unit / 8] &= static_cast<uint8_t>(~(0x80 >> (unit % 8)));
    pst->fixPageCrc(0x4400);
    expectCaught("amap.free_live", contactBlock.ib);
    expectCaught("amap.free_total");
    pst->bytes = original;
    pst->bytes[0x4600 + 500] ^= 0x01;  // 16 (PMap here; the study damaged a second AMap CRC)
    expectCaught("page.crc", 0x4600);
    pst->bytes = original;
    pst->bytes[0x4200 + 500] ^= 0x01;  // 25 DList CRC
    expectCaught("page.crc", 0x4200);
}

TEST_F(DamageTest, HeaderRootFieldsWithConsistentCrcs) {
    auto original = pst->bytes;
    pst->bytes[0xF8] = 0;  // 17 fAMapValid
    pst->fixHeaderCrcs();
    expectCaught("header.amap_valid", 0xF8);
    pst->bytes = original;
    pst->set(0xB8, 8, pst->get(0xB8, 8) + 253952);  // 18 ibFileEof past the end
    pst->fixHeaderCrcs();
    expectCaught("header.eof", 0xB8);
    pst->bytes = original;
    pst->set(0x204, 8, 0x100);  // 19 bidNextB below the BIDs in use
    pst->fixHeaderCrcs();
    expectCaught("block.bid_range");
    pst->bytes = original;
    pst->set(0x2C + 4 * 0x02, 4, 0x400);  // rgnid[NORMAL_FOLDER] below the folders in use
    pst->fixHeaderCrcs();
    expectCaught("header.rgnid", 0x2C + 4 * 0x02);
    pst->bytes = original;
    pst->set(10, 2, 15);  // 23 wVer claims ANSI
    pst->fixHeaderCrcs();
    expectCaught("header.version", 10);
    pst->bytes = original;
    pst->bytes[0x201] = 0;  // 24 bCryptMethod NONE over encoded blocks
    pst->fixHeaderCrcs();
    expectCaught("hn.sig");
}

TEST_F(DamageTest, BbtEntryCbWithConsistentPageCrc) {
    auto slot = pst->bbt().at(contactBlock.bid);  // 20
    pst->set(slot.entryOffset + 16, 2, slot.cb - 4);
    pst->fixPageCrc(slot.pageIb);
    expectCaught("block.cb", contactBlock.ib);
}

TEST_F(DamageTest, NameToIdMapRemoved) {
    auto slot = pst->nbt().at(0x61);  // 21: take the entry out of its leaf page
    const uint64_t page = slot.pageIb;
    const int cEnt = pst->bytes[page + 488];
    const uint64_t end = page + static_cast<uint64_t>(cEnt) * 32;
    std::copy(pst->bytes.begin() + slot.entryOffset + 32, pst->bytes.begin() + end, pst->bytes.begin() + slot.entryOffset);
    pst->bytes[page + 488] = static_cast<uint8_t>(cEnt - 1);
    pst->fixPageCrc(page);
    expectCaught("nbt.mandatory");
}

TEST_F(DamageTest, AStaleFreeTotalOverRightMapsIsOnlyAWarning) {
    // What a writer stopped between rewriting its AMaps and its header leaves behind.
    pst->set(0xC8, 8, pst->get(0xC8, 8) + 64 * 10);
    pst->fixHeaderCrcs();
    auto report = pstcheck::checkImage(pst->bytes);
    EXPECT_TRUE(report.clean()) << report.toText();
    EXPECT_TRUE(report.has("amap.free_total", /*includeWarnings=*/true));
}

TEST_F(DamageTest, BytesAfterTheEndAreOnlyAWarning) {
    pst->bytes.resize(pst->bytes.size() + 253952, 0xAB);   // a span written after the last commit
    auto report = pstcheck::checkImage(pst->bytes);
    EXPECT_TRUE(report.clean()) << report.toText();
    EXPECT_TRUE(report.has("header.eof_trailing", /*includeWarnings=*/true));
}

TEST_F(DamageTest, TruncatedFile) {
    uint64_t lastEnd = 0;  // 22: cut the free tail behind the last block
    for (const auto& [bid, b] : pst->bbt()) lastEnd = std::max(lastEnd, b.ib + PstFile::blockSpan(b.cb));
    pst->bytes.resize((lastEnd + 511) / 512 * 512);
    expectCaught("header.eof", 0xB8);
}

// Every byte a block's CRC covers is guarded, and so is every byte of a B-tree page; the
// damaged structure must not throw the checker off either (this runs under the sanitizers too).
TEST_F(DamageTest, AnyChangedByteOfABlockOrPageIsCaught) {
    const auto original = pst->bytes;
    std::vector<pstpatch::BbtSlot> blocks;
    for (const auto& [bid, b] : pst->bbt()) blocks.push_back(b);
    std::vector<uint64_t> pages;
    for (const auto& [bid, b] : pst->bbt()) pages.push_back(b.pageIb);
    for (const auto& [nid, n] : pst->nbt()) pages.push_back(n.pageIb);
    std::mt19937 pick(20261207);  // fixed start value: the same positions every run
    for (int i = 0; i < 150; ++i) {
        const auto& b = blocks[pick() % blocks.size()];
        const uint64_t at = b.ib + pick() % b.cb;
        pst->bytes[at] ^= static_cast<uint8_t>(1 + pick() % 255);
        auto report = pstcheck::checkImage(pst->bytes);
        EXPECT_TRUE(report.has("block.crc")) << "byte " << at << " of block " << b.bid << "\n" << report.toText();
        pst->bytes = original;

        const uint64_t page = pages[pick() % pages.size()];
        pst->bytes[page + pick() % 496] ^= 0x20;
        report = pstcheck::checkImage(pst->bytes);
        EXPECT_TRUE(report.has("page.crc")) << "page " << page << "\n" << report.toText();
        pst->bytes = original;
    }
}

// Damages beyond the study, aimed at the store-level checks.
TEST_F(DamageTest, ReferenceCountAndKeyOrder) {
    auto original = pst->bytes;
    auto slot = pst->bbt().at(contactBlock.bid);
    pst->set(slot.entryOffset + 18, 2, slot.cRef + 1);
    pst->fixPageCrc(slot.pageIb);
    expectCaught("ref.count", contactBlock.ib);

    pst->bytes = original;
    auto nodes = pst->nbt();
    auto first = nodes.begin()->second;
    std::vector<uint8_t> a(pst->bytes.begin() + first.entryOffset, pst->bytes.begin() + first.entryOffset + 32);
    std::copy(pst->bytes.begin() + first.entryOffset + 32, pst->bytes.begin() + first.entryOffset + 64,
              pst->bytes.begin() + first.entryOffset);
    std::copy(a.begin(), a.end(), pst->bytes.begin() + first.entryOffset + 32);
    pst->fixPageCrc(first.pageIb);
    expectCaught("bt.order", first.pageIb);
}

TEST_F(DamageTest, OverlappingBlocks) {
    auto blocks = pst->bbt();
    auto it = blocks.begin();
    auto a = it->second, b = (++it)->second;
    pst->set(b.entryOffset + 8, 8, a.ib);  // two BBT entries at one offset
    pst->fixPageCrc(b.pageIb);
    expectCaught("space.overlap");
}

TEST_F(DamageTest, FolderCountAndMessageParent) {
    auto original = pst->bytes;
    auto nodes = pst->nbt();
    const uint32_t message = contactNid;
    const uint32_t folder = nodes.at(message).nidParent;
    ASSERT_EQ(folder & 0x1F, 0x02u);

    // PidTagContentCount of the contacts folder no longer matches its contents table.
    auto block = pst->dataBlockOf(folder);
    auto data = pst->readData(block);
    const std::vector<uint8_t> countRecord = {0x02, 0x36, 0x03, 0x00};
    size_t at = pstpatch::find(data, countRecord);
    ASSERT_NE(at, std::string::npos);
    data[at + 4] += 1;
    pst->writeData(block, data);
    expectCaught("folder.count");
    expectCaught("folder.hierarchy_row");  // the parent's row for it still holds the old count

    // The message's class changes, its contents-table row keeps the old one.
    pst->bytes = original;
    auto contactData = pst->readData(contactBlock);
    size_t cls = pstpatch::find(contactData, pstpatch::utf16("IPM.Contact"));
    contactData[cls + 20] = 'u';
    pst->writeData(contactBlock, contactData);
    expectCaught("folder.contents_row");

    // The message moves to another folder in the NBT only.
    pst->bytes = original;
    auto slot = nodes.at(message);
    pst->set(slot.entryOffset + 24, 4, 0x8062);
    pst->fixPageCrc(slot.pageIb);
    expectCaught("folder.contents");
    pst->set(slot.entryOffset + 24, 4, 0x12345);  // and then to no folder at all
    pst->fixPageCrc(slot.pageIb);
    expectCaught("nbt.parent");
}

TEST_F(DamageTest, NameToIdBucketCount) {
    auto block = pst->dataBlockOf(0x61);
    auto data = pst->readData(block);
    const std::vector<uint8_t> record = {0x01, 0x00, 0x03, 0x00, 0xFB, 0x00, 0x00, 0x00};
    size_t at = pstpatch::find(data, record);
    ASSERT_NE(at, std::string::npos);
    data[at + 4] = 0xFA;
    pst->writeData(block, data);
    expectCaught("nameid.bucket_count");
}

TEST_F(DamageTest, NameIdRecordInTheWrongBucket) {
    // NPID 0x8015 is PSETID_Address/0x8005 (FileUnder). Its NAMEID record {0x8005, guid word,
    // 0x15} sits in the entry stream and in its hash bucket; renaming it to 0x8006 in both
    // leaves the bucket copy in a bucket its new key does not hash to.
    int changed = 0;
    for (const auto& [bid, b] : pst->bbt()) {
        if (bid & 2) continue;
        auto data = pst->readData(b);
        bool touched = false;
        for (size_t i = 0; i + 8 <= data.size(); ++i) {
            if (data[i] == 0x05 && data[i + 1] == 0x80 && data[i + 2] == 0 && data[i + 3] == 0 && data[i + 6] == 0x15 &&
                data[i + 7] == 0 && (data[i + 4] & 1) == 0 && data[i + 4] >= 6) {
                data[i] = 0x06;
                touched = true;
                ++changed;
            }
        }
        if (touched) pst->writeData(b, data);
    }
    ASSERT_EQ(changed, 2);  // the entry stream and the bucket
    expectCaught("nameid.bucket");
}

TEST_F(DamageTest, MessageObjectRules) {
    auto original = pst->bytes;
    auto data = pst->readData(contactBlock);
    // PidTagCreationTime retyped as a plain 64-bit integer: the message lacks its creation time.
    size_t at = pstpatch::find(data, {0x07, 0x30, 0x40, 0x00});
    ASSERT_NE(at, std::string::npos);
    data[at + 2] = 0x14;
    pst->writeData(contactBlock, data);
    expectCaught("message.required");

    // mfHasAttach set on a contact without attachments.
    pst->bytes = original;
    data = pst->readData(contactBlock);
    at = pstpatch::find(data, {0x07, 0x0E, 0x03, 0x00});
    ASSERT_NE(at, std::string::npos);
    data[at + 4] |= 0x10;
    pst->writeData(contactBlock, data);
    expectCaught("message.flags");
}

TEST_F(DamageTest, NamesOutlookCannotHoldTwice) {
    auto original = pst->bytes;
    // "Tasks" renamed "NOTES": a sibling of "Notes" that differs only in case.
    bool renamed = false;
    for (const auto& [nid, n] : pst->nbt()) {
        if ((nid & 0x1F) != 0x02 || renamed) continue;
        auto block = pst->dataBlockOf(nid);
        auto data = pst->readData(block);
        size_t at = pstpatch::find(data, pstpatch::utf16("Tasks"));
        if (at == std::string::npos || pstpatch::find(data, pstpatch::utf16("IPF.Task")) == std::string::npos) continue;
        auto upper = pstpatch::utf16("NOTES");
        std::copy(upper.begin(), upper.end(), data.begin() + at);
        pst->writeData(block, data);
        renamed = true;
    }
    ASSERT_TRUE(renamed);
    expectCaught("folder.duplicate_name");

    // PSETID_Address/0x8005 (NPID 0x8015) renamed to 0x8083, which NPID 0x8027 already maps.
    pst->bytes = original;
    for (const auto& [bid, b] : pst->bbt()) {
        if (bid & 2) continue;
        auto data = pst->readData(b);
        bool touched = false;
        for (size_t i = 0; i + 8 <= data.size(); ++i)
            if (data[i] == 0x05 && data[i + 1] == 0x80 && data[i + 2] == 0 && data[i + 3] == 0 && data[i + 6] == 0x15 &&
                data[i + 7] == 0 && (data[i + 4] & 1) == 0 && data[i + 4] >= 6) {
                data[i] = 0x83;
                touched = true;
            }
        if (touched) pst->writeData(b, data);
    }
    expectCaught("nameid.duplicate");
}

}  // namespace
