#pragma once

#include <QPushButton>

namespace korvanta {

// The push button of both windows: caption, font and the two colours are set once
// when the window is built; clicks run the window's handler.
class PushButton final : public QPushButton {
  public:
    PushButton(const QString& caption, QWidget* parent);
    PushButton(const QString& caption, QWidget* parent, const QRect& geometry);
};

}  // namespace korvanta
