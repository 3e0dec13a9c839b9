#pragma once

#include <QString>

#include <exception>
#include <string>
#include <utility>

#include "adodb/Error.h"
#include "app/ErrorReport.h"

namespace korvanta {

// The error trap of a handler. Each numbered statement runs as a step; a step that
// fails shows the error report with the step's line number and the handler goes on
// with its next step, as if nothing had happened. A failure inside a shared procedure
// called by a step is reported with that step's number. The trap stays armed for the
// whole handler, so one run can show several reports.
class ErrorTrap {
  public:
    // statement: the transfer's statement buffer, quoted at the end of each report.
    ErrorTrap(Dialogs& dialogs, QString location, const std::string* statement = nullptr)
        : dialogs_(dialogs), location_(std::move(location)), statement_(statement) {}

    // Runs the step; true when it completed, false when it failed and was reported.
    template <class F>
    bool Step(int line, F&& step) {
        line_ = line;
        try {
            std::forward<F>(step)();
            return true;
        } catch (const std::exception& e) {
            Report(e);
        } catch (...) {
            ReportText(QStringLiteral("Unknown error"));
        }
        return false;
    }

    // A branch condition: its value, or true when evaluating it failed, so that the
    // branch's body runs after the report.
    template <class F>
    bool Condition(int line, F&& condition) {
        bool result = true;
        Step(line, [&] { result = std::forward<F>(condition)(); });
        return result;
    }

    // Reports a failure that happened elsewhere (on another thread) as the failure of the
    // step at the given line.
    void ReportFailure(int line, const std::exception& e) {
        line_ = line;
        Report(e);
    }

    int Reports() const noexcept { return reports_; }
    // The last reported failure told that the connection to a database is gone.
    bool ConnectionLost() const noexcept { return connectionLost_; }

  private:
    void Report(const std::exception& e) {
        const auto* dbError = dynamic_cast<const adodb::Error*>(&e);
        connectionLost_ = dbError != nullptr && dbError->connectionLost();
        ReportText(QString::fromUtf8(e.what()));
    }
    void ReportText(const QString& description) {
        ++reports_;
        ShowErrorReport(dialogs_, description, location_, line_, statement_);
    }

    Dialogs& dialogs_;
    QString location_;
    const std::string* statement_;
    int line_ = 0;
    int reports_ = 0;
    bool connectionLost_ = false;
};

}  // namespace korvanta
