#include "app/ProgressBar.h"

#include <algorithm>
#include <cmath>

namespace korvanta {

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    setFormat(text_);
}

void ProgressBar::SetValue(double value) {
    value_ = value;
    const int percent = static_cast<int>(std::lround(std::clamp(value, 0.0, 100.0)));
    // Repainting for every row of a large table costs more than the row; only a visible
    // step is drawn.
    if (percent != QProgressBar::value())
        setValue(percent);
    emit ValueSet(value);
}

void ProgressBar::SetText(const QString& text) {
    text_ = text;
    setFormat(text);
}

}  // namespace korvanta
