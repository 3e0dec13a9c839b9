// The command line's own formats: ~/.pgpass lines, CSV fields as PostgreSQL reads them,
// JSON values that keep every byte.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>

#include <sys/resource.h>

#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "cli/Password.h"
#include "cli/RefusedRowFile.h"

using korvanta::cli::PasswordFromPgpassText;
using korvanta::cli::PasswordKey;

namespace {

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Pgpass, FirstMatchingLineWins) {
    const PasswordKey key{"db.example", "5432", "sales", "ann"};
    struct Case {
        const char* what;
        std::string text;
        std::optional<std::string> password;
    };
    const Case cases[] = {
        {"exact", "db.example:5432:sales:ann:secret\n", "secret"},
        {"wildcards", "*:*:*:*:any\n", "any"},
        {"first match", "*:*:sales:ann:first\n*:*:*:*:second\n", "first"},
        {"other user skipped", "*:*:*:bob:no\n*:*:*:ann:yes\n", "yes"},
        {"other port", "db.example:5433:sales:ann:no\n", std::nullopt},
        {"comment", "#*:*:*:*:no\n", std::nullopt},
        {"too few fields", "*:*:*:no\n", std::nullopt},
        {"escaped colon in password", "*:*:*:*:a\\:b\n", "a:b"},
        {"escaped backslash", "*:*:*:*:a\\\\b\n", "a\\b"},
        {"colon later in password", "*:*:*:*:a:b\n", "a:b"},
        {"CRLF line ends", "*:*:*:*:pw\r\n", "pw"},
        {"no final line end", "*:*:*:*:pw", "pw"},
        {"empty password", "*:*:*:*:\n", ""},
        {"escaped colon in a field", "db.example:5432:sales:a\\:n:no\n", std::nullopt},
        {"star is no pattern", "db.*:5432:sales:ann:no\n", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PasswordFromPgpassText(c.text, key), c.password) << c.what;
    EXPECT_EQ(PasswordFromPgpassText("a\\:b:1:d:u:pw\n", {"a:b", "1", "d", "u"}), "pw");
}

TEST(RejectCsv, FieldsReadBackAsPostgreSQLReadsThem) {
    struct Case {
        std::optional<std::string> value;
        std::string field;
    };
    const Case cases[] = {
        {std::nullopt, ""},
        {"", "\"\""},
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        {"\\.", "\"\\.\""},
        {"\\N", "\\N"},
        {"a\xff"
         "b",
         "a\xff"
         "b"},
        {" lead", " lead"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(korvanta::cli::CsvField(c.value), c.field) << c.field;
}

TEST(RejectJson, ValuesKeepEveryByte) {
    const std::optional<std::string> values[] = {
        std::nullopt,
        "",
        "plain",
        "quote \" backslash \\ slash /",
        std::string("nul \0 and \x01\x1f\x7f", 13),
        "tab\tcr\rlf\n",
        "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
        "\xff",
        "a\xc3",             // cut short
        "\xc0\xaf",          // overlong
        "\xed\xa0\x80",      // a surrogate
        "\xf4\x90\x80\x80",  // beyond U+10FFFF
    };
    for (const auto& value : values) {
        const std::string json = "[" + korvanta::cli::JsonValue(value) + "]";
        QJsonParseError error{};
        const QJsonArray array =
            QJsonDocument::fromJson(QByteArray::fromStdString(json), &error).array();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
        const QJsonValue v = array.at(0);
        std::optional<std::string> back;
        if (v.isObject())
            back = QByteArray::fromHex(v["hex"].toString().toLatin1()).toStdString();
        else if (!v.isNull())
            back = v.toString().toUtf8().toStdString();
        EXPECT_EQ(back, value) << json;
        if (value) {
            EXPECT_EQ(v.isObject(), !korvanta::cli::IsUtf8(*value)) << json;
        }
    }
}

// A reject file that fills up (here: the process's file size limit) keeps only whole
// records: the row that did not fit is taken back out and counted as lost, the rows before
// it stay, and what the system said is kept for the report.
TEST(RejectFile, ARowThatDoesNotFitIsCountedNeverHalfWritten) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/refused.jsonl";
    korvanta::RefusedRow row;
    row.table = "t";
    row.sourceRow = 1;
    row.columns = {"v"};
    row.values = {std::string(700, 'x')};
    row.message = "refused";
    const std::string record = korvanta::cli::JsonRecord(row);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto xfsz = std::signal(SIGXFSZ, SIG_IGN);
    {
        korvanta::cli::RefusedRowFile file(path);
        rlimit small{static_cast<rlim_t>(record.size() * 2 + record.size() / 2), before.rlim_max};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        EXPECT_TRUE(file.Write(row));
        EXPECT_TRUE(file.Write(row));
        EXPECT_FALSE(file.Write(row));
        EXPECT_FALSE(file.Write(row));
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
        EXPECT_EQ(file.Lost(), 2);
        EXPECT_EQ(file.Failure(), std::strerror(EFBIG));
    }
    std::signal(SIGXFSZ, xfsz);
    EXPECT_EQ(FileText(path), record + record);
}

}  // namespace
