#include "BenchWindow.h"

#include <cstdlib>
#include <stdexcept>

BenchWindow::BenchWindow()
    : list1(new korvanta::TableList(&parent)),
      list2(new korvanta::TableList(&parent)),
      progress(new korvanta::ProgressBar(&parent)),
      pointer(new korvanta::WindowPointer(parent)) {}

void BenchWindow::Send(korvanta::Side direction, const QString& table,
                       const korvanta::ConnectionValues& values, korvanta::Dialogs& dialogs) {
    korvanta::TableList& source = direction == korvanta::Side::PostgreSQL ? *list1 : *list2;
    source.Clear();
    const int index = source.Add(table);
    source.SetSelected(index, true);
    source.SetCurrentIndex(index);
    korvanta::SendTables(direction, {*list1, *list2, *progress, *pointer}, values,
                         korvanta::TransferSettings{oneStatementPerRow}, dialogs, pump);
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
