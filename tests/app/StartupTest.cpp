#include <gtest/gtest.h>

#include <QEvent>
#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>

#include "app/OperationGuard.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"
#include "catalog/Form2.h"
#include "connect/Form1.h"
#include "engine/connections/ConnectionChecks.h"
#include "engine/connections/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestDatabases.h"

using namespace korvanta;

namespace {

// The real checks, counted.
class CountingChecks final : public ConnectionChecks {
  public:
    bool PostgreSQL(const ConnectionValues& values) override {
        ++postgreSQL;
        return real.PostgreSQL(values);
    }
    bool Sybase(const ConnectionValues& values) override {
        ++sybase;
        return real.Sybase(values);
    }
    int postgreSQL = 0;
    int sybase = 0;

  private:
    DatabaseChecks real;
};

// Counts how often a window was put on screen.
class ShowCounter final : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show)
            ++shown;
        return false;
    }
    int shown = 0;
};

struct Program {
    explicit Program(const QString& settingsPath)
        : settings(settingsPath),
          form1(dialogs, settings, guard, checks),
          form2(dialogs, form1, guard) {
        form1.SetTableWindow(&form2);
        form2.SetConnectionWindow(&form1);
        form1.SetProgramEnd([this] { ++ended; });
        form2.SetProgramEnd([this] { ++ended; });
        form1.installEventFilter(&form1Shows);
    }
    ScriptedDialogs dialogs;
    SettingsStore settings;
    OperationGuard guard;
    CountingChecks checks;
    Form1 form1;
    Form2 form2;
    ShowCounter form1Shows;
    int ended = 0;
};

void StoreTestDatabases(const QString& path) {
    testdb::storeConnectionValues(path);
}

}  // namespace

TEST(Startup, FirstStartShowsDefaultsStoresThemAndStaysOnTheConnectionPage) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quillmere.ini");
    Program program(path);
    program.form1.Form_Load();

    EXPECT_EQ(program.form1.Text1->text(), "localhost");
    EXPECT_EQ(program.form1.Text2->text(), "5432");
    for (QLineEdit* box :
         {program.form1.Text3, program.form1.Text4, program.form1.Text5, program.form1.Text6}) {
        EXPECT_EQ(box->text(), "");
    }
    EXPECT_TRUE(program.form1.isVisible());
    EXPECT_FALSE(program.form2.isVisible());
    EXPECT_TRUE(program.dialogs.log().isEmpty());

    SettingsStore reread(path);
    EXPECT_EQ(reread.Read(keys::kServer), "localhost");
    EXPECT_EQ(reread.Read(keys::kPort), "5432");
}

TEST(Startup, LandsOnTheTableWindowWithoutEverShowingTheConnectionWindow) {
    QTemporaryDir dir;
    StoreTestDatabases(dir.filePath("Quillmere.ini"));
    Program program(dir.filePath("Quillmere.ini"));
    program.form1.Form_Load();

    EXPECT_TRUE(program.form2.isVisible());
    EXPECT_FALSE(program.form1.isVisible());
    EXPECT_EQ(program.form1Shows.shown, 0);
    EXPECT_EQ(program.checks.postgreSQL, 1);
    EXPECT_EQ(program.checks.sybase, 1);
    EXPECT_EQ(QString::fromStdString(testdb::dsn()), program.form1.Text6->text());

    // "< Back" shows the connection window with the stored values.
    program.form2.PushButton2_Click();
    EXPECT_TRUE(program.form1.isVisible());
    EXPECT_FALSE(program.form2.isVisible());
    EXPECT_EQ(program.form1.Text5->text().toStdString(), testdb::pg().database);

    // Closing either window ends the program.
    program.form1.close();
    EXPECT_EQ(program.ended, 1);
}

TEST(Startup, UnreachablePostgreSQLSkipsTheSybaseCheck) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quillmere.ini");
    StoreTestDatabases(path);
    SettingsStore(path).Write(keys::kPort, "1");  // nothing listens there
    Program program(path);
    program.form1.Form_Load();

    EXPECT_EQ(program.checks.postgreSQL, 1);
    EXPECT_EQ(program.checks.sybase, 0);
    EXPECT_TRUE(program.form1.isVisible());
    EXPECT_FALSE(program.form2.isVisible());
}

TEST(Startup, NextWithAWrongPasswordKeepsPageAndBoxesAndResetsThePointer) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quillmere.ini");
    StoreTestDatabases(path);
    SettingsStore(path).Write(keys::kPassword, "wrong;password}");
    Program program(path);
    program.form1.Form_Load();
    ASSERT_TRUE(program.form1.isVisible());

    const ConnectionValues before = program.form1.CurrentConnectionValues();
    program.form1.PushButton2->click();
    EXPECT_TRUE(program.form1.isVisible());
    EXPECT_FALSE(program.form2.isVisible());
    EXPECT_EQ(program.form1.Pointer->Mode(), WindowPointer::kDefault);
    EXPECT_EQ(program.form1.CurrentConnectionValues().password, before.password);
    EXPECT_EQ(program.checks.sybase, 0);
    EXPECT_TRUE(program.dialogs.log().isEmpty());

    // Mending the password in the box is enough: "Next >" reads the boxes as they are now.
    program.form1.Text4->setText(QString::fromStdString(testdb::pg().password));
    program.form1.PushButton2->click();
    EXPECT_TRUE(program.form2.isVisible());
    EXPECT_FALSE(program.form1.isVisible());
    EXPECT_EQ(SettingsStore(path).Read(keys::kPassword).toStdString(), testdb::pg().password);
}
