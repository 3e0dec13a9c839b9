// The course of a transfer run: the overwrite question, failures and their reports,
// the progress bar and the two lists.
#include "TransferFixture.h"

using korvanta::Side;
using korvanta::WindowPointer;
using testdb::psql;

namespace {

using Rows = std::vector<std::string>;

class TransferRun : public TransferTest {
  protected:
    // A SQL Anywhere table (n INTEGER, label TEXT) holding the given rows.
    static void SqliteTable(const std::string& name, const std::string& rows) {
        sqlite("CREATE TABLE " + Ident(name) + "(n INTEGER, label TEXT); INSERT INTO " +
               Ident(name) + " VALUES" + rows + ";");
    }
    static void PgTable(const std::string& name, const std::string& rows) {
        psql("CREATE TABLE " + Ident(name) + "(n int4, label text); INSERT INTO " + Ident(name) +
             " VALUES" + rows + ";");
    }
    std::string Reports() const { return dialogs.errorReports().join("\n---\n").toStdString(); }
};

TEST_F(TransferRun, NoCurrentEntryAsksToSelectATableAndDoesNothingElse) {
    values.password = "wrong";  // would give a report if a connection were opened
    // Selected, but with no current entry.
    list1->Add("a");
    list1->SetSelected(0, true);
    list1->SetCurrentIndex(-1);
    Send(Side::PostgreSQL);
    list2->Add("b");
    list2->SetSelected(0, true);
    list2->SetCurrentIndex(-1);
    Send(Side::SqlAnywhere);

    EXPECT_EQ(dialogs.notices(),
              (QStringList{"Please select a table", "Please select a table to send."}));
    EXPECT_TRUE(dialogs.errorReports().isEmpty());
    EXPECT_EQ(pointer->Mode(), WindowPointer::kDefault);
}

TEST_F(TransferRun, CurrentEntryWithNothingSelectedSendsNothing) {
    const std::string t = testdb::uniqueName("unselected");
    SqliteTable(t, "(1, 'a')");
    list1->Add(QString::fromStdString(t));
    list1->SetCurrentIndex(0);

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    EXPECT_TRUE(dialogs.notices().isEmpty());
    EXPECT_EQ(list2->Count(), 0);
    EXPECT_EQ(psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + t + "'"), Rows{"0"});
}

// PostgreSQL keeps 63 bytes of a name. Two source tables that differ only after that are
// the same table there: the second is offered for overwriting under the name PostgreSQL
// really keeps, and the rows of the two never end in one table.
TEST_F(TransferRun, NamesPostgreSQLShortensAreSentUnderTheNameItKeeps) {
    // A capital, so that the list's lower-case entry of the first is no table's name.
    const std::string stem = "L" + testdb::uniqueName("long");
    const std::string kept = stem + std::string(63 - stem.size(), 'x');
    const std::string first = kept + "_first";  // sorts first: sent last
    const std::string second = kept + "_second";
    SqliteTable(first, "(1, 'first')");
    SqliteTable(second, "(2, 'second'), (3, 'second')");
    AddSelected(*list1, first);
    AddSelected(*list1, second);
    dialogs.AnswerYes();

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    ASSERT_EQ(dialogs.questions().size(), 1u);
    EXPECT_EQ(dialogs.questions()[0].text.toStdString(),
              "Would you like to overwrite " + kept + "?");
    EXPECT_EQ(psql("SELECT n, label FROM " + Ident(kept) + " ORDER BY n"), Rows{"1|first"});
    const std::string entry = QString::fromStdString(kept).toLower().toStdString();
    EXPECT_EQ(psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + entry + "'"), Rows{"0"});
    EXPECT_EQ(Entries(*list2), std::vector<std::string>{entry});
}

TEST_F(TransferRun, OverwriteYesDropsAndRecreatesNoSkipsBottomEntryAskedFirst) {
    const std::string a = testdb::uniqueName("ow_a");
    const std::string b = testdb::uniqueName("ow_b");
    SqliteTable(a, "(1, 'new a')");
    SqliteTable(b, "(2, 'new b')");
    PgTable(a, "(10, 'old a'), (11, 'old a')");
    psql("CREATE TABLE " + Ident(b) + "(other text); INSERT INTO " + Ident(b) +
         " VALUES('old b');");
    AddSelected(*list1, a);
    AddSelected(*list1, b);
    list2->Add(QString::fromStdString(a));
    list2->Add(QString::fromStdString(b));
    const Rows list1Before = Entries(*list1);
    dialogs.AnswerNo();   // b: the last entry comes first
    dialogs.AnswerYes();  // a

    Send(Side::PostgreSQL);

    ASSERT_EQ(dialogs.questions().size(), 2u);
    EXPECT_EQ(dialogs.questions()[0].text,
              QString::fromStdString("Would you like to overwrite " + b + "?"));
    EXPECT_EQ(dialogs.questions()[0].caption, "Overwrite?");
    EXPECT_EQ(dialogs.questions()[1].text,
              QString::fromStdString("Would you like to overwrite " + a + "?"));
    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    // Yes: the old table is gone, the new one holds the source's row.
    EXPECT_EQ(psql("SELECT n, label FROM " + Ident(a)), Rows{"1|new a"});
    // No: the target table and both lists are untouched.
    EXPECT_EQ(psql("SELECT * FROM " + Ident(b)), Rows{"old b"});
    EXPECT_EQ(Entries(*list2), (Rows{a, b}));
    EXPECT_EQ(Entries(*list1), list1Before);
}

TEST_F(TransferRun, OverwriteNamesTheTargetSpellingTowardsPostgreSQL) {
    // The target list writes the name in other letters than the source list.
    const std::string lower = testdb::uniqueName("mixed_pg");
    const std::string source = "MiXeD" + lower.substr(5);
    SqliteTable(source, "(1, 'from sqlite')");
    PgTable(lower, "(99, 'old')");
    AddSelected(*list1, source);
    list2->Add(QString::fromStdString(lower));
    dialogs.AnswerYes();

    Send(Side::PostgreSQL);

    ASSERT_EQ(dialogs.questions().size(), 1u);
    EXPECT_EQ(dialogs.questions()[0].text,
              QString::fromStdString("Would you like to overwrite " + lower + "?"));
    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    EXPECT_EQ(psql("SELECT n, label FROM " + Ident(lower)), Rows{"1|from sqlite"});
    EXPECT_EQ(Entries(*list2), Rows{lower});
}

TEST_F(TransferRun, OverwriteNamesTheTargetSpellingTowardsSqlAnywhere) {
    // Only PostgreSQL tells the spellings apart: the SELECT must read the source's own.
    const std::string lower = testdb::uniqueName("mixed_sa");
    const std::string source = "MiXeD" + lower.substr(5);
    PgTable(source, "(1, 'from pg')");
    SqliteTable(lower, "(99, 'old')");
    AddSelected(*list2, source);
    list1->Add(QString::fromStdString(lower));
    dialogs.AnswerYes();

    Send(Side::SqlAnywhere);

    ASSERT_EQ(dialogs.questions().size(), 1u);
    EXPECT_EQ(dialogs.questions()[0].text,
              QString::fromStdString("Would you like to overwrite " + lower + "?"));
    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    EXPECT_EQ(sqlite("SELECT n, label FROM " + Ident(lower)), Rows{"1|from pg"});
    EXPECT_EQ(sqlite("SELECT name FROM sqlite_master WHERE lower(name) = '" + lower + "'"),
              Rows{lower});
    EXPECT_EQ(Entries(*list1), Rows{lower});
}

TEST_F(TransferRun, OverwrittenPostgreSQLEntryWithCapitalsStaysBesideTheLowerCaseOne) {
    const std::string lower = testdb::uniqueName("caps_yes");
    const std::string target = "CaPs" + lower.substr(4);
    SqliteTable(lower, "(1, 'new')");
    PgTable(target, "(9, 'old')");
    AddSelected(*list1, lower);
    list2->Add(QString::fromStdString(target));
    dialogs.AnswerYes();

    Send(Side::PostgreSQL);

    ASSERT_EQ(dialogs.questions().size(), 1u);
    EXPECT_EQ(dialogs.questions()[0].text,
              QString::fromStdString("Would you like to overwrite " + target + "?"));
    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    // The table is recreated under the target's spelling; the list keeps that entry (only
    // the lower-case spelling is removed) and gains the lower-case one.
    EXPECT_EQ(psql("SELECT n, label FROM " + Ident(target)), Rows{"1|new"});
    EXPECT_EQ(Entries(*list2), (Rows{target, lower}));
}

TEST_F(TransferRun, NameWithCapitalsIsCreatedAsSpelledAndListedInLowerCaseInPostgreSQL) {
    const std::string lower = testdb::uniqueName("caps_pg");
    const std::string source = "CaPs" + lower.substr(4);
    SqliteTable(source, "(5, 'five')");
    AddSelected(*list1, source);

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    EXPECT_EQ(psql("SELECT n FROM " + Ident(source)), Rows{"5"});
    EXPECT_EQ(Entries(*list2), Rows{lower});
}

TEST_F(TransferRun, RejectedInsertIsReportedOnceAndTheNextRowsAreCopied) {
    const std::string t = testdb::uniqueName("rejected");
    // SQLite keeps a text in an INTEGER column; PostgreSQL's NUMERIC column refuses it.
    SqliteTable(t, "(1, 'a'), ('abc', 'b'), (3, 'c'), (4, 'd')");
    AddSelected(*list1, t);

    Send(Side::PostgreSQL);

    ASSERT_EQ(dialogs.errorReports().size(), 1) << Reports();
    const QString report = dialogs.errorReports()[0];
    EXPECT_TRUE(report.contains("in Velcastra2021/08/31.Form2.PushButton3_Click at line 282\r\r"))
        << report.toStdString();
    EXPECT_TRUE(report.endsWith(
        QString::fromStdString("\r\rsql: INSERT INTO " + Ident(t) + " VALUES('abc', 'b')")))
        << report.toStdString();
    EXPECT_EQ(psql("SELECT n, label FROM " + Ident(t) + " ORDER BY n"),
              (Rows{"1|a", "3|c", "4|d"}));
    EXPECT_EQ(Entries(*list2), Rows{t});
}

TEST_F(TransferRun, RejectedInsertTowardsSqlAnywhereIsReportedAtItsOwnLine) {
    const std::string t = testdb::uniqueName("rejected_sa");
    PgTable(t, "(1, 'a'), (2, 'b'), (3, 'c')");
    // A unique index on the target refuses the second row.
    sqlite("CREATE TABLE " + Ident(t) +
           "(n NUMERIC, label TEXT);"
           "CREATE UNIQUE INDEX " +
           Ident(t + "_i") + " ON " + Ident(t) +
           "(label);"
           "INSERT INTO " +
           Ident(t) + " VALUES(0, 'b');");
    AddSelected(*list2, t);  // not in the SQL Anywhere list: no question, CREATE fails

    Send(Side::SqlAnywhere);

    ASSERT_EQ(dialogs.errorReports().size(), 2) << Reports();
    EXPECT_TRUE(dialogs.errorReports()[0].contains("PushButton4_Click at line 218\r\r"));
    EXPECT_TRUE(dialogs.errorReports()[0].endsWith(QString::fromStdString(
        "sql: CREATE TABLE " + Ident(t) + "(\"n\" NUMERIC,\"label\" TEXT);")));
    EXPECT_TRUE(dialogs.errorReports()[1].contains("PushButton4_Click at line 260\r\r"));
    EXPECT_TRUE(dialogs.errorReports()[1].endsWith(
        QString::fromStdString("sql: INSERT INTO " + Ident(t) + " VALUES('2', 'b')")));
    EXPECT_EQ(sqlite("SELECT n, label FROM " + Ident(t) + " ORDER BY n"),
              (Rows{"0|b", "1|a", "3|c"}));
    EXPECT_EQ(Entries(*list1), Rows{t});
}

TEST_F(TransferRun, ProgressEndsAt100ThenRests) {
    const std::string t = testdb::uniqueName("progress");
    SqliteTable(t, "(1, 'a'), (2, 'b'), (3, 'c'), (4, 'd')");
    const std::string empty = testdb::uniqueName("progress_empty");
    SqliteTable(empty, "(1, 'x')");
    sqlite("DELETE FROM " + Ident(empty));
    AddSelected(*list1, t);
    AddSelected(*list1, empty);  // sorts after t: sent first, sets no value but the rest
    std::vector<double> values;
    QObject::connect(progress, &korvanta::ProgressBar::ValueSet,
                     [&](double value) { values.push_back(value); });
    progress->SetText("busy");

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    // The empty table rests the bar; the other one ends at 100 (its rows go in one run),
    // then the bar rests.
    EXPECT_EQ(values, (std::vector<double>{0, 100, 0}));
    EXPECT_EQ(progress->Text(), "Progress Bar");
    EXPECT_EQ(psql("SELECT count(*) FROM " + Ident(empty)), Rows{"0"});
    EXPECT_EQ(Entries(*list2), (Rows{t, empty}));
}

TEST_F(TransferRun, UnopenableTargetIsReportedOnceAndEndsTheRun) {
    const std::string a = testdb::uniqueName("unopen_a");
    const std::string b = testdb::uniqueName("unopen_b");
    SqliteTable(a, "(1, 'a')");
    SqliteTable(b, "(1, 'b')");
    AddSelected(*list1, a);
    AddSelected(*list1, b);
    values.password = "wrong";

    Send(Side::PostgreSQL);

    ASSERT_EQ(dialogs.errorReports().size(), 1) << Reports();
    EXPECT_TRUE(dialogs.errorReports()[0].contains("PushButton3_Click at line 118\r\r"));
    EXPECT_TRUE(dialogs.errorReports()[0].endsWith("sql: "));
    EXPECT_EQ(list2->Count(), 0);
    EXPECT_EQ(pointer->Mode(), WindowPointer::kDefault);
    EXPECT_EQ(progress->Text(), "Progress Bar");
}

TEST_F(TransferRun, UnopenableSqlAnywhereTargetIsReportedOnceAndEndsTheRun) {
    const std::string t = testdb::uniqueName("unopen_sa");
    PgTable(t, "(1, 'a'), (2, 'b')");
    AddSelected(*list2, t);
    values.dataSourceName = "NoSuchDataSource";

    Send(Side::SqlAnywhere);

    ASSERT_EQ(dialogs.errorReports().size(), 1) << Reports();
    EXPECT_TRUE(dialogs.errorReports()[0].contains("PushButton4_Click at line 126\r\r"));
    EXPECT_EQ(list1->Count(), 0);
    EXPECT_EQ(pointer->Mode(), WindowPointer::kDefault);
}

TEST_F(TransferRun, FailingSelectIsReportedOnceAndTheNextEntryIsCopied) {
    const std::string present = testdb::uniqueName("select_ok");
    const std::string missing = "zz_" + testdb::uniqueName("select_missing");
    SqliteTable(present, "(1, 'a'), (2, 'b')");
    AddSelected(*list1, present);
    AddSelected(*list1, missing);  // last in the list: tried first

    Send(Side::PostgreSQL);

    ASSERT_EQ(dialogs.errorReports().size(), 1) << Reports();
    EXPECT_TRUE(dialogs.errorReports()[0].contains("PushButton3_Click at line 158\r\r"));
    EXPECT_EQ(psql("SELECT count(*) FROM " + Ident(present)), Rows{"2"});
    EXPECT_EQ(psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + missing + "'"),
              Rows{"0"});
    EXPECT_EQ(Entries(*list2), Rows{present});
}

TEST_F(TransferRun, UnreadableSourceLeavesTheTableItWouldOverwrite) {
    // Answering Yes must not cost the target's table when the source cannot be read.
    const std::string t = testdb::uniqueName("keep_target");
    PgTable(t, "(1, 'kept'), (2, 'kept')");
    AddSelected(*list1, t);  // no such table on the SQL Anywhere side
    list2->Add(QString::fromStdString(t));
    dialogs.AnswerYes();

    Send(Side::PostgreSQL);

    ASSERT_EQ(dialogs.errorReports().size(), 1) << Reports();
    EXPECT_TRUE(dialogs.errorReports()[0].contains("PushButton3_Click at line 158\r\r"));
    EXPECT_EQ(psql("SELECT count(*) FROM " + Ident(t)), Rows{"2"});
    EXPECT_EQ(Entries(*list2), Rows{t});
}

}  // namespace

// The window's exact send is one send per click: a foreign key towards the stand-in goes
// with its table even when the table it refers to comes later in the walk, and once the
// walk is over one notice names, table by table, what was not carried.
TEST_F(TransferRun, ExactSendOfOneClickCarriesKeysAcrossItsTablesAndNamesWhatItLeft) {
    const std::string u = testdb::uniqueName("wx");
    const std::string customers = u + "_customers", orders = u + "_orders";
    psql("CREATE TABLE " + customers + "(id int PRIMARY KEY); CREATE TABLE " + orders +
         "(id int PRIMARY KEY, customer int REFERENCES " + customers +
         ", code text CHECK (code ~ '^[A-Z]')); INSERT INTO " + customers +
         " VALUES (1); INSERT INTO " + orders + " VALUES (1, 1, 'A1');");
    AddSelected(*list2, customers);
    AddSelected(*list2, orders);  // the walk reaches it first
    settings.exactSchema = true;

    Send(Side::SqlAnywhere);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    EXPECT_EQ(sqlite("SELECT \"table\" FROM pragma_foreign_key_list('" + orders + "')"),
              Rows{customers});
    ASSERT_EQ(dialogs.notices().size(), 1) << dialogs.log().join("\n").toStdString();
    EXPECT_EQ(dialogs.notices()[0].toStdString(),
              orders + "\n    not carried: check " + orders +
                  "_code_check ((code ~ '^[A-Z]'::text)): not read: a regular expression match\n");
}
