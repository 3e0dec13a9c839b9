// The floor for one statement per row: executes the statements of a file (separated by
// NUL bytes) one after the other on a single statement handle, with autocommit, and
// prints how fast that went. Nothing of the program's own code runs here.
//
//   bare_insert CONNECTION-STRING FILE [--wide]
//
// --wide calls the wide-character entry points (for Unicode drivers such as psqlODBC's
// "PostgreSQL Unicode"), converting each statement to UTF-16 into one reused buffer.
#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void Utf16(const std::string& s, std::u16string& out) {
    out.clear();
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        char32_t cp;
        int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (int k = 1; k < len && i + k < s.size(); ++k)
            cp = (cp << 6) | (s[i + k] & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
}

void Fail(const char* what, SQLSMALLINT type, SQLHANDLE handle) {
    SQLCHAR state[6] = {};
    SQLCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
    std::fprintf(stderr, "%s failed: [%s] %s\n", what, state, message);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bare_insert CONNECTION-STRING FILE [--wide]\n");
        return 2;
    }
    const std::string connection = argv[1];
    const bool wide = argc > 3 && std::string(argv[3]) == "--wide";
    std::ifstream file(argv[2], std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> statements;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos)
            end = all.size();
        statements.push_back(all.substr(start, end - start));
        start = end + 1;
    }

    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLRETURN rc;
    if (wide) {
        std::u16string c;
        Utf16(connection, c);
        rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(c.data()),
                               static_cast<SQLSMALLINT>(c.size()), nullptr, 0, nullptr,
                               SQL_DRIVER_NOPROMPT);
    } else {
        rc = SQLDriverConnect(dbc, nullptr,
                              reinterpret_cast<SQLCHAR*>(const_cast<char*>(connection.c_str())),
                              SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    }
    if (!SQL_SUCCEEDED(rc)) {
        Fail("connect", SQL_HANDLE_DBC, dbc);
        return 1;
    }
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);

    long failures = 0;
    std::u16string wideText;
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < statements.size(); ++i) {
        if (wide) {
            Utf16(statements[i], wideText);
            rc = SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(wideText.data()),
                                static_cast<SQLINTEGER>(wideText.size()));
        } else {
            rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(statements[i].data()),
                               static_cast<SQLINTEGER>(statements[i].size()));
        }
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            if (++failures <= 3)
                Fail("statement", SQL_HANDLE_STMT, stmt);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("rows %zu seconds %.3f rows/s %.1f failures %ld\n", statements.size(), seconds,
                statements.size() / seconds, failures);

    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return failures == 0 ? 0 : 1;
}
