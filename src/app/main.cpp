#include <QApplication>
#include <QCoreApplication>

#include <clocale>

#include "app/AppTitle.h"
#include "app/MessageBoxDialogs.h"
#include "app/OperationGuard.h"
#include "app/ProgramIcon.h"
#include "catalog/Form2.h"
#include "cli/CommandLine.h"
#include "connect/Form1.h"
#include "engine/ConnectionChecks.h"
#include "engine/SettingsStore.h"

using namespace korvanta;

int main(int argc, char* argv[]) {
    if (argc > 1) {
        // The command line: no window, so no display either.
        QCoreApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        return cli::RunCommandLine(argc, argv);
    }
    QApplication app(argc, argv);
    // Qt takes the user's locale for the C library too; statements and values are
    // always written with "." as the decimal separator, so numbers stay in the C locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QString::fromLatin1(kDisplayName));
    QApplication::setApplicationVersion(QStringLiteral(KV_VERSION));
    QApplication::setWindowIcon(ProgramIcon());  // message boxes show it too

    MessageBoxDialogs dialogs;
    SettingsStore settings;
    OperationGuard guard;
    DatabaseChecks checks;

    // The two windows live for the whole program; closing either one ends it.
    Form1 form1(dialogs, settings, guard, checks);
    Form2 form2(dialogs, form1, guard);
    form1.SetTableWindow(&form2);
    form2.SetConnectionWindow(&form1);

    form1.Form_Load();
    return QApplication::exec();
}
