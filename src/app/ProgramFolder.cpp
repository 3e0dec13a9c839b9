#include "app/ProgramFolder.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>

namespace korvanta {

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath();
}

bool FileExists(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

}  // namespace korvanta
