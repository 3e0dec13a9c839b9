#include "adodb/RowStore.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <string>
#include <vector>

#include "adodb/RowFormat.h"

namespace adodb::detail {
namespace {

std::vector<Variant> Decode(const char* row, std::size_t fields) {
    std::vector<Variant> values(fields);
    DecodeRow(row, values);
    return values;
}

TEST(AdodbRowFormat, NullEmptyAndLongValuesSurviveEncoding) {
    const std::string longValue(300000, 'x');  // a three-byte length prefix
    RowEncoder row;
    row.AddNull();
    row.Add("");
    row.Add(longValue);
    row.Add("tail");
    const auto values = Decode(row.Bytes().data(), 4);
    EXPECT_TRUE(values[0].IsNull());
    EXPECT_FALSE(values[1].IsNull());
    EXPECT_EQ(values[1].Text(), "");
    EXPECT_EQ(values[2].Text(), longValue);
    EXPECT_EQ(values[3].Text(), "tail");
}

TEST(AdodbRowStore, RowsComeBackByPositionAcrossBlocks) {
    RowStore store;
    RowEncoder row;
    std::vector<std::string> expected;
    // Rows of growing size, so that blocks fill up at odd places, plus one row larger
    // than a whole block.
    for (int i = 0; i < 5000; ++i) {
        expected.push_back(std::string(static_cast<std::size_t>(i % 700), 'a' + i % 26) +
                           std::to_string(i));
        if (i == 2500)
            expected.back() = std::string(RowStore::kMaxChunk + 10, 'z');
        row.Clear();
        row.Add(expected.back());
        store.Append(row.Bytes());
    }
    ASSERT_EQ(store.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(Decode(store.Row(i), 1)[0].Text(), expected[i]) << "row " << i;
    }
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A million rows of a typical table (an id, a name, an amount, a date, an empty text and a
// Null) take at most one and a half times their text on the heap.
TEST(AdodbRowStore, AMillionRowsTakeAtMostOneAndAHalfTimesTheirText) {
    const std::size_t heapBefore = HeapInUse();
    RowStore store;
    RowEncoder row;
    std::size_t textBytes = 0;
    for (int i = 0; i < 1000000; ++i) {
        const std::string id = std::to_string(i);
        const std::string name = "customer name " + std::to_string(i * 7);
        const std::string amount = std::to_string(i % 10000) + ".25";
        row.Clear();
        row.Add(id);
        row.Add(name);
        row.Add(amount);
        row.Add("2024-03-15");
        row.Add("");
        row.AddNull();
        store.Append(row.Bytes());
        textBytes += id.size() + name.size() + amount.size() + 10;
    }
    const std::size_t heapUsed = HeapInUse() - heapBefore;
    EXPECT_LE(static_cast<double>(heapUsed), 1.5 * static_cast<double>(textBytes))
        << "text " << textBytes << " bytes";
    const auto last = Decode(store.Row(999999), 6);
    EXPECT_EQ(last[0].Text(), "999999");
    EXPECT_TRUE(last[5].IsNull());
}

}  // namespace
}  // namespace adodb::detail
