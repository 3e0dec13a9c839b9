#include "cli/Summary.h"
#include "cli/Words.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/NameText.h"
#include "engine/send/NotCarriedReport.h"

namespace korvanta::cli {

namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double Rate(long long rows, double seconds) {
    return seconds > 0 ? static_cast<double>(rows) / seconds : 0.0;
}

// Columns line up by characters, not bytes.
std::size_t DisplayWidth(const std::string& text) {
    return static_cast<std::size_t>(QString::fromStdString(text).size());
}

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Kept to so many decimals, as a JSON number.
double Rounded(double value, double perUnit) {
    return std::round(value * perUnit) / perUnit;
}

// The lines under a table's: what a merge did with its rows, how a resume went on, and what
// of its schema was not carried.
std::string Under(const SummaryLine& line) {
    const TableOutcome& o = line.outcome;
    std::string out;
    if (o.into == Into::kMerge)
        out += "  merged: " + std::to_string(o.inserted) + " inserted, " +
               std::to_string(o.updated) + " updated, " + std::to_string(o.unchanged) +
               " unchanged" +
               (o.deleted >= 0 ? "; " + std::to_string(o.keysCompared) + " keys compared, " +
                                     std::to_string(o.deleted) + " deleted"
                               : std::string()) +
               "\n";
    if (o.resumedAfter >= 0)
        out += "  resumed: went on after the " + std::to_string(o.resumedAfter) +
               " rows the target held, which are as the stopped send read them (a change the "
               "source made to them since is not carried)\n";
    if (o.restarted)
        out += "  resumed: sent again from its start (no integer key to go on from)\n";
    if (!o.notVerified.empty())
        out += "  not verified: " + o.notVerified + "\n";
    for (const std::string& item : o.notCarried)
        out += NotCarriedLine(item) + "\n";
    return out;
}

}  // namespace

std::string_view StatusWord(TableStatus status) {
    switch (status) {
        case TableStatus::kOk:
            return "ok";
        case TableStatus::kRefused:
            return "refused";
        case TableStatus::kSkipped:
            return "skipped";
        case TableStatus::kStopped:
            return "stopped";
        case TableStatus::kFailed:
            return "failed";
        case TableStatus::kVerifyFailed:
            return "verify-failed";
        case TableStatus::kNotStarted:
            return "not-started";
        case TableStatus::kPlanned:
            return "planned";
        case TableStatus::kIncomplete:
            return "incomplete";
        case TableStatus::kDoneBefore:
            return "done-before";
    }
    return "failed";
}

std::string Summary::Text() const {
    std::vector<std::vector<std::string>> cells = {
        {"table", "read", "landed", "refused", "seconds", "rows/s", "status"}};
    long long landed = 0, refused = 0;
    for (const SummaryLine& l : lines) {
        cells.push_back({NameForLine(l.table), std::to_string(l.Read()),
                         std::to_string(l.outcome.landed), std::to_string(l.outcome.refused),
                         Fixed(l.outcome.seconds, 2),
                         std::to_string(static_cast<long long>(Rate(l.Read(), l.outcome.seconds))),
                         std::string(StatusWord(l.status))});
        landed += l.outcome.landed;
        refused += l.outcome.refused;
    }
    cells.push_back({"total", std::to_string(landed + refused), std::to_string(landed),
                     std::to_string(refused), Fixed(seconds, 2),
                     std::to_string(static_cast<long long>(Rate(landed + refused, seconds))),
                     "exit " + std::to_string(exitStatus)});
    std::vector<std::size_t> widths(cells[0].size(), 0);
    for (const auto& row : cells) {
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    std::string out;
    for (std::size_t r = 0; r < cells.size(); ++r) {
        const auto& row = cells[r];
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::size_t pad = widths[c] - DisplayWidth(row[c]);
            // Names and the status to the left, numbers to the right.
            const bool left = c == 0 || c + 1 == row.size();
            if (!left)
                out.append(pad, ' ');
            out += row[c];
            if (left && c + 1 < row.size())
                out.append(pad, ' ');
            if (c + 1 < row.size())
                out += "  ";
        }
        out += '\n';
        if (r >= 1 && r <= lines.size())
            out += Under(lines[r - 1]);
    }
    return out;
}

std::string Summary::CommentText() const {
    std::string out;
    const std::string text = Text();
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        out += "-- " + text.substr(start, end - start) + "\n";
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return out;
}

std::string Summary::Json() const {
    QJsonArray tables;
    long long landed = 0, refused = 0;
    for (const SummaryLine& l : lines) {
        QJsonObject table;
        table["table"] = Utf8(l.table);
        table["read"] = l.Read();
        table["landed"] = l.outcome.landed;
        table["refused"] = l.outcome.refused;
        table["counted"] = l.outcome.counted >= 0 ? QJsonValue(l.outcome.counted) : QJsonValue();
        table["seconds"] = Rounded(l.outcome.seconds, 1000);
        table["rows_per_second"] = Rounded(Rate(l.Read(), l.outcome.seconds), 10);
        table["status"] = QString::fromLatin1(StatusWord(l.status).data(),
                                              static_cast<qsizetype>(StatusWord(l.status).size()));
        if (const std::string target = l.Target(); !target.empty())
            table["target"] = Utf8(target);
        if (l.outcome.resumedAfter >= 0)
            table["resumed_after"] = l.outcome.resumedAfter;
        if (l.outcome.restarted)
            table["restarted"] = true;
        if (l.outcome.into != Into::kNone)
            table["into"] = QString::fromLatin1(IntoWord(l.outcome.into));
        if (!l.outcome.notVerified.empty())
            table["not_verified"] = Utf8(l.outcome.notVerified);
        if (!l.outcome.oneByOne.empty())
            table["one_insert_per_row"] = Utf8(l.outcome.oneByOne);
        if (l.outcome.into == Into::kMerge) {
            table["inserted"] = l.outcome.inserted;
            table["updated"] = l.outcome.updated;
            table["unchanged"] = l.outcome.unchanged;
            if (l.outcome.deleted >= 0) {
                table["keys_compared"] = l.outcome.keysCompared;
                table["deleted"] = l.outcome.deleted;
            }
        }
        if (!l.outcome.carried.empty() || !l.outcome.notCarried.empty()) {
            QJsonArray carried, notCarried;
            for (const std::string& item : l.outcome.carried)
                carried.append(Utf8(item));
            for (const std::string& item : l.outcome.notCarried)
                notCarried.append(Utf8(item));
            table["carried"] = carried;
            table["not_carried"] = notCarried;
        }
        tables.append(table);
        landed += l.outcome.landed;
        refused += l.outcome.refused;
    }
    QJsonObject totals;
    totals["read"] = landed + refused;
    totals["landed"] = landed;
    totals["refused"] = refused;
    totals["seconds"] = Rounded(seconds, 1000);
    QJsonObject summary;
    summary["tables"] = tables;
    summary["totals"] = totals;
    summary["interrupted"] = interrupted;
    summary["reject_file_lost"] = rejectFileLost;
    summary["exit_status"] = exitStatus;
    return QJsonDocument(summary).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace korvanta::cli
