#pragma once

#include <QLineEdit>
#include <QTemporaryDir>

#include "app/OperationGuard.h"
#include "catalog/Form2.h"
#include "connect/Form1.h"
#include "engine/connections/ConnectionChecks.h"
#include "engine/connections/SettingsStore.h"
#include "support/ScriptedDialogs.h"

// Both windows wired as the program wires them, with scripted dialogs and a settings
// store of their own. Nothing is loaded: tests run the handlers they need.
struct Form1Harness {
    Form1Harness()
        : settings(dir.filePath("Quillmere.ini")),
          form1(dialogs, settings, guard, checks),
          form2(dialogs, form1, guard) {
        form1.SetTableWindow(&form2);
        form2.SetConnectionWindow(&form1);
        form1.SetProgramEnd([] {});
        form2.SetProgramEnd([] {});
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    korvanta::SettingsStore settings;
    korvanta::OperationGuard guard;
    korvanta::DatabaseChecks checks;
    korvanta::Form1 form1;
    korvanta::Form2 form2;
};
