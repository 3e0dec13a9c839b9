#pragma once

#include <QString>

namespace korvanta {

inline constexpr const char* kDisplayName = "Korvanta";

// The application title made from a display name: while longer than 40 characters,
// it is cut just before its last blank. A name with no blank left is cut at 40.
QString AppTitleFor(const QString& displayName);

// Sets the application title (the caption of every message box and input box without
// a caption of its own) from the product display name. It is kept as the application
// name: a display name set in Qt would be appended to every window's caption on X11.
void SetAppTitle();

// The application title that SetAppTitle set.
QString AppTitle();

}  // namespace korvanta
