#include "BenchWindow.h"

#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "app/Dialogs.h"
#include "engine/send/ReportText.h"
#include "engine/send/TransferRun.h"

BenchWindow::BenchWindow()
    : list1(new korvanta::TableList(&parent)),
      list2(new korvanta::TableList(&parent)),
      progress(new korvanta::ProgressBar(&parent)),
      pointer(new korvanta::WindowPointer(parent)) {}

namespace {

// Reports as the window words them; every question answered Yes.
class BenchListener final : public korvanta::TransferListener {
  public:
    BenchListener(korvanta::Side target, korvanta::Dialogs& dialogs)
        : target_(target), dialogs_(dialogs) {}
    bool AskOverwrite(const std::string&) override { return true; }
    void Failed(int line, const adodb::Error& error, const std::string& statement) override {
        const std::lock_guard lock(mutex_);
        dialogs_.ErrorReport(korvanta::ErrorReportText(QString::fromUtf8(error.what()),
                                                       korvanta::SendLocationText(target_), line,
                                                       &statement));
    }

  private:
    korvanta::Side target_;
    korvanta::Dialogs& dialogs_;
    std::mutex mutex_;
};

}  // namespace

void BenchSend(korvanta::Side target, const std::string& table,
               const korvanta::ConnectionValues& values, bool oneStatementPerRow,
               korvanta::Dialogs& dialogs, bool exactSchema) {
    korvanta::SendRequest request;
    request.target = target;
    request.tables = {table};
    request.values = values;
    request.settings.oneStatementPerRow = oneStatementPerRow;
    request.settings.exactSchema = exactSchema;
    BenchListener listener(target, dialogs);
    korvanta::SendTables(request, listener);
}

void BenchMerge(korvanta::Side target, const std::string& table,
                const korvanta::ConnectionValues& values, const std::string& since,
                korvanta::Dialogs& dialogs) {
    korvanta::SendRequest request;
    request.target = target;
    request.tables = {table};
    request.targetTables = {table};
    request.values = values;
    request.existing.mode = korvanta::IntoExisting::Mode::kMerge;
    request.existing.since = since;
    BenchListener listener(target, dialogs);
    korvanta::SendTables(request, listener);
}

namespace {
QString Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        throw std::runtime_error(std::string(name) + " is not set: run scripts/bench");
    }
    return QString::fromUtf8(value);
}
}  // namespace

korvanta::ConnectionValues BenchConnectionValues() {
    return {Env("KV_PG_SERVER"),   Env("KV_PG_PORT"),     Env("KV_PG_USER"),
            Env("KV_PG_PASSWORD"), Env("KV_PG_DATABASE"), Env("KV_DSN")};
}
