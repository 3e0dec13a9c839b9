// Whole tables copied between the two test databases, checked through the databases'
// own command-line clients.
#include "TransferFixture.h"

using korvanta::Side;
using testdb::psql;

namespace {

using Rows = std::vector<std::string>;

class TransferRoundTrip : public TransferTest {};

// The bytes of the note column as hexadecimal digits, Null kept apart, in the form
// that PostgreSQL's encode() gives.
const std::string kSqliteHexNote = "CASE WHEN note IS NULL THEN '<null>' ELSE lower(hex(note)) END";

TEST_F(TransferRoundTrip, SqlAnywhereTableArrivesInPostgreSQLWithEveryRowAndValue) {
    const std::string t = testdb::uniqueName("rt_to_pg");
    sqlite("CREATE TABLE \"" + t +
           "\"(id INTEGER, big BIGINT, amount NUMERIC, ratio REAL, label DECIMAL(10,2),"
           " flag BOOL, day DATE, stamp TIMESTAMP, note TEXT, data BLOB);"
           "INSERT INTO \"" +
           t +
           "\" VALUES"
           "(1, 9007199254740993, 12.5, 0.1, '3.14', 1, '2021-08-31', '2021-08-31 13:45:10',"
           " 'O''Brien', x'00ff10'),"
           "(2, -9223372036854775808, -0.25, -1.5e-07, '-0.50', 0, '1999-12-31',"
           " '1999-12-31 23:59:59', 'back\\slash' || char(10) || 'line ''two''', x''),"
           "(3, 0, 1000000.5, 2.5, '', NULL, NULL, NULL, 'Grüße, ñandú, 日本語 ?{fn x}', NULL),"
           "(4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '', NULL),"
           "(5, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);");
    AddSelected(*list1, t);

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty())
        << dialogs.errorReports().join("\n").toStdString();
    EXPECT_EQ(psql("SELECT column_name, data_type FROM information_schema.columns WHERE "
                   "table_name = '" +
                   t + "' ORDER BY ordinal_position"),
              (Rows{"id|numeric", "big|numeric", "amount|text", "ratio|text", "label|text",
                    "flag|boolean", "day|date", "stamp|text", "note|text", "data|text"}));
    EXPECT_EQ(psql("SELECT id, big, amount, ratio, label, flag, day, stamp, data FROM \"" + t +
                   "\" ORDER BY id"),
              (Rows{"1|9007199254740993|12.5|0.1|3.14|t|2021-08-31|2021-08-31 13:45:10|00ff10",
                    "2|-9223372036854775808|-0.25|-1.5e-07|-0.5|f|1999-12-31|"
                    "1999-12-31 23:59:59|",
                    "3|0|1000000.5|2.5||<null>|<null>|<null>|<null>",
                    "4|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>",
                    "5|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>"}));
    // Text byte for byte, Null kept apart from the empty text.
    EXPECT_EQ(
        psql("SELECT id, encode(convert_to(note, 'UTF8'), 'hex') FROM \"" + t + "\" ORDER BY id"),
        sqlite("SELECT id, " + kSqliteHexNote + " FROM \"" + t + "\" ORDER BY id"));
    EXPECT_EQ(psql("SELECT count(*) FROM \"" + t + "\" WHERE note = ''"), Rows{"1"});
    EXPECT_EQ(psql("SELECT count(*) FROM \"" + t + "\" WHERE label = ''"), Rows{"1"});
    EXPECT_EQ(Entries(*list2), Rows{t});
    EXPECT_EQ(progress->Value(), 0);
    EXPECT_EQ(progress->Text(), "Progress Bar");
    EXPECT_EQ(pointer->Mode(), korvanta::WindowPointer::kDefault);
}

TEST_F(TransferRoundTrip, PostgreSQLTableArrivesInSqlAnywhereWithEveryRowAndValue) {
    const std::string t = testdb::uniqueName("rt_to_sa");
    psql("CREATE TABLE \"" + t +
         "\"(id int4, big int8, small int2, amount numeric(14,4), ratio float8, flag bool,"
         " day date, stamp timestamp, note text, name varchar(20), data bytea);"
         "INSERT INTO \"" +
         t +
         "\" VALUES"
         "(1, 9007199254740993, 7, 12.5, 0.1, true, '2021-08-31', '2021-08-31 13:45:10.5',"
         " 'O''Brien', 'x', '\\x00ff10'),"
         "(2, -9223372036854775808, -32768, -0.25, -1.5e-07, false, '1999-12-31',"
         " '1999-12-31 23:59:59', E'back\\\\slash\\nline ''two''', '', '\\x'),"
         "(3, 0, 0, 1000000, 2.5, NULL, NULL, NULL, 'Grüße, ñandú, 日本語 ?{fn x}', NULL, NULL),"
         "(4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '', '', NULL),"
         "(5, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);");
    AddSelected(*list2, t);

    Send(Side::SqlAnywhere);

    EXPECT_TRUE(dialogs.errorReports().isEmpty())
        << dialogs.errorReports().join("\n").toStdString();
    EXPECT_EQ(sqlite("SELECT sql FROM sqlite_master WHERE name = '" + t + "'"),
              Rows{"CREATE TABLE \"" + t +
                   "\"(\"id\" NUMERIC,\"big\" NUMERIC,\"small\" NUMERIC,"
                   "\"amount\" NUMERIC,\"ratio\" NUMERIC,\"flag\" TEXT,\"day\" TEXT,"
                   "\"stamp\" TEXt,\"note\" TEXT,\"name\" TEXT,\"data\" TEXT)"});
    EXPECT_EQ(sqlite("SELECT id, big, typeof(big), small, amount, ratio, flag, day, stamp, name,"
                     " data FROM \"" +
                     t + "\" ORDER BY id"),
              (Rows{"1|9007199254740993|integer|7|12.5|0.1|1|2021-08-31|2021-08-31 13:45:10.5|x|"
                    "00ff10",
                    "2|-9223372036854775808|integer|-32768|-0.25|-1.5e-07|0|1999-12-31|"
                    "1999-12-31 23:59:59||",
                    "3|0|integer|0|1000000|2.5|<null>|<null>|<null>|<null>|<null>",
                    "4|<null>|null|<null>|<null>|<null>|<null>|<null>|<null>||<null>",
                    "5|<null>|null|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>"}));
    EXPECT_EQ(
        sqlite("SELECT id, " + kSqliteHexNote + " FROM \"" + t + "\" ORDER BY id"),
        psql("SELECT id, encode(convert_to(note, 'UTF8'), 'hex') FROM \"" + t + "\" ORDER BY id"));
    EXPECT_EQ(sqlite("SELECT count(*) FROM \"" + t + "\" WHERE note = '' AND name = ''"),
              Rows{"1"});
    EXPECT_EQ(Entries(*list1), Rows{t});
    EXPECT_EQ(progress->Value(), 0);
    EXPECT_EQ(progress->Text(), "Progress Bar");
    EXPECT_EQ(pointer->Mode(), korvanta::WindowPointer::kDefault);
}

TEST_F(TransferRoundTrip, NamesHoldingDoubleQuotesAreCopiedInBothDirections) {
    const std::string bare = testdb::uniqueName("my \"odd\" table");
    const std::string quoted = Ident(bare);
    sqlite("CREATE TABLE " + quoted +
           "(\"say \"\"hi\"\"\" INTEGER, \"it's\" TEXT);"
           "INSERT INTO " +
           quoted + " VALUES(1, 'one'), (2, NULL);");
    AddSelected(*list1, bare);

    Send(Side::PostgreSQL);

    EXPECT_TRUE(dialogs.errorReports().isEmpty())
        << dialogs.errorReports().join("\n").toStdString();
    EXPECT_EQ(psql("SELECT \"say \"\"hi\"\"\", \"it's\" FROM " + quoted + " ORDER BY 1"),
              (Rows{"1|one", "2|<null>"}));
    EXPECT_EQ(Entries(*list2), Rows{bare});

    // And back again, into a new SQL Anywhere table under the PostgreSQL list's spelling.
    sqlite("DROP TABLE " + quoted);
    list1->Clear();
    list2->SetSelected(0, true);
    list2->SetCurrentIndex(0);

    Send(Side::SqlAnywhere);

    EXPECT_TRUE(dialogs.errorReports().isEmpty())
        << dialogs.errorReports().join("\n").toStdString();
    EXPECT_EQ(sqlite("SELECT \"say \"\"hi\"\"\", \"it's\" FROM " + quoted + " ORDER BY 1"),
              (Rows{"1|one", "2|<null>"}));
    EXPECT_EQ(Entries(*list1), Rows{bare});
}

}  // namespace
