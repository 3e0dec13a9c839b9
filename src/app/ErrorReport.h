#pragma once

#include <QString>

#include <string>

#include "engine/send/ReportText.h"

namespace korvanta {

class Dialogs;

// Builds the report and shows it; returns when the user has dismissed it.
void ShowErrorReport(Dialogs& dialogs, const QString& description, const QString& location,
                     int line, const std::string* statement = nullptr);

}  // namespace korvanta
