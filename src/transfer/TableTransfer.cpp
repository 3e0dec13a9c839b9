#include "transfer/TableTransfer.h"

#include <QTimer>

#include <algorithm>
#include <atomic>

#include "app/Dialogs.h"
#include "app/ErrorTrap.h"
#include "app/OffThread.h"
#include "app/ProgressBar.h"
#include "app/TableList.h"
#include "app/WindowPointer.h"
#include "engine/send/NotCarriedReport.h"
#include "engine/send/ReportText.h"
#include "engine/send/TransferRun.h"

namespace korvanta {

namespace {

// The window's side of a send: the engine's listener, doing on the window's thread what
// touches the window, while the engine waits.
class WindowListener final : public TransferListener {
  public:
    WindowListener(const TransferWindow& window, TableList& target, Dialogs& dialogs,
                   ErrorTrap& trap, std::string& statement)
        : window_(window), target_(target), dialogs_(dialogs), trap_(trap), statement_(statement) {}

    bool AskOverwrite(const std::string& table) override {
        bool yes = false;
        OnWindowThread([&] {
            yes = dialogs_.AskYesNo(QString::fromStdString(OverwriteQuestion(table)),
                                    QStringLiteral("Overwrite?"));
        });
        return yes;
    }

    void Failed(int line, const adodb::Error& error, const std::string& statement) override {
        OnWindowThread([&] {
            statement_ = statement;
            trap_.ReportFailure(line, error);
        });
    }

    void Progress(long long done, long long total) override {
        total_ = total;
        done_ = done;
    }

    void TableDropped(const std::string& entry) override {
        OnWindowThread([&] { ListRemoveEntry(target_, QString::fromStdString(entry)); });
    }

    void TableListed(const std::string& entry) override {
        OnWindowThread([&] { target_.Add(QString::fromStdString(entry)); });
    }

    void TableFinished(const TableOutcome& outcome) override {
        if (outcome.skipped)
            return;  // nothing happens for a table the user kept
        notCarried.TableFinished(outcome);
        const long long done = done_.exchange(0);
        const long long total = total_.exchange(-1);
        OnWindowThread([&] {
            ShowProgress(done, total, true);
            window_.pointer.SetMode(WindowPointer::kDefault);
            window_.progress.SetValue(0);
            window_.progress.SetText(QStringLiteral("Progress Bar"));
        });
    }

    // (k + 1) / n * 100 for the rows handled so far; the last row gives 100, a source that
    // grew while it was read stops at 100. Only changes are drawn.
    void ShowProgress(long long handled, long long total, bool last) {
        if (handled <= 0)
            return;
        double value;
        if (total > 0) {
            value =
                std::min(100.0, static_cast<double>(handled) / static_cast<double>(total) * 100.0);
        } else if (last) {
            value = 100.0;
        } else {
            return;
        }
        if (value != window_.progress.Value())
            window_.progress.SetValue(value);
    }
    void ShowProgress() { ShowProgress(done_, total_, false); }

    void ForeignKeyFinished(const std::string& source, const std::string& what,
                            KeyFate fate) override {
        notCarried.ForeignKeyFinished(source, what, fate);
    }

    // What an exact send did not carry, told once the walk is over (on the send's thread
    // while it runs, read after it).
    NotCarriedReport notCarried;

    // Runs the work on the window's thread and waits for it.
    template <class F>
    void OnWindowThread(F&& work) {
        QMetaObject::invokeMethod(&windowThread_, std::forward<F>(work),
                                  Qt::BlockingQueuedConnection);
    }

  private:
    const TransferWindow& window_;
    TableList& target_;
    Dialogs& dialogs_;
    ErrorTrap& trap_;
    std::string& statement_;
    QObject windowThread_;  // lives on the window's thread: calls to it run there
    std::atomic<long long> done_{0};
    std::atomic<long long> total_{-1};
};

}  // namespace

void SendSelectedTables(Side target, const TransferWindow& window, const ConnectionValues& values,
                        const TransferSettings& settings, Dialogs& dialogs) {
    const bool toPostgreSQL = target == Side::PostgreSQL;
    TableList& source = toPostgreSQL ? window.list1 : window.list2;
    TableList& targetList = toPostgreSQL ? window.list2 : window.list1;
    std::string statement;  // the last CREATE TABLE or INSERT built, quoted by the report
    ErrorTrap trap(dialogs, SendLocationText(target), &statement);
    if (source.CurrentIndex() == -1) {
        dialogs.Notice(toPostgreSQL ? QStringLiteral("Please select a table")
                                    : QStringLiteral("Please select a table to send."));
        return;
    }
    window.pointer.SetMode(WindowPointer::kBusy);

    SendRequest request;
    request.target = target;
    request.values = values;
    request.settings = settings;
    for (int index = 0; index < targetList.Count(); ++index)
        request.targetTables.push_back(targetList.Text(index).toStdString());

    WindowListener listener(window, targetList, dialogs, trap, statement);
    // The selection as the click found it: what spans tables (a foreign key taken only with
    // its table) counts on the tables of the click that the walk reaches later.
    for (int index = source.Count() - 1; index >= 0; --index) {
        if (source.Selected(index))
            request.tables.push_back(source.Text(index).toStdString());
    }
    // The source list is walked from its last entry up to the first (the count taken now),
    // and each entry's selection is read when the walk reaches it: the user may select or
    // deselect tables while the run goes on.
    int next = source.Count() - 1;
    request.nextTable = [&](std::string& table) {
        bool found = false;
        listener.OnWindowThread([&] {
            for (; next >= 0 && !found; --next) {
                if (next < source.Count() && source.Selected(next)) {
                    table = source.Text(next).toStdString();
                    found = true;
                }
            }
        });
        return found;
    };
    // The send runs off the window's thread; the progress bar follows it meanwhile.
    QTimer progress;
    progress.setInterval(50);
    QObject::connect(&progress, &QTimer::timeout, [&] { listener.ShowProgress(); });
    progress.start();
    RunOffWindowThread([&] { korvanta::SendTables(request, listener); });
    progress.stop();

    window.pointer.SetMode(WindowPointer::kDefault);
    if (window.progress.Value() != 0) {
        window.progress.SetValue(0);
        window.progress.SetText(QStringLiteral("Progress Bar"));
    }
    if (!listener.notCarried.Empty())
        dialogs.Notice(QString::fromStdString(listener.notCarried.Text()));
}

}  // namespace korvanta
