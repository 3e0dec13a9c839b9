#include "transfer/StringLiterals.h"

#include <QString>

namespace korvanta {

StringLiterals LiteralsOfDataSource(std::string_view dbmsName) {
    const QString name =
        QString::fromUtf8(dbmsName.data(), static_cast<qsizetype>(dbmsName.size()));
    // SQL Anywhere's drivers name it "SQL Anywhere"; older ones "Adaptive Server Anywhere".
    if (name.contains(QStringLiteral("SQL Anywhere"), Qt::CaseInsensitive) ||
        name.contains(QStringLiteral("Adaptive Server Anywhere"), Qt::CaseInsensitive)) {
        return StringLiterals::kBackslashEscapes;
    }
    return StringLiterals::kStandard;
}

StringLiterals LiteralsOfPostgreSQL(std::string_view standardConformingStrings) {
    return QString::fromUtf8(standardConformingStrings.data(),
                             static_cast<qsizetype>(standardConformingStrings.size()))
                       .trimmed()
                       .compare(QStringLiteral("off"), Qt::CaseInsensitive) == 0
               ? StringLiterals::kEscapeStringSyntax
               : StringLiterals::kStandard;
}

}  // namespace korvanta
