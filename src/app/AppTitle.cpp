#include "app/AppTitle.h"

#include <QApplication>

namespace korvanta {

QString AppTitleFor(const QString& displayName) {
    QString title = displayName;
    while (title.size() > 40) {
        qsizetype blank = title.lastIndexOf(' ');
        title.truncate(blank >= 0 ? blank : 40);
    }
    return title;
}

void SetAppTitle() {
    QApplication::setApplicationName(AppTitleFor(QString::fromLatin1(kDisplayName)));
}

QString AppTitle() {
    return QApplication::applicationName();
}

}  // namespace korvanta
