// The table list: sorted insertion in the user's language, duplicates, selection and
// the current entry, extended selection with the mouse, the keyboard focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "CatalogTestSupport.h"
#include "app/TableList.h"

using catalogtest::Entries;
using korvanta::ListContains;
using korvanta::ListRemoveEntry;
using korvanta::TableList;

namespace {

struct SortCase {
    const char* name;
    QStringList added;
    QStringList expected;
};

class TableListSorting : public testing::TestWithParam<SortCase> {};

TEST_P(TableListSorting, EntriesTakeTheirPlaceWithoutRegardToCaseAmongTheirBaseLetters) {
    TableList list;
    for (const QString& name : GetParam().added) {
        const int index = list.Add(name);
        EXPECT_EQ(list.Text(index), name) << "Add must return the new entry's index";
    }
    EXPECT_EQ(Entries(list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableListSorting,
    testing::Values(
        SortCase{
            "MixedCase", {"beta", "Alpha", "gamma", "Delta"}, {"Alpha", "beta", "Delta", "gamma"}},
        // Equal names stand side by side, a later one after the earlier ones.
        SortCase{"Duplicates",
                 {"orders", "Orders", "items", "orders"},
                 {"items", "orders", "Orders", "orders"}},
        SortCase{"AddedAtTheFront", {"m", "n", "a"}, {"a", "m", "n"}},
        SortCase{"AddedAtTheEnd", {"a", "b", "Z"}, {"a", "b", "Z"}},
        // Punctuation sorts before digits, as in a dictionary.
        SortCase{"UnderscoreAndDigits", {"t_2", "T10", "t1"}, {"t_2", "t1", "T10"}},
        SortCase{"AccentedAmongTheirBaseLetters",
                 {"Zoe", "Eva", "Émile", "Eli", "öl", "Oma"},
                 {"Eli", "Émile", "Eva", "öl", "Oma", "Zoe"}},
        // Case is ignored, accents are not: the unaccented name comes first.
        SortCase{"AccentsStillCount", {"Émile", "EMILE", "emile"}, {"EMILE", "emile", "Émile"}}),
    [](const testing::TestParamInfo<SortCase>& info) { return info.param.name; });

TEST(TableList, SelectAllSelectsEveryEntryLeavingTheLastCurrentAndDeselectAllNone) {
    TableList list;
    list.SetAllSelected(true);  // empty: nothing to do
    EXPECT_EQ(list.SelectedCount(), 0);
    EXPECT_EQ(list.CurrentIndex(), -1);
    for (const char* name : {"c", "a", "b", "a", "d"})
        list.Add(QString::fromLatin1(name));
    list.SetAllSelected(true);
    EXPECT_EQ(list.SelectedCount(), 5);
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_TRUE(list.Selected(i)) << i;
    EXPECT_EQ(list.CurrentIndex(), 4) << "as if selected one by one: the last is current";
    list.SetAllSelected(false);
    EXPECT_EQ(list.SelectedCount(), 0);
    EXPECT_EQ(list.CurrentIndex(), 4) << "deselecting leaves the current entry";
}

TEST(TableList, SelectingMakesCurrentDeselectingAndMakingCurrentDoNotSelect) {
    TableList list;
    for (const char* name : {"a", "b", "c", "d"})
        list.Add(QString::fromLatin1(name));
    EXPECT_EQ(list.CurrentIndex(), -1);

    list.SetCurrentIndex(2);
    EXPECT_EQ(list.CurrentIndex(), 2);
    EXPECT_EQ(list.SelectedCount(), 0) << "making an entry current must not select it";

    list.SetSelected(0, true);
    EXPECT_EQ(list.CurrentIndex(), 0) << "the selected entry becomes current";
    list.SetSelected(3, true);
    EXPECT_EQ(list.CurrentIndex(), 3);
    EXPECT_EQ(list.SelectedCount(), 2);
    EXPECT_FALSE(list.Selected(2));

    list.SetSelected(3, false);
    EXPECT_EQ(list.CurrentIndex(), 3) << "deselecting leaves the current entry";
    EXPECT_EQ(list.SelectedCount(), 1);
    list.SetCurrentIndex(-1);
    EXPECT_EQ(list.CurrentIndex(), -1);
    EXPECT_TRUE(list.Selected(0));
}

TEST(TableList, RemovingTheCurrentEntryLeavesNoCurrentEntry) {
    TableList list;
    for (const char* name : {"a", "b", "c"})
        list.Add(QString::fromLatin1(name));
    list.SetCurrentIndex(0);
    list.Remove(2);
    EXPECT_EQ(list.CurrentIndex(), 0) << "removing another entry keeps the current one";
    list.Remove(0);
    EXPECT_EQ(list.CurrentIndex(), -1);
    EXPECT_EQ(Entries(list), QStringList{"b"});
}

TEST(TableList, ClearLeavesNoEntryNoSelectionNoCurrent) {
    TableList list;
    for (const char* name : {"a", "b"})
        list.Add(QString::fromLatin1(name));
    list.SetAllSelected(true);
    list.SetCurrentIndex(1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.CurrentIndex(), -1);
    list.Add(QStringLiteral("c"));
    EXPECT_EQ(list.SelectedCount(), 0);
    EXPECT_EQ(list.CurrentIndex(), -1);
}

TEST(TableList, ContainsIgnoresCaseAndRemoveEntryMatchesExactly) {
    TableList list;
    EXPECT_FALSE(ListContains(list, QStringLiteral("a")));
    for (const char* name : {"Orders", "orders", "items"})
        list.Add(QString::fromLatin1(name));
    EXPECT_TRUE(ListContains(list, QStringLiteral("ORDERS")));
    EXPECT_FALSE(ListContains(list, QStringLiteral("order")));
    ListRemoveEntry(list, QStringLiteral("orders"));
    EXPECT_EQ(Entries(list), (QStringList{"items", "Orders"}));
}

// Mouse clicks on a shown list: a click selects one entry, Shift+click a range,
// Ctrl+click adds or removes one entry.
class TableListMouse : public testing::Test {
  protected:
    void SetUp() override {
        list.resize(200, 300);
        for (const char* name : {"a", "b", "c", "d", "e", "f"})
            list.Add(QString::fromLatin1(name));
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    void Click(int index, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPoint centre = list.visualItemRect(list.item(index)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, centre);
    }
    std::vector<int> SelectedIndices() const {
        std::vector<int> selected;
        for (int i = 0; i < list.Count(); ++i) {
            if (list.Selected(i))
                selected.push_back(i);
        }
        return selected;
    }

    TableList list;
};

TEST_F(TableListMouse, ClickSelectsOneShiftClickARangeCtrlClickTogglesOne) {
    Click(1);
    EXPECT_EQ(SelectedIndices(), std::vector<int>({1}));
    EXPECT_EQ(list.CurrentIndex(), 1);

    Click(3, Qt::ShiftModifier);
    EXPECT_EQ(SelectedIndices(), std::vector<int>({1, 2, 3}));

    Click(5, Qt::ControlModifier);
    EXPECT_EQ(SelectedIndices(), std::vector<int>({1, 2, 3, 5}));
    Click(2, Qt::ControlModifier);
    EXPECT_EQ(SelectedIndices(), std::vector<int>({1, 3, 5}));
    EXPECT_EQ(list.CurrentIndex(), 2) << "the clicked entry takes the focus";

    Click(4);
    EXPECT_EQ(SelectedIndices(), std::vector<int>({4})) << "a plain click starts afresh";

    list.SetAllSelected(true);
    EXPECT_EQ(list.SelectedCount(), 6);
}

// Qt makes the first entry current when a list takes the focus; the handlers would take
// it for the user's choice.
TEST_F(TableListMouse, TheFocusAloneMakesNoEntryCurrentAnArrowKeyDoes) {
    list.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
    list.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(list.hasFocus());
    EXPECT_EQ(list.CurrentIndex(), -1);
    EXPECT_EQ(list.SelectedCount(), 0);

    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.CurrentIndex(), 0);
    EXPECT_EQ(SelectedIndices(), std::vector<int>({0}));
}

}  // namespace
