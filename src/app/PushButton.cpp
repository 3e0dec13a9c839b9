#include "app/PushButton.h"

#include "app/WindowLayout.h"

namespace korvanta {

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setFont(ArialFont(11.25, true));
    setAutoDefault(false);
    // Button text in the system's button-text colour on a white face.
    QPalette palette = this->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Active, QPalette::ButtonText));
    palette.setColor(QPalette::Button, Qt::white);
    setPalette(palette);
}

PushButton::PushButton(const QString& caption, QWidget* parent, const QRect& geometry)
    : PushButton(caption, parent) {
    setGeometry(geometry);
}

}  // namespace korvanta
