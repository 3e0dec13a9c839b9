#pragma once

#include <QFont>
#include <Qt>

class QWidget;

namespace korvanta {

// The look shared by both windows: a fixed border with close and minimise but no
// maximise button, Arial text, and a place in the middle of the screen.
inline constexpr Qt::WindowFlags kFixedWindowFlags =
    Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
    Qt::WindowCloseButtonHint;

QFont ArialFont(double points, bool bold);

// Puts the window, frame included, in the middle of its screen's free area.
void CentreOnScreen(QWidget& window);

}  // namespace korvanta
