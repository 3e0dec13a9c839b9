#include "engine/tables/NameOrder.h"

#include <QLocale>

namespace korvanta {

namespace {
QLocale CollationLocale() {
    const QLocale user = QLocale::system();
    // Under the C locale the collator compares code points: every accented letter would
    // land after "z".
    return user.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : user;
}
}  // namespace

NameOrder::NameOrder() : collator_(CollationLocale()) {
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
}

}  // namespace korvanta
