#include <QApplication>
#include <QCoreApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/AppTitle.h"
#include "app/MessageBoxDialogs.h"
#include "app/OperationGuard.h"
#include "app/ProgramIcon.h"
#include "catalog/Form2.h"
#include "cli/CommandLine.h"
#include "connect/Form1.h"
#include "engine/connections/ConnectionChecks.h"
#include "engine/connections/SettingsStore.h"

using namespace korvanta;

namespace {

constexpr const char* kNoDisplayHint =
    "The command line needs no display: korvanta --help tells how to use it.\n";

// Qt ends the program with an abort when no display can be reached; the user gets a
// sentence and the exit status of a failure instead.
void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "korvanta: the windows cannot be shown. %s", kNoDisplayHint);
        std::fflush(stderr);
        std::_Exit(cli::kExitFailed);
    }
}

// True when some display may be there to show the windows on.
bool DisplayNamed() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 1) {
        // The command line: no window, so no display either.
        QCoreApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        return cli::RunCommandLine(argc, argv);
    }
    if (!DisplayNamed()) {
        std::fprintf(stderr,
                     "korvanta: there is no display to show the windows on (DISPLAY is "
                     "not set). %s",
                     kNoDisplayHint);
        return cli::kExitFailed;
    }
    const QtMessageHandler qtMessages = qInstallMessageHandler(OnQtMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessages);
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
