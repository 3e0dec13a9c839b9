#pragma once

#include <gtest/gtest.h>
#include <QTemporaryDir>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "app/OperationGuard.h"
#include "app/TableList.h"
#include "catalog/Form2.h"
#include "connect/Form1.h"
#include "engine/connections/ConnectionChecks.h"
#include "engine/connections/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestDatabases.h"

namespace robust {

inline std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        throw std::runtime_error(std::string(name) + " is not set: run through scripts/test");
    return value;
}

// Writes the six connection values of the test databases into a settings file.
inline QString StoreTestDatabases(const QString& path) {
    return testdb::storeConnectionValues(path);
}

// Both windows wired as the program wires them, with scripted dialogs, the real
// connection checks and a settings store of their own that holds the test databases.
// Nothing is loaded yet; ending the program is only counted.
struct Program {
    Program()
        : settings(StoreTestDatabases(dir.filePath("Quillmere.ini"))),
          form1(dialogs, settings, guard, checks),
          form2(dialogs, form1, guard) {
        form1.SetTableWindow(&form2);
        form2.SetConnectionWindow(&form1);
        form1.SetProgramEnd([this] { ++ended; });
        form2.SetProgramEnd([this] { ++ended; });
    }

    std::string Reports() const { return dialogs.log().join("\n---\n").toStdString(); }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    korvanta::SettingsStore settings;
    korvanta::OperationGuard guard;
    korvanta::DatabaseChecks checks;
    korvanta::Form1 form1;
    korvanta::Form2 form2;
    int ended = 0;
};

// The index of the entry with exactly this text, or -1.
inline int IndexOf(const korvanta::TableList& list, const std::string& name) {
    for (int i = 0; i < list.Count(); ++i) {
        if (list.Text(i).toStdString() == name)
            return i;
    }
    return -1;
}

// Selects the entry and makes it current, as a Ctrl+click would.
inline void Pick(korvanta::TableList& list, const std::string& name) {
    const int index = IndexOf(list, name);
    ASSERT_GE(index, 0) << name << " is not listed";
    list.SetSelected(index, true);
    list.SetCurrentIndex(index);
}

// A name as the test's own SQL writes it: between double quotes, each one doubled.
inline std::string Ident(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// A text literal: between apostrophes, each one doubled.
inline std::string Literal(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace robust
