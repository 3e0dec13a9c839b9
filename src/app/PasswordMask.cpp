#include "app/PasswordMask.h"

#include <QApplication>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyleFactory>

namespace korvanta {

namespace {

// The application's style, except for the password mask of line edits.
class AsteriskMaskStyle final : public QProxyStyle {
  public:
    AsteriskMaskStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void MaskWithAsterisks(QLineEdit& box) {
    auto* style = new AsteriskMaskStyle;
    style->setParent(&box);  // a widget does not own the style it is given
    box.setStyle(style);
    box.setEchoMode(QLineEdit::Password);
}

}  // namespace korvanta
