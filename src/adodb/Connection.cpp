#include "adodb/Connection.h"

#include <sqlext.h>

#include <cctype>

#include "adodb/ConnectionState.h"
#include "adodb/Error.h"
#include "adodb/OdbcConnectionString.h"
#include "adodb/RecordsetImpl.h"
#include "adodb/RowSource.h"

namespace adodb {
namespace {

// The OLE DB provider for ODBC, with or without a version suffix ("MSDASQL.1").
bool IsOdbcProvider(std::string_view provider) {
    constexpr std::string_view kName = "msdasql";
    if (provider.size() < kName.size())
        return false;
    for (std::size_t i = 0; i < kName.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(provider[i])) != kName[i])
            return false;
    }
    const std::string_view rest = provider.substr(kName.size());
    return rest.empty() || (rest.size() > 1 && rest[0] == '.' &&
                            rest.find_first_not_of("0123456789", 1) == std::string_view::npos);
}

}  // namespace

Connection::Connection() = default;

Connection::~Connection() = default;  // the last owner of the state disconnects

Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

void Connection::Open(std::string_view connectionString) {
    if (IsOpen())
        throw Error(kObjectOpen);
    if (!IsOdbcProvider(Provider))
        throw Error(kProviderNotFound);
    std::string odbc = detail::ToOdbcConnectionString(connectionString);
    // Read through a cursor of the server's either way: a server-side record set streams,
    // and a client-side one keeps only its own compact copy.
    odbc = detail::ForClientSideReading(std::move(odbc));
    state_ = std::make_shared<ConnectionState>(odbc, ConnectionTimeout);
}

bool Connection::IsOpen() const noexcept {
    return state_ != nullptr;
}

Recordset Connection::Execute(std::string_view commandText) {
    if (!IsOpen())
        throw Error(kObjectClosed);
    detail::StatementHandle& statement = state_->ExecuteDirect(commandText, CommandTimeout);
    return Recordset(RecordsetImpl::FromResult(state_, statement, CursorLocation == adUseClient,
                                               FloatsAsNumbers));
}

Recordset Connection::OpenSchema(int schema) {
    if (!IsOpen())
        throw Error(kObjectClosed);
    if (schema != adSchemaTables)
        throw Error(kNotSupported);
    detail::StatementHandle statement = state_->Tables(CommandTimeout);
    detail::ColumnReader reader(statement);
    // ODBC's names for the first five columns, as ADO's TABLES rowset names them.
    static constexpr const char* kNames[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME",
                                             "TABLE_TYPE", "DESCRIPTION"};
    for (std::size_t i = 0; i < std::size(kNames) && i < reader.columns().size(); ++i) {
        reader.Rename(i, kNames[i]);
    }
    auto rows = detail::FetchAllRows(statement, reader);
    return Recordset(std::make_unique<RecordsetImpl>(reader.columns(), std::move(rows)));
}

Recordset Connection::OpenSchema(int schema, std::string_view table) {
    if (!IsOpen())
        throw Error(kObjectClosed);
    if (schema != adSchemaColumns && schema != adSchemaIndexes && schema != adSchemaForeignKeys &&
        schema != adSchemaPrimaryKeys)
        throw Error(kNotSupported);
    detail::StatementHandle statement = state_->TableCatalog(schema, table, CommandTimeout);
    detail::ColumnReader reader(statement);
    auto rows = detail::FetchAllRows(statement, reader);
    return Recordset(std::make_unique<RecordsetImpl>(reader.columns(), std::move(rows)));
}

std::string Connection::DbmsName() {
    if (!IsOpen())
        throw Error(kObjectClosed);
    return state_->InfoText(SQL_DBMS_NAME);
}

bool Connection::SupportsTransactions() {
    if (!IsOpen())
        throw Error(kObjectClosed);
    return state_->InfoNumber(SQL_TXN_CAPABLE) != SQL_TC_NONE;
}

void Connection::BeginTrans() {
    if (!IsOpen())
        throw Error(kObjectClosed);
    state_->SetAutocommit(false);
}

void Connection::CommitTrans() {
    if (!IsOpen())
        throw Error(kObjectClosed);
    state_->EndTransaction(true);
    state_->SetAutocommit(true);
}

void Connection::RollbackTrans() {
    if (!IsOpen())
        throw Error(kObjectClosed);
    // Autocommit comes back even when the rollback fails: the next statement must not
    // join a transaction that nobody ends.
    try {
        state_->EndTransaction(false);
    } catch (...) {
        try {
            state_->SetAutocommit(true);
        } catch (...) {
        }
        throw;
    }
    state_->SetAutocommit(true);
}

void Connection::Close() {
    if (!IsOpen())
        throw Error(kObjectClosed);
    std::shared_ptr<ConnectionState> state = std::move(state_);
    // A server-side record set still open keeps the connection until it goes.
    if (state.use_count() == 1)
        state->Disconnect();
}

}  // namespace adodb
