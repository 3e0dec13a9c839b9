// Tables at the edges of what the databases take: odd names, megabyte values, a
// thousand columns, no rows, rows the target refuses. Each is sent both ways and
// compared through the databases' own clients.
#include <QCryptographicHash>

#include "RobustnessSupport.h"
#include "app/ProgressBar.h"
#include "app/PushButton.h"
#include "transfer/TransferFixture.h"

using korvanta::Side;
using testdb::psql;
using Rows = std::vector<std::string>;

namespace {

// Starts the way back: the SQL Anywhere copy is dropped and the PostgreSQL table, under
// its own spelling, is the one selected entry of the PostgreSQL list.
class OddTables : public TransferTest {
  protected:
    void SendBack(const std::string& table) {
        sqlite("DROP TABLE " + Ident(table));
        list1->Clear();
        list2->Clear();
        AddSelected(*list2, table);
        Send(Side::SqlAnywhere);
    }
    std::string Reports() const { return dialogs.log().join("\n---\n").toStdString(); }
};

struct OddName {
    const char* what;
    std::string table;
    std::string column;
};

std::string PaddedTo63(std::string name, char pad) {
    name.resize(63, pad);
    return name;
}

std::vector<OddName> OddNames() {
    return {
        {"reserved words", "select", "from"},
        {"blanks", " " + testdb::uniqueName("odd blank") + " table ", "first name "},
        {"quotes", testdb::uniqueName("O'Brien's \"best\""), "it's \"x\""},
        {"non-ASCII letters", testdb::uniqueName("Größe_Ärger_名前"), "Straße_ñ"},
        {"63 characters", PaddedTo63(testdb::uniqueName("long"), 'x'), std::string(63, 'c')},
    };
}

class OddNameTables : public OddTables, public ::testing::WithParamInterface<int> {};

TEST_P(OddNameTables, AreCopiedBothWaysUnderTheirOwnNames) {
    const OddName odd = OddNames()[static_cast<std::size_t>(GetParam())];
    const std::string t = Ident(odd.table);
    const std::string c = Ident(odd.column);
    psql("DROP TABLE IF EXISTS " + t);
    sqlite("DROP TABLE IF EXISTS " + t + "; CREATE TABLE " + t + "(id INTEGER, " + c +
           " TEXT); INSERT INTO " + t + " VALUES(1, 'plain'), (2, 'it''s');");
    const Rows expected{"1|plain", "2|it's"};
    AddSelected(*list1, odd.table);

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    EXPECT_EQ(psql("SELECT id, " + c + " FROM " + t + " ORDER BY id"), expected);
    EXPECT_EQ(Entries(*list2), Rows{QString::fromStdString(odd.table).toLower().toStdString()});

    SendBack(odd.table);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    EXPECT_EQ(sqlite("SELECT id, " + c + " FROM " + t + " ORDER BY id"), expected);
    EXPECT_EQ(Entries(*list1), Rows{odd.table});
    psql("DROP TABLE " + t);
    sqlite("DROP TABLE " + t);
}

INSTANTIATE_TEST_SUITE_P(Robustness, OddNameTables, ::testing::Range(0, 5),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name =
                                 OddNames()[static_cast<std::size_t>(info.param)].what;
                             for (char& ch : name) {
                                 if (ch == ' ' || ch == '-')
                                     ch = '_';
                             }
                             return name;
                         });

// A megabyte of text with apostrophes and letters of one, two and three bytes.
std::string MegabyteOfText() {
    const std::string piece = "Grüße, it's 10 € — 名前; ";
    std::string text;
    while (text.size() < 1024 * 1024)
        text += piece;
    return text;
}

std::string Md5(const std::string& text) {
    return QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}

TEST_F(OddTables, MegabyteValuesArriveWholeBothWays) {
    const std::string text = MegabyteOfText();
    const std::string length = std::to_string(QString::fromStdString(text).size());
    const std::string table = testdb::uniqueName("megabyte");
    const std::string t = Ident(table);
    sqlite("CREATE TABLE " + t + "(id INTEGER, body TEXT); INSERT INTO " + t + " VALUES(1, " +
           robust::Literal(text) + "), (2, 'short');");
    AddSelected(*list1, table);

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports().substr(0, 2000);
    EXPECT_EQ(psql("SELECT id, char_length(body), md5(body) FROM " + t + " ORDER BY id"),
              (Rows{"1|" + length + "|" + Md5(text), "2|5|" + Md5("short")}));

    SendBack(table);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports().substr(0, 2000);
    EXPECT_EQ(sqlite("SELECT id, length(body) FROM " + t + " ORDER BY id"),
              (Rows{"1|" + length, "2|5"}));
    const Rows body = sqlite("SELECT body FROM " + t + " WHERE id = 1");
    ASSERT_EQ(body.size(), 1u);
    EXPECT_EQ(Md5(body[0]), Md5(text));
    psql("DROP TABLE " + t);
    sqlite("DROP TABLE " + t);
}

TEST_F(OddTables, AThousandColumnsArriveInOrderBothWays) {
    // Half whole numbers, half short texts: wide, but within PostgreSQL's row size.
    constexpr int kColumns = 1000;
    const std::string table = testdb::uniqueName("wide");
    const std::string t = Ident(table);
    std::string columns;
    std::string rows;
    for (int row = 1; row <= 3; ++row) {
        rows += row == 1 ? "(" : ", (";
        for (int j = 1; j <= kColumns; ++j) {
            if (row == 1)
                columns += (j == 1 ? "" : ", ") + ("c" + std::to_string(j)) +
                           (j % 2 == 1 ? " INTEGER" : " TEXT");
            rows += (j == 1 ? "" : ",") +
                    (j % 2 == 1 ? std::to_string(row) : "'" + std::to_string(j % 7) + "'");
        }
        rows += ")";
    }
    sqlite("CREATE TABLE " + t + "(" + columns + "); INSERT INTO " + t + " VALUES" + rows + ";");
    const Rows expected = sqlite("SELECT * FROM " + t + " ORDER BY c1");
    const Rows names =
        sqlite("SELECT group_concat(name, ',') FROM pragma_table_info('" + table + "')");
    ASSERT_EQ(expected.size(), 3u);
    AddSelected(*list1, table);

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports().substr(0, 2000);
    EXPECT_EQ(psql("SELECT string_agg(column_name, ',' ORDER BY ordinal_position) FROM "
                   "information_schema.columns WHERE table_name = '" +
                   table + "'"),
              names);
    EXPECT_EQ(psql("SELECT * FROM " + t + " ORDER BY c1"), expected);

    SendBack(table);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports().substr(0, 2000);
    EXPECT_EQ(sqlite("SELECT group_concat(name, ',') FROM pragma_table_info('" + table + "')"),
              names);
    EXPECT_EQ(sqlite("SELECT * FROM " + t + " ORDER BY c1"), expected);
    psql("DROP TABLE " + t);
    sqlite("DROP TABLE " + t);
}

TEST_F(OddTables, AnEmptyTableIsCreatedBothWaysWithoutMovingTheProgressBar) {
    const std::string table = testdb::uniqueName("empty");
    const std::string t = Ident(table);
    sqlite("CREATE TABLE " + t + "(n INTEGER, label TEXT);");
    std::vector<double> progressValues;
    QObject::connect(progress, &korvanta::ProgressBar::ValueSet,
                     [&](double value) { progressValues.push_back(value); });
    AddSelected(*list1, table);

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    EXPECT_EQ(psql("SELECT count(*) FROM " + t), Rows{"0"});
    EXPECT_EQ(psql("SELECT string_agg(column_name, ',' ORDER BY ordinal_position) FROM "
                   "information_schema.columns WHERE table_name = '" +
                   table + "'"),
              Rows{"n,label"});
    EXPECT_EQ(progressValues, std::vector<double>{0}) << "only the reset";
    EXPECT_EQ(Entries(*list2), Rows{table});

    progressValues.clear();
    SendBack(table);

    EXPECT_TRUE(dialogs.errorReports().isEmpty()) << Reports();
    EXPECT_EQ(sqlite("SELECT count(*) FROM " + t), Rows{"0"});
    EXPECT_EQ(sqlite("SELECT group_concat(name, ',') FROM pragma_table_info('" + table + "')"),
              Rows{"n,label"});
    EXPECT_EQ(progressValues, std::vector<double>{0}) << "only the reset";
    EXPECT_EQ(Entries(*list1), Rows{table});
    psql("DROP TABLE " + t);
    sqlite("DROP TABLE " + t);
}

// A table of that name appeared in PostgreSQL after the lists were read, with other
// columns: no overwrite question comes, CREATE TABLE and every INSERT are refused, each
// with its own report, and the table that was there keeps its rows. The window then
// works as before.
TEST(RefusedRows, EachRowIsReportedAndTheWindowStaysUsable) {
    constexpr int kRows = 20;
    const std::string table = testdb::uniqueName("refused");
    const std::string t = robust::Ident(table);
    testdb::sqlite("CREATE TABLE " + t +
                   "(n INTEGER, label TEXT);"
                   "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
                   std::to_string(kRows) + ") INSERT INTO " + t + " SELECT n, 'row ' || n FROM c;");
    robust::Program program;
    program.form1.Form_Load();
    korvanta::Form2& form = program.form2;
    ASSERT_TRUE(form.isVisible()) << program.Reports();
    psql("CREATE TABLE " + t + "(day date NOT NULL); INSERT INTO " + t +
         " VALUES('2021-08-31'), ('2021-09-01');");
    robust::Pick(*form.List1, table);

    form.PushButton3->click();

    const QStringList& reports = program.dialogs.errorReports();
    ASSERT_EQ(reports.size(), kRows + 1) << program.Reports();
    EXPECT_TRUE(reports[0].contains("PushButton3_Click at line 214\r\r")) << program.Reports();
    // The rows come in the source's order, each named by its own statement.
    for (int k = 1; k <= kRows; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(reports[k].contains("PushButton3_Click at line 282\r\r"));
        EXPECT_TRUE(reports[k].endsWith(
            QString::fromStdString("sql: INSERT INTO " + t + " VALUES(" + std::to_string(k) +
                                   ", 'row " + std::to_string(k) + "')")))
            << reports[k].toStdString();
    }
    EXPECT_EQ(psql("SELECT day FROM " + t + " ORDER BY day"), (Rows{"2021-08-31", "2021-09-01"}));
    EXPECT_EQ(testdb::sqlite("SELECT count(*) FROM " + t), Rows{std::to_string(kRows)});

    // Select All and Deselect All answer; deleting the table on each side works.
    form.PushButton8->click();
    EXPECT_EQ(form.List2->SelectedCount(), form.List2->Count());
    form.PushButton9->click();
    EXPECT_EQ(form.List2->SelectedCount(), 0);
    robust::Pick(*form.List2, table);
    form.PushButton5->click();
    form.PushButton11->click();
    robust::Pick(*form.List1, table);
    form.PushButton1->click();
    EXPECT_EQ(reports.size(), kRows + 1) << program.Reports();
    EXPECT_EQ(robust::IndexOf(*form.List1, table), -1);
    EXPECT_EQ(robust::IndexOf(*form.List2, table), -1);
    EXPECT_EQ(psql("SELECT count(*) FROM pg_tables WHERE tablename = '" + table + "'"), Rows{"0"});
    EXPECT_EQ(testdb::sqlite("SELECT count(*) FROM sqlite_master WHERE name = '" + table + "'"),
              Rows{"0"});
}

// A rename on PostgreSQL to a name with double quotes, apostrophes, blanks and letters
// beyond ASCII.
TEST(RenameOddName, PostgreSQLTakesTheNameAsTyped) {
    const std::string oldName = testdb::uniqueName("rename_me");
    const std::string newName = testdb::uniqueName("it's \"Größe\" now");
    psql("CREATE TABLE " + robust::Ident(oldName) + "(n int4); INSERT INTO " +
         robust::Ident(oldName) + " VALUES(7);");
    robust::Program program;
    program.form1.Form_Load();
    korvanta::Form2& form = program.form2;
    robust::Pick(*form.List2, oldName);
    program.dialogs.AnswerInput(QString::fromStdString(newName));

    form.PushButton7->click();

    EXPECT_TRUE(program.dialogs.errorReports().isEmpty()) << program.Reports();
    EXPECT_EQ(psql("SELECT n FROM " + robust::Ident(newName)), Rows{"7"});
    EXPECT_EQ(robust::IndexOf(*form.List2, oldName), -1);
    EXPECT_GE(robust::IndexOf(*form.List2, newName), 0);
    psql("DROP TABLE " + robust::Ident(newName));
}

}  // namespace
