#pragma once

#include <QString>

namespace korvanta {

// The folder that holds the executable, without a trailing separator.
QString ProgramFolder();

// True when the file's modification time can be read; false on any error.
bool FileExists(const QString& path);

}  // namespace korvanta
