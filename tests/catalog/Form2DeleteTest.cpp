// "Delete Table/s" on both sides, against the real databases.
#include <gtest/gtest.h>

#include "CatalogTestSupport.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"

using catalogtest::Entries;
using catalogtest::IndexOf;
using catalogtest::PgQuoted;
using catalogtest::PgTableExists;
using catalogtest::Q;
using catalogtest::Sqlite;
using catalogtest::SqliteTableExists;
using korvanta::WindowPointer;

namespace {

// One side of the window: its list, its delete button, and its database.
struct Side {
    const char* name;
    const char* handler;
    int openLine;  // the line of opening the connection
    int dropLine;
    korvanta::TableList* (*list)(korvanta::Form2&);
    korvanta::PushButton* (*button)(korvanta::Form2&);
    void (*create)(const std::string& table);
    void (*drop)(const std::string& table);
    bool (*exists)(const std::string& table);
    void (*spoil)(korvanta::ConnectionValues&);
};

const Side kSqlAnywhere{
    "SqlAnywhere",
    "PushButton1_Click",
    106,
    114,
    [](korvanta::Form2& f) { return f.List1; },
    [](korvanta::Form2& f) { return f.PushButton1; },
    [](const std::string& t) { Sqlite("create table \"" + t + "\" (id integer);"); },
    [](const std::string& t) { Sqlite("drop table \"" + t + "\";"); },
    SqliteTableExists,
    [](korvanta::ConnectionValues& v) { v.dataSourceName = QStringLiteral("NoSuchSource"); }};

const Side kPostgreSQL{
    "PostgreSQL",
    "PushButton5_Click",
    104,
    112,
    [](korvanta::Form2& f) { return f.List2; },
    [](korvanta::Form2& f) { return f.PushButton5; },
    [](const std::string& t) { testdb::psql("create table " + PgQuoted(t) + " (id int);"); },
    [](const std::string& t) { testdb::psql("drop table " + PgQuoted(t) + ";"); },
    PgTableExists,
    [](korvanta::ConnectionValues& v) { v.password += QStringLiteral("wrong"); }};

QString At(const Side& side, int line) {
    return QStringLiteral("in Velcastra2021/08/31.Form2.") + side.handler +
           QStringLiteral(" at line ") + QString::number(line) + QStringLiteral("\r\r");
}

class DeleteTables : public testing::TestWithParam<Side> {
  protected:
    korvanta::TableList& List() { return *GetParam().list(h.form); }
    void Click() { GetParam().button(h.form)->click(); }
    void Select(const std::string& table) {
        const int index = IndexOf(List(), Q(table));
        ASSERT_GE(index, 0) << table;
        List().SetSelected(index, true);
    }
    std::string Log() const { return h.dialogs.log().join('\n').toStdString(); }

    catalogtest::Form2Harness<> h;
};

TEST_P(DeleteTables, DropsEverySelectedTableAndOnlyThose) {
    const Side& side = GetParam();
    const std::string first = testdb::uniqueName("del_first");
    const std::string second = testdb::uniqueName("Del_second");
    const std::string kept = testdb::uniqueName("del_kept");
    for (const std::string& t : {first, second, kept}) {
        side.create(t);
        List().Add(Q(t));
    }
    Select(first);
    Select(second);
    List().SetCurrentIndex(IndexOf(List(), Q(kept)));

    Click();

    EXPECT_TRUE(h.dialogs.log().isEmpty()) << Log();
    EXPECT_FALSE(side.exists(first));
    EXPECT_FALSE(side.exists(second));
    EXPECT_TRUE(side.exists(kept));
    EXPECT_EQ(Entries(List()), QStringList{Q(kept)});
    EXPECT_EQ(h.form.Pointer->Mode(), WindowPointer::kDefault);
    side.drop(kept);
}

TEST_P(DeleteTables, AFailingDropIsReportedAndItsEntryStays) {
    const Side& side = GetParam();
    const std::string missing = testdb::uniqueName("del_missing");
    const std::string real = testdb::uniqueName("del_real");
    side.create(real);
    List().Add(Q(missing));
    List().Add(Q(real));
    Select(missing);
    Select(real);
    List().SetCurrentIndex(0);
    int modeAtReport = -1;
    h.dialogs.whileShown = [&] { modeAtReport = h.form.Pointer->Mode(); };

    Click();

    ASSERT_EQ(h.dialogs.errorReports().size(), 1) << Log();
    EXPECT_TRUE(h.dialogs.errorReports()[0].contains(At(side, side.dropLine))) << Log();
    EXPECT_EQ(modeAtReport, WindowPointer::kBusy) << "busy until the last step";
    EXPECT_EQ(Entries(List()), QStringList{Q(missing)}) << "only the dropped table leaves";
    EXPECT_TRUE(List().Selected(0)) << "the entry that stayed keeps its selection";
    EXPECT_FALSE(side.exists(real));
    EXPECT_EQ(h.form.Pointer->Mode(), WindowPointer::kDefault);
}

TEST_P(DeleteTables, NoCurrentEntryAsksForASelectionAfterOpeningTheConnection) {
    const Side& side = GetParam();
    const std::string table = testdb::uniqueName("del_nocurrent");
    side.create(table);
    List().Add(Q(table));
    Select(table);
    List().SetCurrentIndex(-1);  // selected, but no current entry

    Click();
    EXPECT_EQ(h.dialogs.log(), QStringList{"notice: Please select a table"});
    EXPECT_TRUE(side.exists(table));
    EXPECT_EQ(List().Count(), 1);

    // The connection is opened first: when it cannot be, its report comes first.
    catalogtest::Form2Harness<> second;
    side.spoil(second.connection.values);
    GetParam().list(second.form)->Add(Q(table));
    GetParam().button(second.form)->click();
    ASSERT_EQ(second.dialogs.log().size(), 2) << second.dialogs.log().join('\n').toStdString();
    EXPECT_TRUE(second.dialogs.log()[0].startsWith(QStringLiteral("error: ")));
    EXPECT_TRUE(second.dialogs.log()[0].contains(At(side, side.openLine)));
    EXPECT_EQ(second.dialogs.log()[1], QStringLiteral("notice: Please select a table"));
    EXPECT_EQ(second.form.Pointer->Mode(), WindowPointer::kDefault);
    EXPECT_TRUE(side.exists(table));
    side.drop(table);
}

TEST_P(DeleteTables, ACurrentEntryWithoutSelectionDropsNothingAndSaysNothing) {
    const Side& side = GetParam();
    const std::string table = testdb::uniqueName("del_unselected");
    side.create(table);
    List().Add(Q(table));
    List().SetCurrentIndex(0);
    Click();
    EXPECT_TRUE(h.dialogs.log().isEmpty()) << Log();
    EXPECT_TRUE(side.exists(table));
    EXPECT_EQ(List().Count(), 1);
    side.drop(table);
}

TEST_P(DeleteTables, WithAnUnopenableConnectionNothingLeavesTheList) {
    const Side& side = GetParam();
    side.spoil(h.connection.values);
    List().Add(QStringLiteral("one"));
    List().Add(QStringLiteral("two"));
    List().SetAllSelected(true);
    List().SetCurrentIndex(0);
    Click();
    // One report for the opening, one for each DROP on the closed connection.
    ASSERT_EQ(h.dialogs.errorReports().size(), 3) << Log();
    EXPECT_TRUE(h.dialogs.errorReports()[0].contains(At(side, side.openLine)));
    EXPECT_TRUE(h.dialogs.errorReports()[1].contains(At(side, side.dropLine)));
    EXPECT_EQ(Entries(List()), (QStringList{"one", "two"}));
}

INSTANTIATE_TEST_SUITE_P(BothSides, DeleteTables, testing::Values(kSqlAnywhere, kPostgreSQL),
                         [](const testing::TestParamInfo<Side>& info) { return info.param.name; });

// The walk runs from the last entry to the first: a referencing table sorted after the
// table it references is dropped first, so both drops succeed. The other way round the
// database would refuse to drop the referenced table.
TEST(DeleteTablesOrder, DropsInDescendingIndexOrder) {
    const std::string parent = testdb::uniqueName("order_a_parent");
    const std::string child = testdb::uniqueName("order_b_child");
    testdb::psql("create table " + parent + " (id int primary key); create table " + child +
                 " (parent int references " + parent + "(id));");
    catalogtest::Form2Harness<> h;
    auto& list = *h.form.List2;
    list.Add(Q(child));
    list.Add(Q(parent));
    ASSERT_LT(IndexOf(list, Q(parent)), IndexOf(list, Q(child)));

    h.form.PushButton8->click();  // "Select All" is choice enough
    h.form.PushButton5->click();

    EXPECT_TRUE(h.dialogs.log().isEmpty()) << h.dialogs.log().join('\n').toStdString();
    EXPECT_FALSE(PgTableExists(parent));
    EXPECT_FALSE(PgTableExists(child));
    EXPECT_EQ(list.Count(), 0);
}

TEST(DeleteTablesOrder, ANameHoldingADoubleQuoteIsDropped) {
    const std::string table = testdb::uniqueName("quote\"d");
    testdb::psql("create table " + PgQuoted(table) + " (id int);");
    ASSERT_TRUE(PgTableExists(table));
    catalogtest::Form2Harness<> h;
    h.form.List2->Add(Q(table));
    h.form.List2->SetSelected(0, true);
    h.form.List2->SetCurrentIndex(0);
    h.form.PushButton5->click();
    EXPECT_TRUE(h.dialogs.log().isEmpty()) << h.dialogs.log().join('\n').toStdString();
    EXPECT_FALSE(PgTableExists(table));
    EXPECT_EQ(h.form.List2->Count(), 0);
}

}  // namespace
