#include "app/ErrorReport.h"

#include "app/Dialogs.h"

namespace korvanta {

void ShowErrorReport(Dialogs& dialogs, const QString& description, const QString& location,
                     int line, const std::string* statement) {
    dialogs.ErrorReport(ErrorReportText(description, location, line, statement));
}

}  // namespace korvanta
