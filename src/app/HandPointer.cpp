#include "app/HandPointer.h"

#include <QCursor>
#include <QPixmap>

#include <stdexcept>

#include "app/CursorFile.h"
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
    const std::optional<CursorPicture> picture = ReadCursorFile(HandPointerPath());
    if (!picture)
        throw std::runtime_error("Invalid picture");
    pointer.SetCustomPicture(
        QCursor(QPixmap::fromImage(picture->image), picture->hotSpot.x(), picture->hotSpot.y()));
}

}  // namespace korvanta
