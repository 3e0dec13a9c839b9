#include "adodb/Diagnostics.h"

#include <sqlucode.h>

#include <string>
#include <vector>

#include "adodb/Error.h"
#include "adodb/OdbcText.h"
#include "adodb/TextCodec.h"

namespace adodb::detail {
namespace {

struct Record {
    std::string state;
    int native = 0;
    std::string message;
};

// Reads record number `index`; false when there is none. Messages longer than the first
// buffer are read again whole.
bool ReadRecord(const DiagnosticSource& source, SQLSMALLINT index, Record& record) {
    return WithTextApi(source.api, [&](auto api) {
        using Text = decltype(api);
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        typename Text::Char state[6] = {};
        std::vector<typename Text::Char> text(512);
        for (;;) {
            const SQLRETURN rc =
                Text::GetDiagRec(source.handleType, source.handle, index, state, &native,
                                 text.data(), static_cast<SQLSMALLINT>(text.size()), &length);
            if (!SQL_SUCCEEDED(rc))
                return false;
            if (length < static_cast<SQLSMALLINT>(text.size()) || text.size() >= 32000)
                break;
            text.resize(static_cast<std::size_t>(length) + 1);
        }
        record.state = Text::Out(state, 5);
        const std::size_t available = text.size() - 1;
        record.message =
            Text::Out(text.data(), length < 0 ? 0 : std::min<std::size_t>(length, available));
        record.native = static_cast<int>(native);
        return true;
    });
}

bool ConnectionIsDead(SQLHDBC connection) {
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc = SQLGetConnectAttr(connection, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
}

[[noreturn]] void Raise(SQLRETURN rc, const DiagnosticSource& source) {
    if (rc == SQL_INVALID_HANDLE)
        throw Error("Invalid ODBC handle.");
    std::string description;
    std::string firstState;
    int firstNative = 0;
    Record record;
    for (SQLSMALLINT i = 1; ReadRecord(source, i, record); ++i) {
        if (i == 1) {
            firstState = record.state;
            firstNative = record.native;
        } else {
            description += '\n';
        }
        description += record.message;
    }
    if (description.empty()) {
        description =
            "The ODBC call failed without a description (return code " + std::to_string(rc) + ").";
    }
    // psqlODBC reports the first failure after the server went away with the server's
    // last word (57P01 "terminating connection due to administrator command", or HY000
    // "server closed the connection unexpectedly") and only later ones with 08S01. The
    // driver's connection-dead attribute is not always set by then (seen after an
    // immediate shutdown while the connection was idle); a server that shut down (57P01)
    // or crashed (57P02) has ended the session whatever the attribute says.
    const bool serverEnded = firstState == "57P01" || firstState == "57P02";
    if (firstState.rfind("08", 0) != 0 &&
        (serverEnded ||
         (source.liveConnection != SQL_NULL_HDBC && ConnectionIsDead(source.liveConnection)))) {
        firstState = "08S01";
    }
    throw Error(description, firstState, firstNative);
}

}  // namespace

SQLRETURN Check(SQLRETURN rc, const DiagnosticSource& source) {
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA)
        return rc;
    Raise(rc, source);
}

}  // namespace adodb::detail
