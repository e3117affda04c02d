#include "sources/keyed_list.h"

#include <gtest/gtest.h>

#include <functional>

#include "zentra/error.h"

namespace sources {
namespace {

long errorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const zentra::Error& e) {
        return e.number();
    }
    return 0;
}

TEST(KeyedList, KeepsInsertionOrderWithOneBasedPositionsAndKeys) {
    KeyedList list;
    list.add("C:/R/", "K0");
    list.add("C:/R/A/", "K2");
    list.add(7, "K3");

    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.text(1), "C:/R/");
    EXPECT_EQ(list.key(1), "K0");
    EXPECT_EQ(list.text(2), "C:/R/A/");
    EXPECT_EQ(list.number(3), 7);
    EXPECT_EQ(std::get<std::string>(list.item("K2")), "C:/R/A/");

    std::vector<std::string> keys;
    for (const auto& entry : list) keys.emplace_back(entry.key);
    EXPECT_EQ(keys, std::vector<std::string>({"K0", "K2", "K3"}));
}

TEST(KeyedList, AddUnderPresentKeyRaises457AndAddsNothing) {
    KeyedList list;
    list.add("first", "K0");
    try {
        list.add("second", "K0");
        FAIL() << "a duplicate key was accepted";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), 457);
        EXPECT_EQ(e.description(), "This key is already associated with an element of this collection");
    }
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.text(1), "first");
    // The list stays usable: a new key still goes in at the next position.
    list.add("third", "K1");
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.text(2), "third");
}

TEST(KeyedList, KeysAreCaseSensitiveText) {
    KeyedList list;
    list.add(1, "k1");
    list.add(2, "K1");
    EXPECT_EQ(list.count(), 2);
}

TEST(KeyedList, BadPositionsKeysAndKindsRaise) {
    KeyedList list;
    list.add("a", "K1");
    list.add(5, "K2");
    EXPECT_EQ(errorNumberOf([&] { list.item(0); }), zentra::kErrSubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { list.item(3); }), zentra::kErrSubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { list.item("K9"); }), zentra::kErrInvalidCall);
    EXPECT_EQ(errorNumberOf([&] { list.number(1); }), 13);
    EXPECT_EQ(errorNumberOf([&] { list.text(2); }), 13);
}

TEST(KeyedList, SharedHolderKeepsTheListAfterTheOwnerLetsGo) {
    KeyedListPtr owner = std::make_shared<KeyedList>();
    owner->add("x", "K1");
    KeyedListPtr holder = owner;
    owner.reset();
    ASSERT_EQ(holder->count(), 1);
    EXPECT_EQ(holder->text(1), "x");
}

TEST(KeyedList, ManyEntriesKeepOrderAndUniqueness) {
    KeyedList list;
    for (int i = 1; i <= 50000; ++i) list.add(std::to_string(i), "K" + std::to_string(i));
    ASSERT_EQ(list.count(), 50000);
    EXPECT_EQ(list.text(50000), "50000");
    EXPECT_EQ(errorNumberOf([&] { list.add("again", "K25000"); }), 457);
    EXPECT_EQ(list.count(), 50000);
}

TEST(KeyedList, TextsAreKeptAsExactBytesAndKeysAnyBytes) {
    KeyedList list;
    const std::string notUtf8 = std::string("/d/caf") + char(0xE9) + ".vcf";
    const std::string withNul("/d/a\0b", 6);
    list.add(notUtf8, "K1");
    list.add("/d/t.vcf ", "K2");
    list.add("/d/t.vcf", "K3");
    list.add(withNul, std::string("K\xFF", 2));
    list.add(-1, "");   // the empty key is a key like any other
    EXPECT_EQ(list.text(1), notUtf8);
    EXPECT_EQ(list.text(2), "/d/t.vcf ");
    EXPECT_EQ(list.text(3), "/d/t.vcf");
    EXPECT_EQ(std::get<std::string>(list.item(std::string("K\xFF", 2))), withNul);
    EXPECT_EQ(list.number(5), -1);
    EXPECT_EQ(list.key(5), "");
    EXPECT_EQ(errorNumberOf([&] { list.add(0, ""); }), 457);
    EXPECT_FALSE(list.contains("K\xFE"));
}

TEST(KeyedList, AScanSizedListHoldsAFewDozenBytesPerEntry) {
    // Two hundred thousand files as a folder scan logs them: keys "K<n>", paths sharing folders.
    KeyedList list;
    for (int i = 1; i <= 200000; ++i)
        list.add("/home/ann/Contacts/folder" + std::to_string(i / 100) + "/contact" + std::to_string(i) + ".vcf",
                 "K" + std::to_string(i));
    // About forty bytes of bookkeeping, the room its arrays keep for growth included, plus the
    // file name's (here 17); a QString per value and key with a hash map took over 250.
    EXPECT_LT(list.bytesHeld() / 200000, 64u);
    // Every key still finds its own entry after the index has grown many times.
    for (int i = 1; i <= 200000; i += 997)
        ASSERT_EQ(std::get<std::string>(list.item("K" + std::to_string(i))),
                  "/home/ann/Contacts/folder" + std::to_string(i / 100) + "/contact" + std::to_string(i) + ".vcf");
}

}  // namespace
}  // namespace sources
