#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <mutex>
#include <string>
#include <vector>

#include "engine/send/ReportText.h"
#include "engine/send/TransferRun.h"
#include "support/TestDatabases.h"

// The engine's send driven as a front end drives it, no window: its reports in the words
// of the error report, on the test databases.
class SendReports final : public korvanta::TransferListener {
  public:
    explicit SendReports(korvanta::Side target) : target_(target) {}

    bool AskOverwrite(const std::string&) override { return false; }
    void Failed(int line, const adodb::Error& error, const std::string& statement) override {
        std::lock_guard lock(mutex_);
        reports.append(korvanta::ErrorReportText(QString::fromUtf8(error.what()),
                                                 korvanta::SendLocationText(target_), line,
                                                 &statement));
    }

    QStringList reports;

  private:
    korvanta::Side target_;
    std::mutex mutex_;
};

class EngineSendTest : public ::testing::Test {
  protected:
    EngineSendTest() : values(testdb::connectionValues()) {}

    // Sends one table towards the target; returns the reports.
    QStringList Send(korvanta::Side target, const std::string& table) {
        korvanta::SendRequest request;
        request.target = target;
        request.tables = {table};
        request.values = values;
        request.settings = settings;
        SendReports reports(target);
        korvanta::SendTables(request, reports);
        return reports.reports;
    }

    static std::vector<std::string> sqlite(const std::string& sql) { return testdb::sqlite(sql); }
    static std::string Ident(const std::string& name) { return testdb::quoted(name); }

    korvanta::ConnectionValues values;
    korvanta::TransferSettings settings;
};
