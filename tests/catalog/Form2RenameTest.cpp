// "Rename Table" on both sides, against the real databases.
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

QString At(const char* handler, int line) {
    return QStringLiteral("in Velcastra2021/08/31.Form2.") + QString::fromLatin1(handler) +
           QStringLiteral(" at line ") + QString::number(line) + QStringLiteral("\r\r");
}

class RenameTable : public testing::Test {
  protected:
    std::string Log() const { return h.dialogs.log().join('\n').toStdString(); }
    // Puts the table in the PostgreSQL list, selected and current.
    void Pick(korvanta::TableList& list, const std::string& table) {
        const int index = list.Add(Q(table));
        list.SetSelected(index, true);
        list.SetCurrentIndex(index);
    }

    catalogtest::Form2Harness<> h;
};

TEST(RenameTableNotices, AsksForASelectionBeforeCountingSelections) {
    struct Case {
        const char* name;
        bool current;
        int selected;
        const char* notice;
    };
    const Case cases[] = {
        {"no current, two selected", false, 2, "Please select a table to rename."},
        {"no current, one selected", false, 1, "Please select a table to rename."},
        {"current, two selected", true, 2, "Please select just one table to rename."},
        {"current, none selected", true, 0, "Please select just one table to rename."},
    };
    struct Side {
        const char* name;
        korvanta::TableList* (*list)(korvanta::Form2&);
        korvanta::PushButton* (*button)(korvanta::Form2&);
    };
    const Side sides[] = {
        {"SQL Anywhere", [](korvanta::Form2& f) { return f.List1; },
         [](korvanta::Form2& f) { return f.PushButton6; }},
        {"PostgreSQL", [](korvanta::Form2& f) { return f.List2; },
         [](korvanta::Form2& f) { return f.PushButton7; }},
    };
    for (const Side& side : sides) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(side.name) + ": " + c.name);
            catalogtest::Form2Harness<> h;
            korvanta::TableList& list = *side.list(h.form);
            for (const char* name : {"a_table", "b_table", "c_table"}) {
                list.Add(QString::fromLatin1(name));
            }
            for (int i = 0; i < c.selected; ++i)
                list.SetSelected(i, true);
            // Selecting made the last selected entry current.
            list.SetCurrentIndex(c.current ? 2 : -1);

            side.button(h.form)->click();

            EXPECT_EQ(h.dialogs.log(), QStringList{QStringLiteral("notice: ") + c.notice});
            EXPECT_EQ(Entries(list), (QStringList{"a_table", "b_table", "c_table"}));
            EXPECT_EQ(h.form.Pointer->Mode(), WindowPointer::kDefault);
        }
    }
}

TEST_F(RenameTable, CancelChangesNothing) {
    const std::string table = testdb::uniqueName("ren_cancel");
    testdb::psql("create table " + table + " (id int);");
    Pick(*h.form.List2, table);
    h.dialogs.AnswerInput(QString());

    h.form.PushButton7->click();

    ASSERT_EQ(h.dialogs.prompts().size(), 1);
    EXPECT_EQ(h.dialogs.prompts()[0].prompt, Q("Enter new name of " + table + ":"));
    EXPECT_EQ(h.dialogs.prompts()[0].proposed, Q(table));
    EXPECT_TRUE(h.dialogs.errorReports().isEmpty()) << Log();
    EXPECT_TRUE(h.dialogs.notices().isEmpty()) << Log();
    EXPECT_TRUE(PgTableExists(table));
    EXPECT_EQ(Entries(*h.form.List2), QStringList{Q(table)});
    EXPECT_TRUE(h.form.List2->Selected(0));
    testdb::psql("drop table " + table + ";");
}

TEST_F(RenameTable, PostgreSQLRenamesTheTableAndTheEntry) {
    const std::string oldName = testdb::uniqueName("ren_old");
    const std::string newName = testdb::uniqueName("Ren_New");
    const std::string other = testdb::uniqueName("aaa_first");
    testdb::psql("create table " + oldName + " (id int);");
    h.form.List2->Add(Q(other));
    Pick(*h.form.List2, oldName);
    h.dialogs.AnswerInput(Q(newName));
    int modeWhileAsking = -1;
    h.dialogs.whileShown = [&] { modeWhileAsking = h.form.Pointer->Mode(); };

    h.form.PushButton7->click();

    EXPECT_EQ(h.dialogs.log().size(), 1) << Log();  // the input box only
    EXPECT_EQ(modeWhileAsking, WindowPointer::kBusy);
    EXPECT_FALSE(PgTableExists(oldName));
    EXPECT_TRUE(PgTableExists(newName)) << "the new name is used exactly as typed";
    const korvanta::TableList& list = *h.form.List2;
    EXPECT_EQ(Entries(list), (QStringList{Q(other), Q(newName)}));
    EXPECT_EQ(list.CurrentIndex(), 0);
    EXPECT_EQ(list.SelectedCount(), 0) << "the new entry is not selected";
    EXPECT_EQ(h.form.Pointer->Mode(), WindowPointer::kDefault);
    testdb::psql("drop table " + PgQuoted(newName) + ";");
}

TEST_F(RenameTable, PostgreSQLNamesHoldingDoubleQuotes) {
    const std::string oldName = testdb::uniqueName("ren\"old");
    const std::string newName = testdb::uniqueName("ren\"new");
    testdb::psql("create table " + PgQuoted(oldName) + " (id int);");
    Pick(*h.form.List2, oldName);
    h.dialogs.AnswerInput(Q(newName));

    h.form.PushButton7->click();

    EXPECT_TRUE(h.dialogs.errorReports().isEmpty()) << Log();
    EXPECT_FALSE(PgTableExists(oldName));
    EXPECT_TRUE(PgTableExists(newName));
    EXPECT_EQ(Entries(*h.form.List2), QStringList{Q(newName)});
    testdb::psql("drop table " + PgQuoted(newName) + ";");
}

TEST_F(RenameTable, ARefusedRenameIsReportedAndTheEntryStays) {
    const std::string missing = testdb::uniqueName("ren_missing");
    Pick(*h.form.List2, missing);
    h.dialogs.AnswerInput(QStringLiteral("whatever"));

    h.form.PushButton7->click();

    ASSERT_EQ(h.dialogs.errorReports().size(), 1) << Log();
    EXPECT_TRUE(h.dialogs.errorReports()[0].contains(At("PushButton7_Click", 120))) << Log();
    EXPECT_EQ(Entries(*h.form.List2), QStringList{Q(missing)});
    EXPECT_EQ(h.form.Pointer->Mode(), WindowPointer::kDefault);
}

// The SQL Anywhere dialect, ALTER TABLE "old" RENAME "new"; is sent as it stands. The
// SQLite data source only knows RENAME TO, so it refuses the statement: the report
// names line 122 and the table and its entry keep their name.
TEST_F(RenameTable, SqlAnywhereDialectIsSentAsSuch) {
    const std::string oldName = testdb::uniqueName("RenLite");
    const std::string newName = testdb::uniqueName("RenLiteNew");
    Sqlite("create table \"" + oldName + "\" (id integer);");
    Pick(*h.form.List1, oldName);
    h.dialogs.AnswerInput(Q(newName));

    h.form.PushButton6->click();

    ASSERT_EQ(h.dialogs.errorReports().size(), 1) << Log();
    EXPECT_TRUE(h.dialogs.errorReports()[0].contains(At("PushButton6_Click", 122))) << Log();
    EXPECT_TRUE(h.dialogs.errorReports()[0].contains(QStringLiteral("syntax error"))) << Log();
    EXPECT_TRUE(SqliteTableExists(oldName));
    EXPECT_FALSE(SqliteTableExists(newName));
    EXPECT_EQ(Entries(*h.form.List1), QStringList{Q(oldName)});
    Sqlite("drop table \"" + oldName + "\";");
}

}  // namespace
