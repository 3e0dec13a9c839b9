#pragma once

class QWidget;

namespace korvanta {

// The skin step of the connection window: when the skin file "x/o.cjs" lies in the
// program's folder, the window and its frames and labels take the button-face colour;
// without it they keep their white design colour. There is no skin engine: the file
// only switches the colours.
void ApplySkin(QWidget& form1);

// The window, and each of its frames, labels, check boxes and option buttons, take the
// button-face colour.
void SetButtonFaceColors(QWidget& window);

// Design colour of both windows and their frames and labels: white.
void SetDesignColors(QWidget& window);

}  // namespace korvanta
