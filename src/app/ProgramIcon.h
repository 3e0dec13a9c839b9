#pragma once

#include <QIcon>

namespace korvanta {

// The program icon that both windows show, built into the binary: one picture in four
// sizes, 32x32 without alpha channel, 48x48, 128x128 and 256x256 with one.
QIcon ProgramIcon();

}  // namespace korvanta
