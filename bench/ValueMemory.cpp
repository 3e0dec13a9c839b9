// Peak memory of one row holding a large text value, read through a server-side
// Recordset or written with ArrayInsert, in a fresh process per case:
//   value_memory pg-read|sqlite-read|sqlite-write|pg-write MEGABYTES [ascii|mixed] [LIMIT_MB]
// The caller makes value_source(id, v text) holding the value (value_source_mixed with
// "é" text too, on PostgreSQL) and value_sink(id, v text) on each side, and exports the
// variables of scripts/dbenv. Prints the peak resident size above the connected, idle
// process (VmHWM after clearing it); LIMIT_MB caps the address space that far above it.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

#include "adodb/ArrayInsert.h"
#include "adodb/Connection.h"
#include "adodb/Recordset.h"

namespace {

long long Status(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(key.size())) * 1024;
    }
    return -1;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

class OneValue final : public adodb::TextRows {
  public:
    explicit OneValue(const std::string& text) : text_(text) {}
    std::optional<std::string_view> Value(std::size_t, std::size_t column) const override {
        if (column == 0)
            return std::string_view("1");
        return std::string_view(text_);
    }

  private:
    const std::string& text_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const std::string mode = argv[1];
    const std::size_t bytes = std::stoull(argv[2]) << 20;
    const bool mixed = argc > 3 && std::string(argv[3]) == "mixed";
    const bool postgres = mode.rfind("pg", 0) == 0;
    adodb::Connection connection;
    connection.CursorLocation = adodb::adUseServer;
    connection.Open(postgres
                        ? "Driver={PostgreSQL Unicode};Server=" + Env("KV_PG_SERVER") +
                              ";Port=" + Env("KV_PG_PORT") + ";Uid=" + Env("KV_PG_USER") +
                              ";Pwd=" + Env("KV_PG_PASSWORD") + ";Database=" + Env("KV_PG_DATABASE")
                        : "DSN=" + Env("KV_DSN"));
    std::string value;
    if (mode.find("write") != std::string::npos) {
        // "é" is two bytes of UTF-8 and one UTF-16 unit; ASCII one byte and one unit.
        value.reserve(bytes);
        while (value.size() + 2 <= bytes)
            value += mixed ? "\xC3\xA9" : "xx";
        connection.Execute("DELETE FROM value_sink");
    }
    const long long baseline = Status("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";
    if (argc > 4) {
        // An address-space cap this far above what is mapped now.
        const long long cap = Status("VmSize") + (std::stoll(argv[4]) << 20);
        rlimit limit{static_cast<rlim_t>(cap), static_cast<rlim_t>(cap)};
        setrlimit(RLIMIT_AS, &limit);
    }
    std::size_t seen = 0;
    std::string outcome = "ok";
    try {
        if (mode.find("read") != std::string::npos) {
            adodb::Recordset records =
                connection.Execute(postgres && mixed ? "SELECT id, v FROM value_source_mixed"
                                                     : "SELECT id, v FROM value_source");
            while (!records.IsEOF()) {
                seen += records.Fields()[1].Value().Text().size();
                records.MoveNext();
            }
        } else {
            adodb::ArrayInsert insert(connection, "INSERT INTO value_sink VALUES(?, ?)", 2);
            OneValue rows(value);
            const auto result = insert.Execute(rows, 0, 1);
            if (result.error)
                outcome = std::string("error: ") + result.error->what();
            seen = value.size();
        }
    } catch (const std::bad_alloc&) {
        outcome = "bad_alloc";
    } catch (const std::exception& e) {
        outcome = std::string("error: ") + e.what();
    }
    const long long peak = Status("VmHWM");
    std::printf("%s %s: value %.1f MB, peak %.1f MB above idle (%.2f x), now %.1f MB above; %s\n",
                mode.c_str(), mixed ? "mixed" : "ascii", seen / 1e6, (peak - baseline) / 1e6,
                seen ? double(peak - baseline) / double(seen) : 0.0,
                (Status("VmRSS") - baseline) / 1e6, outcome.substr(0, 200).c_str());
    return 0;
}
