#include "app/ProgramIcon.h"

namespace korvanta {

QIcon ProgramIcon() {
    return QIcon();
}

}  // namespace korvanta
