#include "app/WindowPointer.h"

#include <QAbstractScrollArea>
#include <QEvent>

namespace korvanta {

namespace {
const char* const kRuleProperty = "korvantaHoverRule";
}

WindowPointer::WindowPointer(QWidget& window) : QObject(&window), window_(&window) {}

void WindowPointer::SetMode(int mode) {
    mode_ = mode;
    if (window_ == nullptr)
        return;
    switch (mode) {
        case kBusy:
            window_->setCursor(Qt::WaitCursor);
            break;
        case kCustom:
            window_->setCursor(custom_);
            break;
        default:
            window_->unsetCursor();
            break;
    }
}

void WindowPointer::SetCustomPicture(const QCursor& cursor) {
    custom_ = cursor;
    if (mode_ == kCustom)
        SetMode(kCustom);
}

void WindowPointer::AddRule(QWidget& widget, Rule rule) {
    QWidget* target = &widget;
    // Lists and other scroll areas receive the mouse on their viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(&widget))
        target = area->viewport();
    target->setMouseTracking(true);
    target->setProperty(kRuleProperty, static_cast<int>(rule));
    target->installEventFilter(this);
}

bool WindowPointer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        QVariant rule = watched->property(kRuleProperty);
        if (rule.isValid())
            Apply(static_cast<Rule>(rule.toInt()));
    }
    return false;
}

void WindowPointer::Apply(Rule rule) {
    switch (rule) {
        case Rule::Hand:
            if (mode_ != kBusy)
                SetMode(kCustom);
            break;
        case Rule::Default:
            if (mode_ != kBusy)
                SetMode(kDefault);
            break;
        case Rule::ForceDefault:
            SetMode(kDefault);
            break;
    }
}

}  // namespace korvanta
