#pragma once

namespace korvanta {

class WindowPointer;

// Whether the hand-pointer file "HAND-M.CUR" lies in the program's folder.
bool HandPointerFileExists();

// Loads "HAND-M.CUR" from the program's folder as the window's custom pointer picture.
// Raises std::runtime_error ("Invalid picture") when the file is not a picture, so that
// the load handler's error trap reports it.
void LoadHandPointer(WindowPointer& pointer);

}  // namespace korvanta
