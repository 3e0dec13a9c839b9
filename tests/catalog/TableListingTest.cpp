// Filling the two lists from the real databases, directly and through the load routine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>

#include "CatalogTestSupport.h"
#include "adodb/Error.h"
#include "app/EventPump.h"
#include "app/Twips.h"
#include "app/WindowPointer.h"
#include "catalog/ListFill.h"
#include "engine/tables/NameOrder.h"

using catalogtest::Entries;
using catalogtest::Q;
using catalogtest::Sqlite;
using catalogtest::TestConnection;
using korvanta::EventPump;
using korvanta::TableList;

namespace {

void ExpectSortedAndUntouched(const TableList& list) {
    const korvanta::NameOrder order;
    for (int i = 0; i + 1 < list.Count(); ++i) {
        ASSERT_LE(order.Compare(list.Text(i), list.Text(i + 1)), 0)
            << "entries " << i << " and " << i + 1 << " are out of order";
    }
    EXPECT_EQ(list.SelectedCount(), 0);
    EXPECT_EQ(list.CurrentIndex(), -1);
}

// Exactly the tables that a bare name reaches: a login whose search path puts a schema
// of its own before public.
TEST(PostgreSQLListing, ListsTheTablesThatBareNamesReachOnTheSearchPathOnceEach) {
    const std::string twice = testdb::uniqueName("twice");
    const std::string onlyFirst = testdb::uniqueName("only_first");
    const std::string onlyPublic = testdb::uniqueName("only_public");
    const std::string hidden = testdb::uniqueName("hidden");
    const std::string first = testdb::uniqueName("first_schema");
    const std::string off = testdb::uniqueName("off_path");
    const std::string login = testdb::uniqueName("lister");
    const std::string password = "pw_" + login;
    std::string setup = "create role " + login + " login password '" + password + "';";
    setup += "create schema " + first + "; create schema " + off + ";";
    setup += "grant usage on schema " + first + ", " + off + " to " + login + ";";
    setup += "alter role " + login + " set search_path = " + first + ", public;";
    setup += "create table " + first + "." + twice + " (id int);";
    setup += "create table public." + twice + " (id int);";
    setup += "create table " + first + "." + onlyFirst + " (id int);";
    setup += "create table public." + onlyPublic + " (id int);";
    setup += "create table " + off + "." + hidden + " (id int);";
    testdb::psql(setup);
    korvanta::ConnectionValues values = TestConnection().values;
    values.user = Q(login);
    values.password = Q(password);
    TableList list;
    list.Add(QStringLiteral("stale entry"));
    list.SetAllSelected(true);
    EventPump pump;
    korvanta::ListPostgreSQLTables(list, values, pump);

    const QStringList entries = Entries(list);
    EXPECT_EQ(entries.count(Q(twice)), 1) << "one table of that name is reached";
    EXPECT_EQ(entries.count(Q(onlyFirst)), 1);
    EXPECT_EQ(entries.count(Q(onlyPublic)), 1);
    EXPECT_FALSE(entries.contains(Q(hidden))) << "its schema is not on the search path";
    for (const char* system : {"pg_class", "pg_type", "sql_features"})
        EXPECT_FALSE(entries.contains(QString::fromLatin1(system))) << system;
    EXPECT_FALSE(entries.contains(QStringLiteral("stale entry"))) << "the list is emptied first";
    ExpectSortedAndUntouched(list);
    testdb::psql("drop schema " + first + " cascade; drop schema " + off + " cascade;" +
                 "drop table public." + twice + "; drop table public." + onlyPublic + ";" +
                 "drop role " + login + ";");
}

TEST(SybaseListing, KeepsBaseTablesWithoutSysInTheirNames) {
    const std::string physics = testdb::uniqueName("Physics");
    const std::string customers = testdb::uniqueName("Customers");
    const std::string systemsLog = testdb::uniqueName("SYSTEMS_LOG");
    const std::string mysys = testdb::uniqueName("mysys");
    const std::string analysys = testdb::uniqueName("AnalySys");
    const std::string view = testdb::uniqueName("Viewed");
    std::string sql;
    for (const std::string& t : {physics, customers, systemsLog, mysys, analysys}) {
        sql += "create table \"" + t + "\" (id integer);";
    }
    sql += "create view \"" + view + "\" as select * from \"" + physics + "\";";
    Sqlite(sql);

    TableList list;
    list.Add(QStringLiteral("stale entry"));
    EventPump pump;
    korvanta::ListSybaseTables(list, TestConnection().values, pump);

    const QStringList entries = Entries(list);
    EXPECT_EQ(entries.count(Q(physics)), 1);
    EXPECT_EQ(entries.count(Q(customers)), 1);
    for (const std::string& left : {systemsLog, mysys, analysys, view}) {
        EXPECT_FALSE(entries.contains(Q(left))) << left;
    }
    EXPECT_FALSE(entries.contains(QStringLiteral("stale entry")));
    for (const QString& entry : entries) {
        EXPECT_FALSE(entry.toUpper().contains(QStringLiteral("SYS"))) << entry.toStdString();
    }
    ExpectSortedAndUntouched(list);

    std::string drop = "drop view \"" + view + "\";";
    for (const std::string& t : {physics, customers, systemsLog, mysys, analysys}) {
        drop += "drop table \"" + t + "\";";
    }
    Sqlite(drop);
}

// A connection that does not open leaves the list as it was and raises the driver's error.
TEST(Listing, AFailureBeforeTheQueryLeavesTheListAsItWas) {
    struct Case {
        const char* name;
        void (*fill)(TableList&, const korvanta::ConnectionValues&, EventPump&);
        void (*spoil)(korvanta::ConnectionValues&);
    };
    const Case cases[] = {
        {"PostgreSQL", korvanta::ListPostgreSQLTables,
         [](korvanta::ConnectionValues& v) { v.password += QStringLiteral("wrong"); }},
        {"SQL Anywhere", korvanta::ListSybaseTables,
         [](korvanta::ConnectionValues& v) { v.dataSourceName = QStringLiteral("NoSuchSource"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        korvanta::ConnectionValues values = TestConnection().values;
        c.spoil(values);
        TableList list;
        list.Add(QStringLiteral("kept"));
        list.Add(QStringLiteral("also kept"));
        EventPump pump;
        EXPECT_THROW(c.fill(list, values, pump), adodb::Error);
        EXPECT_EQ(Entries(list), (QStringList{"also kept", "kept"}));
    }
}

TEST(Form2Load, AnUnopenableDataSourceIsReportedAtLine112AndThePostgreSQLListStillFills) {
    const std::string pgTable = testdb::uniqueName("still_listed");
    testdb::psql("create table " + pgTable + " (id int);");
    catalogtest::Form2Harness<> h;
    h.connection.values.dataSourceName = Q(testdb::uniqueName("NoSuchSource"));
    h.form.List1->Add(QStringLiteral("before"));
    h.form.List1->Add(QStringLiteral("Before too"));

    h.form.Form_Load();

    ASSERT_EQ(h.dialogs.errorReports().size(), 1) << h.dialogs.log().join('\n').toStdString();
    const QString report = h.dialogs.errorReports()[0];
    EXPECT_TRUE(report.contains(
        QStringLiteral("\r\nin Velcastra2021/08/31.Form2.Form_Load at line 112\r\r")))
        << report.toStdString();
    EXPECT_EQ(Entries(*h.form.List1), (QStringList{"before", "Before too"}));
    EXPECT_TRUE(Entries(*h.form.List2).contains(Q(pgTable)));
    EXPECT_TRUE(h.form.Loaded());
    testdb::psql("drop table " + pgTable + ";");
}

TEST(Form2Load, FillsBothListsDecoratesAndSizesTheWindowAgainAndAgain) {
    const std::string pgTable = testdb::uniqueName("loaded");
    const std::string liteTable = testdb::uniqueName("Loaded");
    testdb::psql("create table " + pgTable + " (id int);");
    Sqlite("create table \"" + liteTable + "\" (id integer);");

    catalogtest::Form2Harness<> h;
    auto& f = h.form;
    EXPECT_FALSE(f.Loaded());
    for (int load = 1; load <= 2; ++load) {
        SCOPED_TRACE(load);
        f.Form_Load();
        EXPECT_TRUE(h.dialogs.log().isEmpty()) << h.dialogs.log().join('\n').toStdString();
        EXPECT_EQ(Entries(*f.List1).count(Q(liteTable)), 1);
        EXPECT_EQ(Entries(*f.List2).count(Q(pgTable)), 1);
        ExpectSortedAndUntouched(*f.List1);
        ExpectSortedAndUntouched(*f.List2);
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Korvanta"));
        // The outer height: top of "< Back" (4980) + its height (405) + 580 twips.
        EXPECT_EQ(f.frameGeometry().height(), korvanta::Twips(5965));
        EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "still not resizable";
        EXPECT_EQ(f.width(), korvanta::Twips(8040));
        const QColor buttonFace = QApplication::palette().color(QPalette::Active, QPalette::Button);
        for (QWidget* w : {static_cast<QWidget*>(&f), static_cast<QWidget*>(f.Frame1),
                           static_cast<QWidget*>(f.Frame2)}) {
            EXPECT_EQ(w->palette().color(QPalette::Window), buttonFace);
        }
        EXPECT_EQ(f.Pointer->Mode(), korvanta::WindowPointer::kDefault);
        // Selections made between two loads do not survive the next one.
        f.List1->SetAllSelected(true);
        f.List2->SetCurrentIndex(0);
    }
    f.show();
    EXPECT_EQ(f.frameGeometry().height(), korvanta::Twips(5965)) << "once shown";

    testdb::psql("drop table " + pgTable + ";");
    Sqlite("drop table \"" + liteTable + "\";");
}

}  // namespace
