#pragma once

#include <QIcon>

namespace korvanta {

// The program icon that both windows show, built into the binary.
QIcon ProgramIcon();

}  // namespace korvanta
