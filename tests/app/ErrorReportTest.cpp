#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "app/ErrorReport.h"
#include "app/ErrorTrap.h"
#include "engine/send/Contact.h"
#include "support/ScriptedDialogs.h"

using namespace korvanta;

namespace {
const QString kSupport = QString::fromLatin1(contact::kSupportAddress);
}

TEST(ErrorReport, TextIsDescriptionLocationLineAndSupportRequest) {
    const QString location = LocationText("Form2", "PushButton8_Click");
    EXPECT_EQ(location, "in Velcastra2021/08/31.Form2.PushButton8_Click ");
    EXPECT_EQ(ErrorReportText("Disk full", location, 102),
              "Disk full\r\nin Velcastra2021/08/31.Form2.PushButton8_Click at line 102\r\r"
              "Please email screenshot of this message to " +
                  kSupport);
    // An empty description still leads with CR LF.
    EXPECT_EQ(ErrorReportText("", LocationText("Form1", "Form_Load"), 100),
              "\r\nin Velcastra2021/08/31.Form1.Form_Load at line 100\r\r"
              "Please email screenshot of this message to " +
                  kSupport);
}

TEST(ErrorReport, TransferHandlersQuoteTheStatementEvenWhenEmpty) {
    const std::string none;
    const QString text =
        ErrorReportText("boom", LocationText("Form2", "PushButton3_Click"), 118, &none);
    EXPECT_TRUE(
        text.endsWith("Please email screenshot of this message to " + kSupport + "\r\rsql: "))
        << text.toStdString();
    const std::string insert = "INSERT INTO \"t\" VALUES(1)";
    EXPECT_TRUE(ErrorReportText("boom", "in x ", 282, &insert)
                    .endsWith("\r\rsql: INSERT INTO \"t\" VALUES(1)"));
}

// A rejected row may hold megabytes: the report shows the first 2,000 characters of the
// description and of the statement and says how many more there were.
TEST(ErrorReport, LongDescriptionsAndStatementsEndWithHowMuchWasLeftOut) {
    const QString x2000(2000, 'x');
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");  // two UTF-16 units
    struct Case {
        const char* name;
        QString description;
        QString statement;
        QString shownDescription;
        QString shownStatement;
    };
    const Case cases[] = {
        {"at the bound", x2000, x2000, x2000, x2000},
        {"one over", x2000 + 'd', x2000 + 's', x2000 + QString("… (1 more character)"),
         x2000 + QString("… (1 more character)")},
        {"megabytes", "boom", x2000 + QString(3'000'000, 'y'), "boom",
         x2000 + QString("… (3,000,000 more characters)")},
        {"a character is not split", "boom", QString(1999, 'x') + face + "yy", "boom",
         QString(1999, 'x') + QString("… (3 more characters)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string statement = c.statement.toStdString();
        EXPECT_EQ(ErrorReportText(c.description, "in x ", 7, &statement),
                  c.shownDescription + "\r\nin x at line 7\r\r" +
                      "Please email screenshot of this message to " + kSupport +
                      "\r\rsql: " + c.shownStatement);
    }
}

TEST(ErrorTrap, ReportsEachFailedStepAndCarriesOn) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, LocationText("Form2", "PushButton5_Click"));
    std::vector<int> ran;
    trap.Step(100, [&] { ran.push_back(100); });
    trap.Step(102, [&] { throw std::runtime_error("first"); });
    trap.Step(104, [&] { ran.push_back(104); });
    // A shared procedure failing half-way is reported with the calling step's number.
    auto sharedProcedure = [&] {
        ran.push_back(1);
        throw std::runtime_error("second");
    };
    trap.Step(106, sharedProcedure);
    trap.Step(108, [&] { ran.push_back(108); });

    EXPECT_EQ(ran, (std::vector<int>{100, 104, 1, 108}));
    ASSERT_EQ(dialogs.errorReports().size(), 2u);
    EXPECT_TRUE(dialogs.errorReports()[0].startsWith("first\r\n"));
    EXPECT_TRUE(dialogs.errorReports()[0].contains("PushButton5_Click at line 102\r\r"));
    EXPECT_TRUE(dialogs.errorReports()[1].startsWith("second\r\n"));
    EXPECT_TRUE(dialogs.errorReports()[1].contains("at line 106\r\r"));
    EXPECT_EQ(trap.Reports(), 2);
}

TEST(ErrorTrap, FailedConditionEntersTheBranch) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, "in x ");
    EXPECT_TRUE(trap.Condition(110, []() -> bool { throw std::runtime_error("no"); }));
    EXPECT_FALSE(trap.Condition(112, [] { return false; }));
    EXPECT_EQ(dialogs.errorReports().size(), 1u);
}

TEST(ErrorTrap, TellsWhenTheConnectionWasLost) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, "in x ");
    trap.Step(100, [] { throw adodb::Error("syntax error", "42601"); });
    EXPECT_FALSE(trap.ConnectionLost());
    trap.Step(102, [] { throw adodb::Error("server closed the connection", "08S01"); });
    EXPECT_TRUE(trap.ConnectionLost());
}
