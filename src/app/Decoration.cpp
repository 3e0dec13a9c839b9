#include "app/Decoration.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

#include "app/ProgramFolder.h"

namespace korvanta {

namespace {

void SetBackground(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

bool TakesBackground(const QWidget& widget) {
    return qobject_cast<const QGroupBox*>(&widget) || qobject_cast<const QLabel*>(&widget) ||
           qobject_cast<const QCheckBox*>(&widget) || qobject_cast<const QRadioButton*>(&widget);
}

void ColourWindow(QWidget& window, const QColor& colour) {
    SetBackground(window, colour);
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (TakesBackground(*child))
            SetBackground(*child, colour);
    }
}

QColor ButtonFace() {
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

}  // namespace

void ApplySkin(QWidget& form1) {
    const QFileInfo skin(ProgramFolder() + QStringLiteral("/x/o.cjs"));
    if (!skin.isFile())
        return;
    ColourWindow(form1, ButtonFace());
}

void SetButtonFaceColors(QWidget& window) {
    ColourWindow(window, ButtonFace());
}

void SetDesignColors(QWidget& window) {
    ColourWindow(window, Qt::white);
}

}  // namespace korvanta
