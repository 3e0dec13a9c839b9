// Defaults and conditions whose meaning the target would change are left out and named;
// those that keep it are carried. The two databases evaluate each: a default once, a
// condition over probe values of its columns.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/send/TransferRun.h"
#include "support/TestDatabases.h"

namespace {

using korvanta::Side;

class Outcomes final : public korvanta::TransferListener {
  public:
    bool AskOverwrite(const std::string&) override { return true; }
    void Failed(int, const adodb::Error& error, const std::string&) override {
        std::lock_guard lock(mutex_);
        reports.push_back(error.what());
    }
    void TableFinished(const korvanta::TableOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        outcomes[outcome.source] = outcome;
    }
    std::map<std::string, korvanta::TableOutcome> outcomes;
    std::vector<std::string> reports;

  private:
    std::mutex mutex_;
};

struct Case {
    Side target;          // the source is the other side
    const char* columns;  // the source table's columns, constraints and defaults
    const char* rows;     // its rows (VALUES ...)
    const char* element;  // how the summary names the element
    bool carried;         // kept its meaning: carried
};

const Case kCases[] = {
    // A numeric column is TEXT affinity on the SQLite data source: a comparison with a
    // number compares texts there.
    {Side::SqlAnywhere, "id int PRIMARY KEY, price numeric(10,2) CONSTRAINT c CHECK (price < 100)",
     "(1, 99.00), (2, 5.50)", "check c", false},
    {Side::SqlAnywhere, "id int PRIMARY KEY, qty int CONSTRAINT c CHECK (qty >= 0)", "(1, 5)",
     "check c", true},
    {Side::SqlAnywhere, "id int PRIMARY KEY, code text CONSTRAINT c CHECK (code <> '')", "(1, 'a')",
     "check c", true},
    {Side::SqlAnywhere, "id int PRIMARY KEY, due date DEFAULT CURRENT_DATE + 7", "(1, DEFAULT)",
     "default of \"due\"", false},
    {Side::SqlAnywhere, "id int PRIMARY KEY, qty int DEFAULT 2 * 3", "(1, DEFAULT)",
     "default of \"qty\"", true},
    {Side::PostgreSQL, "id INTEGER PRIMARY KEY, qty INTEGER CONSTRAINT c CHECK (qty < 100)",
     "(1, 5)", "check c", true},
    {Side::PostgreSQL, "id INTEGER PRIMARY KEY, name TEXT CONSTRAINT c CHECK (name LIKE 'a%')",
     "(1, 'Abc')", "check c", true},
    {Side::PostgreSQL, "id INTEGER PRIMARY KEY, qty INTEGER DEFAULT (1 + 1)", "(1, 3)",
     "default of \"qty\"", true},
};

TEST(MeaningProbe, WhatTheTargetWouldReadDifferentlyIsNamedAndTheRestCarried) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.columns);
        const std::string t = testdb::uniqueName("meaning");
        const std::string create = "CREATE TABLE " + t + "(" + c.columns + "); INSERT INTO " + t +
                                   " VALUES " + c.rows + ";";
        if (c.target == Side::SqlAnywhere)
            testdb::psql(create);
        else
            testdb::sqlite(create);
        korvanta::SendRequest request;
        request.target = c.target;
        request.tables = {t};
        request.values = testdb::connectionValues();
        request.settings.exactSchema = true;
        Outcomes listener;
        korvanta::SendTables(request, listener);
        const korvanta::TableOutcome& outcome = listener.outcomes[t];
        const auto named = [&](const std::vector<std::string>& items) {
            return std::any_of(items.begin(), items.end(), [&](const std::string& item) {
                return item.rfind(c.element, 0) == 0;
            });
        };
        EXPECT_EQ(named(outcome.carried), c.carried);
        EXPECT_EQ(named(outcome.notCarried), !c.carried);
        // Every source row lands: none is refused by a constraint it met on the source.
        EXPECT_EQ(outcome.refused, 0);
        EXPECT_EQ(outcome.landed, outcome.counted);
        // The target's own definition says the same.
        const bool check = std::string(c.element).rfind("check", 0) == 0;
        std::string definition;
        bool there = false;
        if (c.target == Side::SqlAnywhere) {
            definition =
                testdb::sqlite("SELECT sql FROM sqlite_master WHERE name = '" + t + "'").at(0);
            there = definition.find(check ? "CHECK" : "DEFAULT") != std::string::npos;
        } else {
            definition = testdb::psql(check ? "SELECT count(*) FROM pg_constraint WHERE conrelid"
                                              " = '" +
                                                  t + "'::regclass AND contype = 'c'"
                                            : "SELECT count(*) FROM pg_attrdef WHERE adrelid = '" +
                                                  t + "'::regclass")
                             .at(0);
            there = definition != "0";
        }
        EXPECT_EQ(there, c.carried) << definition;
    }
}

}  // namespace
