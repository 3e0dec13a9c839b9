#pragma once

#include <QRect>

namespace korvanta {

// Window geometry is designed in twips; 15 twips make one pixel at 96 dots per inch.
constexpr int Twips(int twips) {
    return (twips + 7) / 15;
}

inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

}  // namespace korvanta
