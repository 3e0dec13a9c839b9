// What the SQLite stand-in takes at best: the rows of a table loaded into a new table of
// the same columns with one prepared INSERT inside one transaction, through SQLite's own
// library, values bound as the text they are stored as. Only the load is timed.
//
//   bare_sqlite_load FILE SOURCE-TABLE TARGET-TABLE
//
// Prints "bare bulk load: N rows in S s, R rows/s".
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(sqlite3* db, const char* what) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
}

void Exec(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(db, sql.c_str());
}

std::string Quoted(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bare_sqlite_load FILE SOURCE-TABLE TARGET-TABLE\n");
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK)
        Fail(db, "open");
    sqlite3_busy_timeout(db, 20000);
    // As the data source has it.
    Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    const std::string source = argv[2];
    const std::string target = argv[3];

    sqlite3_stmt* read = nullptr;
    if (sqlite3_prepare_v2(db, ("SELECT * FROM " + Quoted(source)).c_str(), -1, &read, nullptr) !=
        SQLITE_OK)
        Fail(db, "select");
    const int columns = sqlite3_column_count(read);
    std::string create = "CREATE TABLE " + Quoted(target) + "(";
    for (int c = 0; c < columns; ++c) {
        const char* type = sqlite3_column_decltype(read, c);
        create += (c ? "," : "") + Quoted(sqlite3_column_name(read, c)) + " " + (type ? type : "");
    }
    create += ")";
    std::vector<std::optional<std::string>> values;
    while (sqlite3_step(read) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            const unsigned char* text = sqlite3_column_text(read, c);
            values.push_back(text ? std::optional<std::string>(reinterpret_cast<const char*>(text))
                                  : std::nullopt);
        }
    }
    sqlite3_finalize(read);
    Exec(db, "DROP TABLE IF EXISTS " + Quoted(target) + ";" + create);

    std::string insert = "INSERT INTO " + Quoted(target) + " VALUES(";
    for (int c = 0; c < columns; ++c)
        insert += c ? ",?" : "?";
    insert += ")";
    const auto start = std::chrono::steady_clock::now();
    Exec(db, "BEGIN");
    sqlite3_stmt* write = nullptr;
    if (sqlite3_prepare_v2(db, insert.c_str(), -1, &write, nullptr) != SQLITE_OK)
        Fail(db, "prepare");
    const std::size_t rows = columns ? values.size() / static_cast<std::size_t>(columns) : 0;
    for (std::size_t r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const auto& value = values[r * static_cast<std::size_t>(columns) + c];
            if (value) {
                sqlite3_bind_text(write, c + 1, value->data(), static_cast<int>(value->size()),
                                  SQLITE_STATIC);
            } else {
                sqlite3_bind_null(write, c + 1);
            }
        }
        if (sqlite3_step(write) != SQLITE_DONE)
            Fail(db, "insert");
        sqlite3_reset(write);
    }
    sqlite3_finalize(write);
    Exec(db, "COMMIT");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("bare bulk load: %zu rows in %.2f s, %.0f rows/s\n", rows, seconds, rows / seconds);
    Exec(db, "DROP TABLE " + Quoted(target));
    sqlite3_close(db);
    return 0;
}
