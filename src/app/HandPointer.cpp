#include "app/HandPointer.h"

#include <QCursor>
#include <QPixmap>

#include "app/ProgramFolder.h"
#include "app/WindowPointer.h"

namespace korvanta {

namespace {
QString HandPointerPath() {
    return ProgramFolder() + QStringLiteral("/HAND-M.CUR");
}
}  // namespace

bool HandPointerFileExists() {
    return FileExists(HandPointerPath());
}

void LoadHandPointer(WindowPointer& pointer) {
    QPixmap picture(HandPointerPath(), "CUR");
    if (picture.isNull())
        picture = QPixmap(HandPointerPath());
    if (!picture.isNull())
        pointer.SetCustomPicture(QCursor(picture, 0, 0));
}

}  // namespace korvanta
