#pragma once

#include <QCursor>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace korvanta {

// The mouse pointer of one window: 0 default (the arrow), 11 busy (the hourglass),
// 99 custom (the window's hand picture, or the arrow when it has none).
class WindowPointer final : public QObject {
  public:
    static constexpr int kDefault = 0;
    static constexpr int kBusy = 11;
    static constexpr int kCustom = 99;

    explicit WindowPointer(QWidget& window);

    int Mode() const noexcept { return mode_; }
    void SetMode(int mode);
    void SetCustomPicture(const QCursor& cursor);

    // Hover rules: moving the pointer over a control sets the window's mode.
    enum class Rule {
        Hand,          // 99 unless the window is busy
        Default,       // 0 unless the window is busy
        ForceDefault,  // 0 even when busy (the password box)
    };
    // Applies the rule whenever the pointer moves over the widget (or its viewport).
    void AddRule(QWidget& widget, Rule rule);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Apply(Rule rule);

    QPointer<QWidget> window_;
    QCursor custom_{Qt::ArrowCursor};
    int mode_ = kDefault;
};

}  // namespace korvanta
