#include "app/ProgramIcon.h"

#include <QString>

// The icon pictures live in a resource file compiled into the static library; naming its
// initialiser here makes the linker keep it. It must be called from the global namespace.
static void InitIconResources() {
    Q_INIT_RESOURCE(korvanta);
}

namespace korvanta {

QIcon ProgramIcon() {
    static const bool registered = (InitIconResources(), true);
    Q_UNUSED(registered);
    QIcon icon;
    for (int size : {32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/korvanta/icons/korvanta-%1.png").arg(size),
                     QSize(size, size));
    return icon;
}

}  // namespace korvanta
