#include "app/WindowPointer.h"

#include <QAbstractScrollArea>
#include <QEnterEvent>
#include <QEvent>
#include <QMouseEvent>

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
    QPointF position;
    if (event->type() == QEvent::MouseMove)
        position = static_cast<QMouseEvent*>(event)->position();
    else if (event->type() == QEvent::Enter)
        position = static_cast<QEnterEvent*>(event)->position();
    else
        return false;
    const QVariant rule = watched->property(kRuleProperty);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!rule.isValid() || widget == nullptr)
        return false;
    // A move that a child ignored travels on to its parent; only a move over the
    // widget's own area, not over one of its children, is the widget's.
    if (widget->childAt(position.toPoint()) != nullptr)
        return false;
    Apply(static_cast<Rule>(rule.toInt()));
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
