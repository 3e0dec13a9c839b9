#include "engine/send/ReportText.h"

#include <QLocale>

#include "engine/send/Contact.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

// A report must fit on the screen with its OK button: a rejected row may hold megabytes.
constexpr qsizetype kShownCharacters = 2000;

// The text up to the bound, then how many characters were left out.
QString Bounded(const QString& text) {
    if (text.size() <= kShownCharacters)
        return text;
    qsizetype cut = kShownCharacters;
    // A character of two UTF-16 units stays whole.
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    qsizetype leftOut = 0;
    for (qsizetype i = cut; i < text.size(); ++i) {
        if (!text.at(i).isLowSurrogate() || !text.at(i - 1).isHighSurrogate())
            ++leftOut;
    }
    const QString count = QLocale(QLocale::English, QLocale::UnitedStates).toString(leftOut);
    return text.left(cut) + QStringLiteral("\u2026 (") + count +
           (leftOut == 1 ? QStringLiteral(" more character)")
                         : QStringLiteral(" more characters)"));
}

}  // namespace

QString LocationText(const QString& window, const QString& handler) {
    return QStringLiteral("in Velcastra2021/08/31.") + window + '.' + handler + ' ';
}

QString SendLocationText(Side target) {
    return LocationText(QStringLiteral("Form2"), target == Side::PostgreSQL
                                                     ? QStringLiteral("PushButton3_Click")
                                                     : QStringLiteral("PushButton4_Click"));
}

QString ErrorReportText(const QString& description, const QString& location, int line,
                        const std::string* statement) {
    QString text = Bounded(description) + QStringLiteral("\r\n") + location +
                   QStringLiteral("at line ") + QString::number(line) + QStringLiteral("\r\r") +
                   QStringLiteral("Please email screenshot of this message to ") +
                   QString::fromLatin1(contact::kSupportAddress);
    if (statement != nullptr) {
        text += QStringLiteral("\r\rsql: ") + Bounded(QString::fromStdString(*statement));
    }
    return text;
}

std::string OverwriteQuestion(std::string_view table) {
    return "Would you like to overwrite " + std::string(table) + "?";
}

namespace {

std::string Arrived(std::string_view table, std::string_view how, const CopyCount& count) {
    return "The copy of table " + QuotedName(table) + " stopped" + std::string(how) + ": " +
           std::to_string(count.landed) + " of " +
           (count.counted >= 0 ? std::to_string(count.counted) : std::string("its")) +
           " rows arrived";
}

}  // namespace

std::string StoppedText(std::string_view table, const CopyCount& count) {
    std::string text = Arrived(table, "", count);
    if (count.refused > 0)
        text += ", " + std::to_string(count.refused) + " were refused";
    if (count.uncertain > 0)
        text +=
            ", and whether " + std::to_string(count.uncertain) + " more did could not be learned";
    return text + ".";
}

std::string StoppedAsAskedText(std::string_view table, const CopyCount& count) {
    return Arrived(table, " as asked", count) + ".";
}

}  // namespace korvanta
