#include "engine/send/SendSession.h"

#include "adodb/Recordset.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"
#include "engine/schema/SchemaReader.h"
#include "engine/send/MeaningProbe.h"
#include "sql/model/SqlName.h"
#include "sql/statements/RouteStatements.h"

namespace korvanta {

SendSession::SendSession(const SendRequest& request, TransferListener& listener)
    : toPostgreSQL_(request.target == Side::PostgreSQL),
      request_(request),
      lines_(SendLinesTo(request.target)),
      listener_(listener),
      targetTables_(request.targetTables),
      claims_(request.claims ? request.claims : std::make_shared<TargetClaims>()),
      foreignKeys_(request.foreignKeys ? request.foreignKeys
                                       : std::make_shared<ForeignKeyQueue>()) {}

bool SendSession::OpenConnections() {
    // PostgreSQL first in both directions. Both read through cursors of the server, so
    // that a source streams however large it is.
    const int timeout = request_.settings.commandTimeoutSeconds;
    postgreSQL_.CursorLocation = adodb::adUseServer;
    postgreSQL_.CommandTimeout = timeout;
    postgreSQL_.ConnectionTimeout = timeout;
    if (!Step(lines_.openPostgreSQL, [&] { OpenPostgreSQL(postgreSQL_, request_.values); }))
        return false;
    sybase_.CursorLocation = adodb::adUseServer;
    sybase_.CommandTimeout = timeout;
    sybase_.ConnectionTimeout = timeout;
    return Step(lines_.openSybase, [&] { OpenSybase(sybase_, request_.values); });
}

void SendSession::CloseConnections() {
    copyConnection_.reset();
    if (ended_)
        return;  // a lost connection: the open objects are dropped without more reports
    Step(lines_.closeSybase, [&] { sybase_.Close(); });
    Step(lines_.closePostgreSQL, [&] { postgreSQL_.Close(); });
}

void SendSession::LearnDialects() {
    if (targetDialect_)
        return;
    std::shared_ptr<const Dialect> odbc = DialectOfDataSource(sybase_);
    std::shared_ptr<const Dialect> postgreSQL = DialectOf(Side::PostgreSQL, {});
    sourceDialect_ = toPostgreSQL_ ? odbc : postgreSQL;
    targetDialect_ = toPostgreSQL_ ? postgreSQL : odbc;
    // Values are written as the target reads them back unchanged: what cannot be learned
    // is taken as the standard.
    if (const std::string query = targetDialect_->SettingQuery(); !query.empty()) {
        try {
            adodb::Recordset setting = Target().Execute(query);
            if (!setting.IsEOF())
                targetDialect_ = targetDialect_->WithSetting(setting.Fields()[0].Value().Text());
        } catch (...) {
        }
    }
}

void SendSession::Listed(const std::string& name) {
    targetTables_.Add(name);
    listener_.TableListed(ListEntry(name));
}

void SendSession::Dropped(const std::string& name) {
    // The list loses the entries equal to the name as it spells new tables: for
    // PostgreSQL the lower-case name, so an entry in capitals stays there.
    targetTables_.Remove(name);
    listener_.TableDropped(ListEntry(name));
}

bool SendSession::ClaimTarget(const SentTable& table) {
    const std::optional<std::string> earlier = claims_->Claim(table.name, table.entry);
    if (!earlier)
        return true;
    Report(lines_.createTable,
           "The tables " + QuotedName(*earlier) + " and " + QuotedName(table.entry) +
               " would both be written to the table " + QuotedName(table.name) +
               ", as the target compares names; " + QuotedName(table.entry) + " was not sent.");
    return false;
}

std::string SendSession::TargetNameOf(const std::string& source) const {
    const auto own = request_.tableSettings.find(source);
    return own == request_.tableSettings.end() || own->second.target.empty() ? source
                                                                             : own->second.target;
}

void SendSession::ReadSchema(SentTable& table) {
    if (!table.exact)
        return;
    table.schema = ReadTableSchema(Source(), *sourceDialect_, table.entry,
                                   TableRows::Describe(Source(), *sourceDialect_, table.entry));
    // Text keys only where both databases order text by its bytes: one order on both sides.
    table.orderKey = OrderKey(*table.schema, !sourceDialect_->ByteOrder("k").empty() &&
                                                 !targetDialect_->ByteOrder("k").empty());
}

TableSchema SendSession::TargetSchema(const SentTable& table) {
    return ReadTableSchema(Target(), *targetDialect_, table.name,
                           TableRows::Describe(Target(), *targetDialect_, table.name));
}

// A foreign key of a table that goes to SQLite is written with the table, if the table it
// refers to is on the target or in the send; it refers to the table as the target will hold
// it, under its own name where the settings give it one. What the target would read
// differently is left out and named.
TablePlan SendSession::PlanExact(const SentTable& table) {
    const auto onTarget = [&](std::string_view name) {
        const std::string stored = StoredTableName(request_.target, name);
        if (targetTables_.Contains(stored) || foreignKeys_->WasWritten(stored))
            return true;
        if (!sentTables_) {
            sentTables_.emplace();
            for (const std::string& sent : request_.tables)
                sentTables_->Add(StoredTableName(request_.target, TargetNameOf(sent)));
        }
        return sentTables_->Contains(stored);
    };
    TableSchema schema =
        WithMeaningsKept(*table.schema, {Source(), *sourceDialect_, Target(), *targetDialect_});
    for (ForeignKeySchema& key : schema.foreignKeys)
        key.table = TargetNameOf(key.table);
    return PlanExactTable(schema, table.name, *targetDialect_, onTarget);
}

void SendSession::DropStepsMade(const SentTable& table, TablePlan& plan) {
    const TableSchema target = TargetSchema(table);
    const TablePlan made =
        PlanExactTable(target, table.name, *targetDialect_, [](std::string_view) { return true; });
    std::set<std::string> there;
    for (const auto* steps : {&made.afterRows, &made.foreignKeys}) {
        for (const SchemaStep& step : *steps)
            there.insert(step.what);
    }
    const auto madeBefore = [&](const SchemaStep& step) {
        if (there.count(step.what) == 0)
            return false;
        plan.carried.push_back(step.what + ": made before");
        return true;
    };
    std::erase_if(plan.afterRows, madeBefore);
    std::erase_if(plan.foreignKeys, madeBefore);
}

void SendSession::OpenSource(SentTable& table, const std::string& where) {
    table.rows.Open(Source(), sourceDialect_, table.entry, toPostgreSQL_ ? nullptr : Wire(),
                    BothConditions(table.where, where), {}, OrderTerms(table));
}

std::vector<std::string> SendSession::OrderTerms(const SentTable& table) const {
    std::vector<std::string> terms;
    for (const OrderColumn& column : table.orderKey)
        terms.push_back(column.text ? sourceDialect_->ByteOrder(QuotedName(column.name))
                                    : QuotedName(column.name));
    return terms;
}

void SendSession::CloseSource(TableRows& rows) {
    if (!ended_)
        Step(lines_.closeRecordset, [&] { rows.Close(); });
}

void SendSession::RefuseExisting(const SentTable& table, const std::string& why) {
    Report(lines_.intoExisting, "The table " + QuotedName(table.name) +
                                    " on the target takes no row of " + QuotedName(table.entry) +
                                    ": " + why + ".");
}

// The run's libpq connection to PostgreSQL, for COPY in either direction: opened once per
// run, again after it broke. nullptr when it cannot be opened: the driver then carries the
// rows.
PostgresCopyConnection* SendSession::Wire() {
    if (!copyConnection_ || copyConnection_->Broken())
        copyConnection_ = PostgresCopyConnection::Open(request_.values, request_.settings);
    return copyConnection_.get();
}

}  // namespace korvanta
