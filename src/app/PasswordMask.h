#pragma once

class QLineEdit;

namespace korvanta {

// Masks the box's text with one "*" per character, each shown as "*" at once, whatever
// mask character or delay the platform's style would use. The box's text is unchanged.
void MaskWithAsterisks(QLineEdit& box);

}  // namespace korvanta
