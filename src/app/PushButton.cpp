#include "app/PushButton.h"

#include <QFont>

namespace korvanta {

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setWeight(QFont::Bold);
    setFont(font);
    setAutoDefault(false);
    // Button text in the system's button-text colour on a white face.
    QPalette palette = this->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Active, QPalette::ButtonText));
    palette.setColor(QPalette::Button, Qt::white);
    setPalette(palette);
}

}  // namespace korvanta
