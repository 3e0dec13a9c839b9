#pragma once

#include <gtest/gtest.h>
#include <QWidget>

#include <string>
#include <vector>

#include "app/EventPump.h"
#include "app/ProgressBar.h"
#include "app/TableList.h"
#include "app/WindowPointer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestDatabases.h"
#include "transfer/TableTransfer.h"

// A table window's lists, progress bar and pointer on an offscreen parent, scripted
// dialogs, and the connection values of the test databases.
class TransferTest : public ::testing::Test {
  protected:
    TransferTest() : values(testdb::connectionValues()) {}

    void Send(korvanta::Side direction) {
        korvanta::SendSelectedTables(direction, {*list1, *list2, *progress, *pointer}, values,
                                     settings, dialogs);
    }

    // Adds an entry, selects it and makes it the list's current entry.
    static void AddSelected(korvanta::TableList& list, const std::string& name) {
        const int index = list.Add(QString::fromStdString(name));
        list.SetSelected(index, true);
        list.SetCurrentIndex(index);
    }

    static std::vector<std::string> sqlite(const std::string& sql) { return testdb::sqlite(sql); }
    static std::string Ident(const std::string& name) { return testdb::quoted(name); }

    static std::vector<std::string> Entries(const korvanta::TableList& list) {
        std::vector<std::string> entries;
        for (int i = 0; i < list.Count(); ++i)
            entries.push_back(list.Text(i).toStdString());
        return entries;
    }

    static bool Contains(const korvanta::TableList& list, const std::string& name) {
        for (int i = 0; i < list.Count(); ++i) {
            if (list.Text(i).toStdString() == name)
                return true;
        }
        return false;
    }

    QWidget parent;
    korvanta::TableList* list1 = new korvanta::TableList(&parent);  // SQL Anywhere tables
    korvanta::TableList* list2 = new korvanta::TableList(&parent);  // PostgreSQL tables
    korvanta::ProgressBar* progress = new korvanta::ProgressBar(&parent);
    korvanta::WindowPointer* pointer = new korvanta::WindowPointer(parent);
    ScriptedDialogs dialogs;
    korvanta::EventPump pump;
    korvanta::ConnectionValues values;
    korvanta::TransferSettings settings;
};
