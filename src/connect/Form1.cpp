#include "connect/Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

#include "app/AppTitle.h"
#include "app/Decoration.h"
#include "app/ErrorTrap.h"
#include "app/HandPointer.h"
#include "app/OperationGuard.h"
#include "app/ProgramIcon.h"
#include "app/PushButton.h"
#include "app/SettingsStore.h"
#include "app/Twips.h"
#include "app/WindowPointer.h"
#include "catalog/Form2.h"
#include "connect/ConnectionChecks.h"

namespace korvanta {

namespace {

QFont ArialFont(double points, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

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

PushButton* MakeButton(const QString& caption, QWidget* parent, QRect geometry) {
    auto* button = new PushButton(caption, parent);
    button->setGeometry(geometry);
    return button;
}

}  // namespace

Form1::Form1(Dialogs& dialogs, SettingsStore& settings, OperationGuard& guard,
             ConnectionChecks& checks)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      settings_(settings),
      guard_(guard),
      checks_(checks) {
    BuildLayout();
    ConnectHandlers();
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
    Text4->setEchoMode(QLineEdit::Password);
    Label6 = MakeLabel(QStringLiteral("Database:"), Frame1, TwipsRect(240, 1845, 1095, 255));
    Text5 = MakeBox(Frame1, TwipsRect(1320, 1800, 6255, 330));
    PushButton3 =
        MakeButton(QStringLiteral("Test Connection"), Frame1, TwipsRect(240, 2280, 3600, 405));
    PushButton5 = MakeButton(QStringLiteral("Help"), Frame1, TwipsRect(3960, 2280, 3600, 405));

    Frame2 = new QGroupBox(QStringLiteral("Sybase iAnywhere Database"), this);
    Frame2->setGeometry(TwipsRect(120, 3090, 7800, 1425));
    Frame2->setFont(ArialFont(9, true));
    Label5 = MakeLabel(QStringLiteral("Data Source Name:"), Frame2, TwipsRect(240, 405, 1695, 255));
    Text6 = MakeBox(Frame2, TwipsRect(2040, 360, 5535, 330));
    PushButton1 =
        MakeButton(QStringLiteral("Test Connection"), Frame2, TwipsRect(240, 840, 3615, 405));
    PushButton4 = MakeButton(QStringLiteral("Help"), Frame2, TwipsRect(3960, 840, 3600, 405));

    PushButton2 = MakeButton(QStringLiteral("Next >"), this, TwipsRect(120, 4650, 7800, 405));

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
    trap.Step(112, [&] { Text1->setText(settings_.Read(keys::kServer, keys::kServerDefault)); });
    trap.Step(114, [&] { Text2->setText(settings_.Read(keys::kPort, keys::kPortDefault)); });
    trap.Step(116, [&] { Text3->setText(settings_.Read(keys::kUser)); });
    trap.Step(118, [&] { Text4->setText(settings_.Read(keys::kPassword)); });
    trap.Step(120, [&] { Text5->setText(settings_.Read(keys::kDatabase)); });
    trap.Step(122, [&] { Text6->setText(settings_.Read(keys::kDataSourceName)); });

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

// The test and help buttons.
void Form1::PushButton1_Click() {}
void Form1::PushButton3_Click() {}
void Form1::PushButton4_Click() {}
void Form1::PushButton5_Click() {}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    end_();
}

}  // namespace korvanta
