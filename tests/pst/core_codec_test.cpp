// Byte codecs: little-endian helpers, the [MS-PST] CRC, permute encoding, signatures.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "pst/core/crc.h"
#include "pst/core/le_codec.h"
#include "pst/core/permute.h"
#include "pst/core/signature.h"
#include "zentra/error.h"

using namespace pst::core;

TEST(LeCodec, WritesLowByteFirstAndReadsBack) {
    std::array<uint8_t, 16> buf{};
    writeLe16(buf, 0, 0x1234);
    writeLe32(buf, 2, 0xA1B2C3D4);
    writeLe64(buf, 6, 0x0102030405060708ull);
    const std::array<uint8_t, 14> expected = {0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0x08,
                                              0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buf.begin()));
    EXPECT_EQ(readLe16(buf, 0), 0x1234);
    EXPECT_EQ(readLe32(buf, 2), 0xA1B2C3D4u);
    EXPECT_EQ(readLe64(buf, 6), 0x0102030405060708ull);
}

TEST(LeCodec, RejectsFieldsOutsideTheBuffer) {
    std::array<uint8_t, 8> buf{};
    EXPECT_THROW(readLe32(buf, 5), zentra::Error);
    EXPECT_THROW(writeLe64(buf, 1, 0), zentra::Error);
    EXPECT_THROW(readU8(buf, 8), zentra::Error);
    try {
        readLe16(buf, 7);
        FAIL();
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrStoreCorrupt);
    }
}

TEST(Crc, EqualsInvertedZlibCrcOnRandomBuffers) {
    std::mt19937 rng(12345);   // fixed random start
    EXPECT_EQ(computeCrc({}), 0u);   // (zlib answers 0 for a null buffer, so it cannot compare here)
    for (size_t len : {1u, 3u, 8u, 9u, 15u, 471u, 496u, 516u, 8176u, 100000u}) {
        std::vector<uint8_t> data(len);
        for (auto& b : data) b = static_cast<uint8_t>(rng());
        const uint32_t zlibValue = static_cast<uint32_t>(crc32(0xFFFFFFFFul, data.data(), static_cast<uInt>(data.size())));
        EXPECT_EQ(computeCrc(data), ~zlibValue) << "length " << len;
    }
}

// Blocks of 64 bytes and more are folded 64 and 16 bytes at a time and finished through the
// table: every remainder, start alignment and place where a chained CRC starts must agree.
TEST(Crc, FoldedLengthsAlignmentsAndChainsEqualZlib) {
    std::mt19937 rng(777);
    std::vector<uint8_t> data(700);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    for (size_t offset = 0; offset < 4; ++offset) {
        for (size_t len = 1; len + offset <= data.size(); ++len) {
            const auto part = std::span<const uint8_t>(data).subspan(offset, len);
            const uint32_t expected = ~static_cast<uint32_t>(crc32(0xFFFFFFFFul, part.data(), static_cast<uInt>(len)));
            ASSERT_EQ(computeCrc(part), expected) << "offset " << offset << ", length " << len;
            for (size_t cut : {len / 3, len - len / 5}) {
                ASSERT_EQ(computeCrc(part.subspan(cut), computeCrc(part.first(cut))), expected)
                    << "offset " << offset << ", length " << len << ", chained at " << cut;
            }
        }
    }
}

TEST(Crc, StartsAtZeroWithoutFinalInversionAndChains) {
    const std::vector<uint8_t> zeros(496, 0);
    EXPECT_EQ(computeCrc(zeros), 0u);   // the value an empty DList page carries
    const std::vector<uint8_t> text = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    // The standard CRC-32 check value of "123456789" is 0xCBF43926 (with both inversions).
    EXPECT_EQ(~computeCrc(text, 0xFFFFFFFF), 0xCBF43926u);
    const uint32_t whole = computeCrc(text);
    const uint32_t chained = computeCrc(std::span(text).subspan(4), computeCrc(std::span(text).first(4)));
    EXPECT_EQ(whole, chained);
}

TEST(Crc, MatchesTheHeaderCrcsOfAnOutlookFile) {
    std::ifstream in(std::string(ZENTRA_SHARED_DIR) + "/reference/pst-samples/Empty.pst", std::ios::binary);
    if (!in) GTEST_SKIP() << "Outlook sample files are not available";
    std::vector<uint8_t> header(0x234);
    in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
    EXPECT_EQ(computeCrc(std::span(header).subspan(8, 471)), readLe32(header, 4));
    EXPECT_EQ(computeCrc(std::span(header).subspan(8, 516)), readLe32(header, 0x20C));
}

TEST(Permute, TablesAreInversePermutations) {
    const auto enc = permuteEncodeTable();
    const auto dec = permuteDecodeTable();
    std::set<uint8_t> seen(enc.begin(), enc.end());
    EXPECT_EQ(seen.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(dec[enc[i]], i) << "byte " << i;
    // Spot values from [MS-PST] 5.1.
    EXPECT_EQ(enc[0], 65);
    EXPECT_EQ(enc[255], 61);
    EXPECT_EQ(dec[0], 71);
    EXPECT_EQ(dec[255], 236);
}

TEST(Permute, RoundTripsAndChangesTheBytes) {
    std::vector<uint8_t> data(8176);
    std::iota(data.begin(), data.end(), 0);
    std::vector<uint8_t> copy = data;
    encodePermute(copy);
    EXPECT_NE(copy, data);
    // An HN block starts ibHnpm (2 bytes) then bSig 0xEC; encoded, 0xEC becomes table[0xEC].
    std::vector<uint8_t> sig = {0xEC};
    encodePermute(sig);
    EXPECT_EQ(sig[0], permuteEncodeTable()[0xEC]);
    decodePermute(copy);
    EXPECT_EQ(copy, data);
}

TEST(Permute, EveryByteGoesThroughTheTableWhateverTheLength) {
    for (size_t len = 0; len <= 21; ++len) {
        std::vector<uint8_t> data(len);
        for (size_t i = 0; i < len; ++i) data[i] = static_cast<uint8_t>(37 * i + 11);
        std::vector<uint8_t> encoded = data;
        encodePermute(encoded);
        for (size_t i = 0; i < len; ++i)
            ASSERT_EQ(encoded[i], permuteEncodeTable()[data[i]]) << "length " << len << ", byte " << i;
        std::vector<uint8_t> copied(len, 0xEE);
        encodePermute(data, copied);
        EXPECT_EQ(copied, encoded) << "length " << len;
        decodePermute(encoded);
        EXPECT_EQ(encoded, data) << "length " << len;
    }
}

// Blocks are encoded many bytes at a time where the processor allows: every byte value in every
// position of a round, runs that end anywhere in or after one, and buffers starting off any
// alignment must still go through the table byte by byte.
TEST(Permute, LongRunsAtAnyOffsetMatchTheTableByteForByte) {
    std::vector<uint8_t> buffer(600 + 64);
    for (size_t len : {63, 64, 65, 127, 128, 129, 191, 255, 256, 257, 511, 600}) {
        for (size_t offset = 0; offset < 4; ++offset) {
            // 7 is odd, so any 256 consecutive bytes hold every value once.
            for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(7 * i + len + offset);
            const std::vector<uint8_t> before = buffer;
            const std::span<uint8_t> run(buffer.data() + offset, len);
            std::vector<uint8_t> copied(len, 0xEE);
            encodePermute(run, copied);
            encodePermute(run);
            for (size_t i = 0; i < len; ++i) {
                const uint8_t want = permuteEncodeTable()[before[offset + i]];
                ASSERT_EQ(run[i], want) << "length " << len << ", offset " << offset << ", byte " << i;
                ASSERT_EQ(copied[i], want) << "copy, length " << len << ", offset " << offset << ", byte " << i;
            }
            // The bytes around the run are not touched.
            EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + offset, before.begin()));
            EXPECT_TRUE(std::equal(buffer.begin() + offset + len, buffer.end(), before.begin() + offset + len));
            decodePermute(run);
            EXPECT_EQ(buffer, before) << "length " << len << ", offset " << offset;
        }
    }
}

TEST(Permute, ACopyMustBeAsLongAsItsSource) {
    const std::vector<uint8_t> data(9, 1);
    std::vector<uint8_t> shorter(8);
    EXPECT_THROW(encodePermute(data, shorter), zentra::Error);
}

TEST(Signature, FoldsIbXorBid) {
    // Values from Empty.pst: the BBT root page at 0x8400 with BID 0x17B carries wSig 0x857B.
    EXPECT_EQ(computeSignature(0x8400, 0x17B), 0x857B);
    EXPECT_EQ(computeSignature(0, 0), 0);
    EXPECT_EQ(computeSignature(0x12345678ull << 16, 0), 0x5678);   // high half folded onto low half
    EXPECT_EQ(computeSignature(0x00010002, 0x00000001), 0x0002);
}
