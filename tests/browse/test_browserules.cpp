// The rules of the browse that need no window: number formats and the "N/A" marker, the sort
// rotation and its status text, the block cache, the window layout.
#include "browse/blockcache.h"
#include "browse/browselayout.h"
#include "browse/browselook.h"
#include "browse/browsequery.h"
#include "core/numformat.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/networkproject.h"

#include <gtest/gtest.h>

namespace {
// The project file's link table.
const QString kLink = ProjectSchema::LinkTable();
} // namespace

TEST(BrowseRules, PredictionFormatsByRangeAndCurrency)
{
    using BrowseLook::PredictionFormat;
    EXPECT_EQ(PredictionFormat(kdb::dbDouble, 0, 100.5), "0");
    EXPECT_EQ(PredictionFormat(kdb::dbDouble, 0, 100), "0.0");      // exactly 100
    EXPECT_EQ(PredictionFormat(kdb::dbDouble, 5, 15.5), "0.0");
    EXPECT_EQ(PredictionFormat(kdb::dbDouble, 0, 2), "0.00");
    EXPECT_EQ(PredictionFormat(kdb::dbDouble, 0, 1), "0.000");      // exactly 1
    EXPECT_EQ(PredictionFormat(kdb::dbDouble, 0, 0.05), "0.0000");
    EXPECT_EQ(PredictionFormat(kdb::dbDouble, 0, 0.01), "0.00000"); // exactly 0.01
    EXPECT_EQ(PredictionFormat(kdb::dbDouble, 3, 3), "0.00000");
    EXPECT_EQ(PredictionFormat(kdb::dbDouble, 5, 1), "0.00000");    // a negative range
    EXPECT_EQ(PredictionFormat(kdb::dbCurrency, 0, 1e6), "0.00");
    EXPECT_EQ(PredictionFormat(kdb::dbCurrency, 0, 0.001), "0.00");
}

TEST(BrowseRules, PredictionCellsShowNAForTheMarkerAndNull)
{
    using BrowseLook::PredictionText;
    // Predicted is kept in single precision: the marker comes back as -123.45600128...
    EXPECT_EQ(PredictionText(kdb::Value(double(float(NoPrediction))), "0.00"), "N/A");
    EXPECT_EQ(PredictionText(kdb::Value(NoPrediction), "0"), "N/A");
    EXPECT_EQ(PredictionText(kdb::Value("-123.456"), "0"), "N/A");
    EXPECT_EQ(PredictionText(kdb::Value(), "0.0"), "N/A");
    EXPECT_EQ(PredictionText(kdb::Value(""), "0.0"), "");
    EXPECT_EQ(PredictionText(kdb::Value(-123.4), "0.0"), "-123.4");
    EXPECT_EQ(PredictionText(kdb::Value(2.675), "0.00"), "2.68");
    EXPECT_EQ(PredictionText(kdb::Value(0.125), "0.00"), "0.13");
    EXPECT_EQ(PredictionText(kdb::Value(-0.0004), "0.000"), "-0.0004");   // not rounded to nothing
    EXPECT_EQ(PredictionText(kdb::Value(999.96), "0.0"), "1000.0");
    EXPECT_EQ(PredictionText(kdb::Value(12345.5), "0"), "12346");
    EXPECT_EQ(PredictionText(kdb::Value("low"), "0"), "low");
    EXPECT_EQ(PredictionText(kdb::Value("2"), ""), "2");            // an SFAM class as written
    EXPECT_EQ(PredictionText(kdb::Value("-123.456"), ""), "N/A");
    EXPECT_EQ(NumFormat::Format(0.5, "0.00%"), "50.00%");
}

TEST(BrowseRules, SortKeysRotateAndNameThemselvesInTheStatus)
{
    const BrowseColumn a{kLink, "A", 1}, b{kLink, "B", 2}, c{kLink, "C", 3};
    BrowseSortKeys keys;
    EXPECT_EQ(SortStatusText(keys), "");
    PushSortKey(keys, a, false);
    PushSortKey(keys, b, true);
    PushSortKey(keys, c, false);
    EXPECT_EQ(SortStatusText(keys), "Sorted by:  [C],  [B],  [A]");
    PushSortKey(keys, a, false);   // A was in slot 2: it comes to the front, the others move down
    EXPECT_EQ(SortStatusText(keys), "Sorted by:  [A],  [C],  [B]");
    PushSortKey(keys, c, true);    // the key of slot 1 swaps with slot 0
    EXPECT_EQ(SortStatusText(keys), "Sorted by:  [C],  [A],  [B]");
    EXPECT_TRUE(keys[0].desc);
    PushSortKey(keys, c, false);   // the first key again: only its direction changes
    EXPECT_EQ(SortStatusText(keys), "Sorted by:  [C],  [A],  [B]");
    EXPECT_FALSE(keys[0].desc);
    EXPECT_TRUE(keys[2].column == b && keys[2].desc);
    // The same name in the two tables is two columns.
    BrowseSortKeys two;
    PushSortKey(two, {"Test", "Mark", 0}, false);
    PushSortKey(two, {kLink, "Mark", 4}, false);
    EXPECT_FALSE(two[1].IsFree());
}

TEST(BrowseRules, TheBlockCacheKeepsItsBoundAndDropsTheLeastUsedBlock)
{
    BlockCache cache(10, 3);
    auto block = [](int64_t first) {
        std::vector<BlockCache::Row> rows;
        for (int i = 0; i < 10; ++i)
            rows.push_back({kdb::Value(static_cast<long long>(first + i))});
        return rows;
    };
    cache.Put(0, block(0));
    cache.Put(1, block(10));
    cache.Put(2, block(20));
    ASSERT_NE(cache.Find(5), nullptr);   // block 0 is now the most recent
    cache.Put(3, block(30));             // block 1 goes
    EXPECT_EQ(cache.BlockCount(), 3);
    EXPECT_EQ(cache.Find(15), nullptr);
    EXPECT_EQ(cache.Find(5)->at(0).toInt(), 5);
    EXPECT_EQ(cache.Find(39)->at(0).toInt(), 39);
    cache.SetValue(39, 0, kdb::Value(-1));
    cache.SetValue(15, 0, kdb::Value(-1));   // not cached: nothing happens
    EXPECT_EQ(cache.Find(39)->at(0).toInt(), -1);
    EXPECT_EQ(cache.Find(40), nullptr);
    EXPECT_EQ(cache.Find(-1), nullptr);
    cache.Clear();
    EXPECT_EQ(cache.BlockCount(), 0);
}

TEST(BrowseRules, TheGridFillsTheWindowLessTheStrip)
{
    EXPECT_EQ(BrowseLayout::GridRect(9000, 6000, false, 270), QRect(0, 0, 8880, 5600));
    EXPECT_EQ(BrowseLayout::GridRect(9000, 6000, true, 270), QRect(0, 0, 8880, 5330));
    EXPECT_EQ(BrowseLayout::GridRect(100, 300, true, 270), QRect(0, 0, 0, 0));
}

TEST(BrowseRules, DrillDownNumbersTakeAPointOrAComma)
{
    EXPECT_DOUBLE_EQ(*BrowseQueries::DrillNumber("2,5"), 2.5);
    EXPECT_DOUBLE_EQ(*BrowseQueries::DrillNumber("1.25"), 1.25);
    EXPECT_DOUBLE_EQ(*BrowseQueries::DrillNumber("-3e2"), -300);
    EXPECT_FALSE(BrowseQueries::DrillNumber("1,2,3"));
    EXPECT_FALSE(BrowseQueries::DrillNumber("abc"));
}
