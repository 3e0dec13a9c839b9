#include "cli/Jobs.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "engine/send/ForeignKeys.h"

namespace korvanta::cli {

namespace {

// The listener of one send: the tables of a send go in order, so the table it is on is
// the first of them without an outcome.
class SendListener final : public TransferListener {
  public:
    SendListener(SendConsole& console, std::vector<std::size_t> indices)
        : console_(console), indices_(std::move(indices)) {
        if (!indices_.empty())
            console_.Started(indices_.front());
    }
    // For a send that takes its tables one at a time: the table it takes next. Called on
    // the send's own thread between tables, when none of its other threads runs.
    explicit SendListener(SendConsole& console) : console_(console) {}
    void Take(std::size_t index) {
        indices_ = {index};
        position_ = 0;
        console_.Started(index);
    }

    bool AskOverwrite(const std::string& table) override {
        return console_.AskOverwrite(Touch(), table);
    }
    void Failed(int line, const adodb::Error& error, const std::string& statement) override {
        console_.Report(Touch(), line, error, statement);
    }
    void Progress(long long done, long long total) override {
        TableState& table = console_.tables()[Touch()];
        table.done = done;
        table.total = total;
    }
    void RowRefused(const RefusedRow& row) override { console_.Refused(row); }
    void TableFinished(const TableOutcome& outcome) override {
        console_.Finished(Touch(), outcome);
        if (++position_ < indices_.size())
            console_.Started(indices_[position_]);
    }
    bool StopRequested() override { return console_.StopRequested(); }
    void SchemaStatement(const std::string& statement) override {
        console_.SchemaStatement(statement);
    }

  private:
    std::size_t Touch() {
        const std::size_t index = indices_[std::min(position_.load(), indices_.size() - 1)];
        console_.tables()[index].touched = true;
        return index;
    }

    SendConsole& console_;
    std::vector<std::size_t> indices_;
    std::atomic<std::size_t> position_{0};
};

// The listener of the foreign keys added once every send has ended: each report and note
// goes with the table the key belongs to.
class ForeignKeyListener final : public TransferListener {
  public:
    explicit ForeignKeyListener(SendConsole& console) : console_(console) {}
    bool AskOverwrite(const std::string&) override { return false; }
    void Failed(int line, const adodb::Error& error, const std::string& statement) override {
        console_.Report(console_.IndexOf(table_), line, error, statement);
    }
    void SchemaStatement(const std::string& statement) override {
        console_.SchemaStatement(statement);
    }
    void ForeignKeyFinished(const std::string& source, const std::string& what,
                            KeyFate fate) override {
        table_ = source;
        console_.ForeignKeyFinished(source, what, fate);
    }

  private:
    SendConsole& console_;
    std::string table_;  // the table of the key last told
};

// One job's work: sends, each over a new pair of connections, until the shared list is
// used up; one that could take no table at all (its connections never opened) ends it.
void Job(SendConsole& console, const SendRequest& base, std::atomic<std::size_t>& next) {
    const std::size_t count = console.tables().size();
    SendListener listener(console);
    for (bool took = true; took && !console.StopRequested();) {
        // The first table is taken before the connections open, so that a failure to open
        // them is that table's.
        const std::size_t first = next++;
        if (first >= count)
            break;
        listener.Take(first);
        took = false;
        SendRequest request = base;
        request.nextTable = [&](std::string& name) {
            if (console.StopRequested())
                return false;
            std::size_t i = first;
            if (took) {
                i = next++;
                if (i >= count)
                    return false;
                listener.Take(i);
            }
            name = console.tables()[i].name;
            took = true;
            return true;
        };
        SendTables(request, listener);
    }
}

}  // namespace

void SendAll(SendConsole& console, const SendRequest& request, int jobs);

void SendWithJobs(SendConsole& console, const SendRequest& request, int jobs) {
    SendAll(console, request, jobs);
    // Foreign keys go in once every table of the send is in.
    if (request.foreignKeys && !console.tables().empty()) {
        ForeignKeyListener listener(console);
        AddForeignKeys(ForeignKeyTargetOf(request), *request.foreignKeys, listener);
    }
}

void SendAll(SendConsole& console, const SendRequest& request, int jobs) {
    const std::size_t count = console.tables().size();
    if (jobs <= 1 || count <= 1) {
        if (count == 0 || console.StopRequested())
            return;
        std::vector<std::size_t> indices(count);
        SendRequest all = request;
        for (std::size_t i = 0; i < count; ++i) {
            indices[i] = i;
            all.tables.push_back(console.tables()[i].name);
        }
        SendListener listener(console, indices);
        SendTables(all, listener);
        return;
    }
    // Every job knows every table of the send: a foreign key written with its table (towards
    // SQLite) may refer to one another job sends later.
    SendRequest shared = request;
    for (const TableState& table : console.tables())
        shared.tables.push_back(table.name);
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    const std::size_t running = std::min(static_cast<std::size_t>(jobs), count);
    for (std::size_t w = 0; w < running; ++w)
        workers.emplace_back([&] { Job(console, shared, next); });
    for (std::thread& worker : workers)
        worker.join();
}

}  // namespace korvanta::cli
