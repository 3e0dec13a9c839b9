#pragma once

namespace korvanta {

class WindowPointer;

// Loads "HAND-M.CUR" from the program's folder, when it is there, as the window's
// custom pointer picture. A missing or unreadable file changes nothing.
void LoadHandPointer(WindowPointer& pointer);

// Whether the hand-pointer file lies in the program's folder.
bool HandPointerFileExists();

}  // namespace korvanta
