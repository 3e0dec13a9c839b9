#pragma once

#include <QProgressBar>

namespace korvanta {

// The table window's progress bar: range 0 to 100, a floating value, and a text of
// its own that it shows on the bar ("Progress Bar" at rest).
class ProgressBar final : public QProgressBar {
    Q_OBJECT
  public:
    explicit ProgressBar(QWidget* parent);

    double Value() const noexcept { return value_; }
    void SetValue(double value);
    QString Text() const { return text_; }
    void SetText(const QString& text);

  signals:
    void ValueSet(double value);

  private:
    double value_ = 0;
    QString text_ = QStringLiteral("Progress Bar");
};

}  // namespace korvanta
