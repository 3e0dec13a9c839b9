#include "connect/Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

#include <optional>

#include "app/AppTitle.h"
#include "app/Decoration.h"
#include "app/Dialogs.h"
#include "app/ErrorTrap.h"
#include "app/HandPointer.h"
#include "app/OperationGuard.h"
#include "app/PasswordMask.h"
#include "app/ProgramIcon.h"
#include "app/PushButton.h"
#include "app/Twips.h"
#include "app/WindowLayout.h"
#include "app/WindowPointer.h"
#include "catalog/Form2.h"
#include "engine/connections/ConnectionChecks.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/connections/SettingsStore.h"
#include "engine/connections/Sybase.h"

namespace korvanta {

namespace {

QLabel* MakeLabel(const QString& caption, QWidget* parent, QRect geometry) {
    auto* label = new QLabel(caption, parent);
    label->setFont(ArialFont(9, true));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

QLineEdit* MakeBox(QWidget* parent, QRect geometry) {
    auto* box = new QLineEdit(parent);
    box->setFont(ArialFont(9, true));
    box->setGeometry(geometry);
    return box;
}

QString Location(const char* handler) {
    return LocationText(QStringLiteral("Form1"), QString::fromLatin1(handler));
}

// Where pgAdmin is downloaded: the PostgreSQL help sends users who cannot connect there.
constexpr const char* kPgAdminDownloadPage = "https://www.pgadmin.org/download/";

QString PostgreSQLHelpText() {
    return QStringLiteral("If you can not connect, please try downloading pgAdmin III. ") +
           QStringLiteral(
               "If you can not connect with that software, you know the login "
               "information you are providing here is incorrect.") +
           QStringLiteral("\r\n\r\n") + QString::fromLatin1(kPgAdminDownloadPage);
}

// How a user set up the ODBC data source for SQL Anywhere: a heading and nine steps,
// each followed by an empty line.
QString SybaseHelpText() {
    const char* const lines[] = {
        "Here is how I connected to my Sybase database.",
        "1. Downloaded and installed drivers: SQL Anywhere 10 for Windows "
        "(SQLAnywhere_1000_Windows.exe)",
        "2. Applied for a developer key with the database vendor.",
        "3. Clicked to Start > Settings > Control Panel > Administrative Tools > "
        "Data Source (ODBC)",
        "4. Clicked 'Add...' ",
        "5. Selected 'SQL Anywhere 10'",
        "6. Filled in 'Data source name', 'User ID', 'Password', 'Server Name', 'TCP/IP' given "
        "to me by my administrator.",
        "7. Clicked 'Test Connection'.",
        "8. Filled in 'Data Source Name' in my program to be the same as 'Data source name' in "
        "Data Source (ODBC)",
        "9. Clicked 'Test Connection' in my program.",
    };
    QString text;
    for (const char* line : lines)
        text += QString::fromLatin1(line) + QStringLiteral("\r\r");
    return text;
}

}  // namespace

Form1::Form1(Dialogs& dialogs, SettingsStore& settings, OperationGuard& guard,
             ConnectionChecks& checks)
    : QWidget(nullptr, kFixedWindowFlags),
      dialogs_(dialogs),
      settings_(settings),
      guard_(guard),
      checks_(checks) {
    BuildLayout();
    ConnectHandlers();
    SetPointerRules();
    CentreOnScreen(*this);
}

void Form1::BuildLayout() {
    setFont(ArialFont(9, false));
    setFixedSize(Twips(8040), Twips(5175));

    Frame1 = new QGroupBox(QStringLiteral("PostgreSQL Database"), this);
    Frame1->setGeometry(TwipsRect(120, 120, 7800, 2865));
    Frame1->setFont(ArialFont(9, true));
    Label2 = MakeLabel(QStringLiteral("Server:"), Frame1, TwipsRect(240, 405, 1095, 255));
    Text1 = MakeBox(Frame1, TwipsRect(1320, 360, 4095, 330));
    Label3 = MakeLabel(QStringLiteral("Port:"), Frame1, TwipsRect(5640, 405, 495, 255));
    Text2 = MakeBox(Frame1, TwipsRect(6240, 360, 1335, 330));
    Label1 = MakeLabel(QStringLiteral("Username:"), Frame1, TwipsRect(240, 885, 1095, 255));
    Text3 = MakeBox(Frame1, TwipsRect(1320, 840, 6255, 330));
    Label4 = MakeLabel(QStringLiteral("Password:"), Frame1, TwipsRect(240, 1365, 1095, 255));
    Text4 = MakeBox(Frame1, TwipsRect(1320, 1320, 6255, 330));
    MaskWithAsterisks(*Text4);
    Label6 = MakeLabel(QStringLiteral("Database:"), Frame1, TwipsRect(240, 1845, 1095, 255));
    Text5 = MakeBox(Frame1, TwipsRect(1320, 1800, 6255, 330));
    PushButton3 =
        new PushButton(QStringLiteral("Test Connection"), Frame1, TwipsRect(240, 2280, 3600, 405));
    PushButton5 = new PushButton(QStringLiteral("Help"), Frame1, TwipsRect(3960, 2280, 3600, 405));

    Frame2 = new QGroupBox(QStringLiteral("Sybase iAnywhere Database"), this);
    Frame2->setGeometry(TwipsRect(120, 3090, 7800, 1425));
    Frame2->setFont(ArialFont(9, true));
    Label5 = MakeLabel(QStringLiteral("Data Source Name:"), Frame2, TwipsRect(240, 405, 1695, 255));
    Text6 = MakeBox(Frame2, TwipsRect(2040, 360, 5535, 330));
    PushButton1 =
        new PushButton(QStringLiteral("Test Connection"), Frame2, TwipsRect(240, 840, 3615, 405));
    PushButton4 = new PushButton(QStringLiteral("Help"), Frame2, TwipsRect(3960, 840, 3600, 405));

    PushButton2 = new PushButton(QStringLiteral("Next >"), this, TwipsRect(120, 4650, 7800, 405));

    // Focus order: the six boxes, then the buttons of each group, then "Next >".
    QWidget* order[] = {Text1,       Text2,       Text3,       Text4,       Text5,      Text6,
                        PushButton3, PushButton5, PushButton1, PushButton4, PushButton2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    Text1->setFocus();

    SetDesignColors(*this);
    Pointer = new WindowPointer(*this);
}

void Form1::ConnectHandlers() {
    connect(PushButton1, &QPushButton::clicked, this,
            [this] { Guarded(&Form1::PushButton1_Click); });
    connect(PushButton2, &QPushButton::clicked, this,
            [this] { Guarded(&Form1::PushButton2_Click); });
    connect(PushButton3, &QPushButton::clicked, this,
            [this] { Guarded(&Form1::PushButton3_Click); });
    connect(PushButton4, &QPushButton::clicked, this,
            [this] { Guarded(&Form1::PushButton4_Click); });
    connect(PushButton5, &QPushButton::clicked, this,
            [this] { Guarded(&Form1::PushButton5_Click); });

    // Every change of a box, typed or assigned, is stored at once under the box's key.
    const std::pair<QLineEdit*, const char*> stored[] = {
        {Text1, keys::kServer},   {Text2, keys::kPort},     {Text3, keys::kUser},
        {Text4, keys::kPassword}, {Text5, keys::kDatabase}, {Text6, keys::kDataSourceName}};
    for (const auto& [box, key] : stored) {
        connect(box, &QLineEdit::textChanged, this,
                [this, key = QString::fromLatin1(key)](const QString& text) {
                    settings_.Write(key, text);
                });
    }

    for (QLineEdit* box : {Text1, Text2, Text3, Text4, Text5, Text6})
        box->installEventFilter(this);
}

// The pointer over the buttons is the hand, over the background, the frames and most
// boxes the arrow, both only while the window is not busy. Over the password box it is
// always the arrow. The user name box and the labels leave the pointer as it is.
void Form1::SetPointerRules() {
    for (QWidget* button : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5})
        Pointer->AddRule(*button, WindowPointer::Rule::Hand);
    for (QWidget* plain :
         std::initializer_list<QWidget*>{this, Text1, Text2, Text5, Text6, Frame1, Frame2})
        Pointer->AddRule(*plain, WindowPointer::Rule::Default);
    Pointer->AddRule(*Text4, WindowPointer::Rule::ForceDefault);
}

void Form1::Guarded(void (Form1::*handler)()) {
    if (guard_.Busy())
        return;
    OperationGuard::Scope scope(guard_);
    (this->*handler)();
}

ConnectionValues Form1::CurrentConnectionValues() const {
    return {Text1->text(), Text2->text(), Text3->text(),
            Text4->text(), Text5->text(), Text6->text()};
}

TransferSettings Form1::CurrentTransferSettings() const {
    return SavedTransferSettings(settings_);
}

void Form1::Form_Load() {
    OperationGuard::Scope scope(guard_);
    ErrorTrap trap(dialogs_, LocationText(QStringLiteral("Form1"), QStringLiteral("Form_Load")));
    trap.Step(100, [&] { ApplySkin(*this); });
    trap.Step(102, [&] { setWindowTitle(QString::fromLatin1(kDisplayName)); });
    trap.Step(104, [&] { setWindowIcon(ProgramIcon()); });
    trap.Step(106, [&] { SetAppTitle(); });
    if (trap.Condition(108, [&] { return HandPointerFileExists(); })) {
        trap.Step(110, [&] { LoadHandPointer(*Pointer); });
    }
    // One box after the other: each change is written back at once.
    ConnectionValues saved;
    trap.Step(112, [&] {
        saved = SavedConnectionValues(settings_);
        Text1->setText(saved.server);
    });
    trap.Step(114, [&] { Text2->setText(saved.port); });
    trap.Step(116, [&] { Text3->setText(saved.user); });
    trap.Step(118, [&] { Text4->setText(saved.password); });
    trap.Step(120, [&] { Text5->setText(saved.database); });
    trap.Step(122, [&] { Text6->setText(saved.dataSourceName); });

    bool bothConnect = trap.Condition(124, [&] {
        return checks_.PostgreSQL(CurrentConnectionValues());
    }) && trap.Condition(126, [&] { return checks_.Sybase(CurrentConnectionValues()); });
    if (!bothConnect) {
        // The connection window is the first page.
        trap.Step(128, [&] { show(); });
        return;
    }
    // Both connect: the table window is the first page; this window never shows.
    trap.Step(130, [&] {
        if (form2_ != nullptr) {
            if (!form2_->Loaded())
                form2_->Form_Load();
            form2_->show();
        }
    });
    trap.Step(132, [&] { hide(); });
}

void Form1::PushButton2_Click() {
    ErrorTrap trap(dialogs_,
                   LocationText(QStringLiteral("Form1"), QStringLiteral("PushButton2_Click")));
    trap.Step(100, [&] { Pointer->SetMode(WindowPointer::kBusy); });
    const bool bothConnect = trap.Condition(102, [&] {
        return checks_.PostgreSQL(CurrentConnectionValues());
    }) && trap.Condition(104, [&] { return checks_.Sybase(CurrentConnectionValues()); });
    if (bothConnect) {
        trap.Step(106, [&] {
            if (form2_ != nullptr)
                form2_->Form_Load();
        });
        trap.Step(108, [&] {
            if (form2_ != nullptr)
                form2_->show();
        });
        trap.Step(110, [&] { hide(); });
    }
    trap.Step(112, [&] { Pointer->SetMode(WindowPointer::kDefault); });
}

// "Test Connection": only creating the connection object is under the error report;
// from then on every failure is the plain "could not connect" notice.
void Form1::PushButton3_Click() {
    ErrorTrap trap(dialogs_, Location("PushButton3_Click"));
    std::optional<adodb::Connection> connection;
    trap.Step(100, [&] { connection.emplace(); });
    TestConnection([&] { OpenPostgreSQL(connection.value(), CurrentConnectionValues()); });
}

void Form1::PushButton1_Click() {
    ErrorTrap trap(dialogs_, Location("PushButton1_Click"));
    std::optional<adodb::Connection> connection;
    trap.Step(100, [&] { connection.emplace(); });
    TestConnection([&] { OpenSybase(connection.value(), CurrentConnectionValues()); });
}

template <class Open>
void Form1::TestConnection(Open&& open) {
    try {
        Pointer->SetMode(WindowPointer::kBusy);
        open();
        dialogs_.Notice(QStringLiteral("Connection successful."));
    } catch (...) {
        // The reason is not shown: the user's administrator has to look into it.
        dialogs_.Notice(QStringLiteral("Could not connect. Please check with your administrator."));
    }
    Pointer->SetMode(WindowPointer::kDefault);
}

void Form1::PushButton5_Click() {
    ErrorTrap trap(dialogs_, Location("PushButton5_Click"));
    trap.Step(100, [&] { dialogs_.Notice(PostgreSQLHelpText()); });
}

void Form1::PushButton4_Click() {
    ErrorTrap trap(dialogs_, Location("PushButton4_Click"));
    trap.Step(100, [&] { dialogs_.Notice(SybaseHelpText()); });
}

namespace {
void SelectWholeText(QLineEdit& box) {
    box.setSelection(0, static_cast<int>(box.text().size()));
}
}  // namespace

void Form1::Text1_GotFocus() {
    SelectWholeText(*Text1);
}
void Form1::Text2_GotFocus() {
    SelectWholeText(*Text2);
}
void Form1::Text3_GotFocus() {
    SelectWholeText(*Text3);
}
void Form1::Text4_GotFocus() {
    SelectWholeText(*Text4);
}
void Form1::Text5_GotFocus() {
    SelectWholeText(*Text5);
}
void Form1::Text6_GotFocus() {
    SelectWholeText(*Text6);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    const std::pair<QLineEdit*, void (Form1::*)()> boxes[] = {
        {Text1, &Form1::Text1_GotFocus}, {Text2, &Form1::Text2_GotFocus},
        {Text3, &Form1::Text3_GotFocus}, {Text4, &Form1::Text4_GotFocus},
        {Text5, &Form1::Text5_GotFocus}, {Text6, &Form1::Text6_GotFocus}};
    for (const auto& [box, gotFocus] : boxes) {
        if (watched != box)
            continue;
        if (event->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            // Back from a context menu the box keeps the selection the menu worked on.
            if (reason != Qt::PopupFocusReason)
                (this->*gotFocus)();
            selectOnRelease_ = reason == Qt::MouseFocusReason ? box : nullptr;
        } else if (event->type() == QEvent::MouseButtonRelease && selectOnRelease_ == box) {
            selectOnRelease_ = nullptr;
            // A drag that selected part of the text keeps its selection.
            if (!box->hasSelectedText())
                (this->*gotFocus)();
        }
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    end_();
}

}  // namespace korvanta
