// The sorted property map behaves as the std::map it replaced: ids in ascending order whatever
// the insertion order, first insertion wins for try_emplace, last for insert_or_assign.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "pst/ltp/ltp.h"
#include "pst/ltp/values.h"

namespace pst::ltp {
namespace {

TEST(PropertyMapTest, AgreesWithStdMapUnderRandomOperations) {
    std::mt19937 rng(4242);   // fixed random start
    SortedIdMap<int> flat;
    std::map<uint16_t, int> tree;
    for (int step = 0; step < 20000; ++step) {
        const auto id = static_cast<uint16_t>(rng() % 300);
        const int value = static_cast<int>(rng() % 1000);
        switch (rng() % 6) {
        case 0: EXPECT_EQ(flat.try_emplace(id, value).second, tree.try_emplace(id, value).second); break;
        case 1: EXPECT_EQ(flat.insert_or_assign(id, value).second, tree.insert_or_assign(id, value).second); break;
        case 2: flat[id] = value, tree[id] = value; break;
        case 3: EXPECT_EQ(flat.erase(id), tree.erase(id)); break;
        case 4: EXPECT_EQ(flat.count(id), tree.count(id)); break;
        default:
            if (tree.count(id)) EXPECT_EQ(flat.at(id), tree.at(id));
            else EXPECT_THROW(flat.at(id), std::out_of_range);
        }
        ASSERT_EQ(flat.size(), tree.size()) << "step " << step;
    }
    auto it = tree.begin();
    for (const auto& [id, value] : flat) {
        ASSERT_NE(it, tree.end());
        EXPECT_EQ(id, it->first);
        EXPECT_EQ(value, it->second);
        ++it;
    }
    EXPECT_EQ(it, tree.end());
}

TEST(PropertyMapTest, AssigningUnsortedEntriesKeepsTheLastOfEachId) {
    SortedIdMap<int> m{{7, 0}};
    m.assign({{5, 1}, {3, 2}, {5, 3}, {9, 4}, {3, 5}, {5, 6}});
    std::vector<std::pair<uint16_t, int>> got(m.begin(), m.end());
    EXPECT_EQ(got, (std::vector<std::pair<uint16_t, int>>{{3, 5}, {5, 6}, {9, 4}}));
    m.assign({});
    EXPECT_TRUE(m.empty());
}

TEST(PropertyMapTest, InsertingAbsentEntriesKeepsPresentOnesAndTheOrder) {
    SortedIdMap<int> m{{4, 40}, {8, 80}, {12, 120}};
    std::vector<std::pair<uint16_t, int>> extra{{1, 1}, {4, -1}, {6, 6}, {12, -1}, {13, 13}, {20, 20}};
    m.insertAbsent(extra);
    std::vector<std::pair<uint16_t, int>> got(m.begin(), m.end());
    EXPECT_EQ(got, (std::vector<std::pair<uint16_t, int>>{{1, 1}, {4, 40}, {6, 6}, {8, 80}, {12, 120}, {13, 13}, {20, 20}}));
    SortedIdMap<int> empty;
    empty.insertAbsent(extra);
    EXPECT_EQ(empty.size(), extra.size());
    m.insertAbsent(extra);   // all present now: nothing changes
    EXPECT_EQ((std::vector<std::pair<uint16_t, int>>(m.begin(), m.end())), got);
}

TEST(PropertyMapTest, HoldsValuesAndComparesWhole) {
    PropertyMap a{{0x3001, stringValue("Ann")}, {0x0E07, int32Value(1)}};
    EXPECT_EQ(a.begin()->first, 0x0E07);
    EXPECT_TRUE(a.contains(0x3001));
    EXPECT_EQ(a.find(0x1234), a.end());
    const PropertyMap& view = a;
    EXPECT_EQ(view.find(0x3001)->second.bytes, stringValue("Ann").bytes);
    SortedIdMap<int> x{{2, 20}, {1, 10}}, y{{1, 10}, {2, 20}}, z{{1, 10}};
    EXPECT_TRUE(x == y);
    EXPECT_FALSE(x == z);
}

}  // namespace
}  // namespace pst::ltp
