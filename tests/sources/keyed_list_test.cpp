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
    list.add(QStringLiteral("C:/R/"), "K0");
    list.add(QStringLiteral("C:/R/A/"), "K2");
    list.add(7, "K3");

    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.text(1), "C:/R/");
    EXPECT_EQ(list.key(1), "K0");
    EXPECT_EQ(list.text(2), "C:/R/A/");
    EXPECT_EQ(list.number(3), 7);
    EXPECT_EQ(std::get<QString>(list.item(QStringLiteral("K2"))), "C:/R/A/");

    QStringList keys;
    for (const auto& entry : list) keys << entry.key;
    EXPECT_EQ(keys, QStringList({"K0", "K2", "K3"}));
}

TEST(KeyedList, AddUnderPresentKeyRaises457AndAddsNothing) {
    KeyedList list;
    list.add(QStringLiteral("first"), "K0");
    try {
        list.add(QStringLiteral("second"), "K0");
        FAIL() << "a duplicate key was accepted";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), 457);
        EXPECT_EQ(e.description(), "This key is already associated with an element of this collection");
    }
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.text(1), "first");
    // The list stays usable: a new key still goes in at the next position.
    list.add(QStringLiteral("third"), "K1");
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
    list.add(QStringLiteral("a"), "K1");
    list.add(5, "K2");
    EXPECT_EQ(errorNumberOf([&] { list.item(0); }), zentra::kErrSubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { list.item(3); }), zentra::kErrSubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { list.item(QStringLiteral("K9")); }), zentra::kErrInvalidCall);
    EXPECT_EQ(errorNumberOf([&] { list.number(1); }), 13);
    EXPECT_EQ(errorNumberOf([&] { list.text(2); }), 13);
}

TEST(KeyedList, SharedHolderKeepsTheListAfterTheOwnerLetsGo) {
    KeyedListPtr owner = std::make_shared<KeyedList>();
    owner->add(QStringLiteral("x"), "K1");
    KeyedListPtr holder = owner;
    owner.reset();
    ASSERT_EQ(holder->count(), 1);
    EXPECT_EQ(holder->text(1), "x");
}

TEST(KeyedList, ManyEntriesKeepOrderAndUniqueness) {
    KeyedList list;
    for (int i = 1; i <= 50000; ++i) list.add(QString::number(i), "K" + QString::number(i));
    ASSERT_EQ(list.count(), 50000);
    EXPECT_EQ(list.text(50000), "50000");
    EXPECT_EQ(errorNumberOf([&] { list.add(QStringLiteral("again"), "K25000"); }), 457);
    EXPECT_EQ(list.count(), 50000);
}

}  // namespace
}  // namespace sources
