#include "catalog/Form2.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "app/AppTitle.h"
#include "app/Decoration.h"
#include "app/Dialogs.h"
#include "app/ErrorTrap.h"
#include "app/HandPointer.h"
#include "app/OperationGuard.h"
#include "app/ProgramIcon.h"
#include "app/PushButton.h"
#include "app/TableList.h"
#include "app/Twips.h"
#include "app/WindowLayout.h"
#include "app/WindowPointer.h"
#include "catalog/ListFill.h"
#include "catalog/TableActions.h"
#include "engine/connections/ConnectionValues.h"
#include "engine/send/Contact.h"
#include "transfer/TableTransfer.h"

namespace korvanta {

namespace {
QString Location(const char* handler) {
    return LocationText(QStringLiteral("Form2"), QString::fromLatin1(handler));
}
}  // namespace

Form2::Form2(Dialogs& dialogs, const ConnectionSource& connection, OperationGuard& guard)
    : QWidget(nullptr, kFixedWindowFlags),
      dialogs_(dialogs),
      connection_(connection),
      guard_(guard) {
    BuildLayout();
    ConnectHandlers();
}

void Form2::ConnectHandlers() {
    // A click that would start another operation while one of either window runs is
    // ignored. Select All, Deselect All and Help start none: they work during a run, whose
    // walk reads each entry's selection when it reaches it.
    struct Handler {
        PushButton* button;
        void (Form2::*handler)();
        bool startsOperation;
    };
    const Handler handlers[] = {{PushButton1, &Form2::PushButton1_Click, true},
                                {PushButton2, &Form2::PushButton2_Click, true},
                                {PushButton3, &Form2::PushButton3_Click, true},
                                {PushButton4, &Form2::PushButton4_Click, true},
                                {PushButton5, &Form2::PushButton5_Click, true},
                                {PushButton6, &Form2::PushButton6_Click, true},
                                {PushButton7, &Form2::PushButton7_Click, true},
                                {PushButton8, &Form2::PushButton8_Click, false},
                                {PushButton9, &Form2::PushButton9_Click, false},
                                {PushButton10, &Form2::PushButton10_Click, false},
                                {PushButton11, &Form2::PushButton11_Click, false},
                                {PushButton12, &Form2::PushButton12_Click, false}};
    for (const Handler& h : handlers) {
        connect(h.button, &QPushButton::clicked, this, [this, h] {
            if (h.startsOperation && guard_.Busy())
                return;
            (this->*h.handler)();
        });
    }
}

void Form2::Form_Load() {
    OperationGuard::Scope scope(guard_);
    ErrorTrap trap(dialogs_, Location("Form_Load"));
    trap.Step(100, [&] { SetButtonFaceColors(*this); });
    trap.Step(102, [&] { setWindowIcon(ProgramIcon()); });
    if (trap.Condition(106, [&] { return HandPointerFileExists(); })) {
        trap.Step(108, [&] { LoadHandPointer(*Pointer); });
    }
    trap.Step(110, [&] { setWindowTitle(QString::fromLatin1(kDisplayName)); });
    trap.Step(112, [&] { ListSybaseTables(*List1, connection_.CurrentConnectionValues(), pump_); });
    trap.Step(114,
              [&] { ListPostgreSQLTables(*List2, connection_.CurrentConnectionValues(), pump_); });
    trap.Step(116, [&] {
        FitHeightToBackButton();
        // Centred when it first shows; later loads leave it where the user put it.
        if (!loaded_)
            CentreOnScreen(*this);
    });
    loaded_ = true;
}

void Form2::FitHeightToBackButton() {
    const int outerHeight = PushButton2->y() + PushButton2->height() + Twips(580);
    const int frameHeight = frameGeometry().height() - geometry().height();
    if (height() != outerHeight - frameHeight)
        setFixedHeight(outerHeight - frameHeight);
}

void Form2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (loaded_)
        FitHeightToBackButton();
}

void Form2::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (loaded_)
        FitHeightToBackButton();
}

void Form2::PushButton1_Click() {
    OperationGuard::Scope scope(guard_);
    DeleteSelectedTables({Side::SqlAnywhere, *List1, *Pointer, "PushButton1_Click"},
                         connection_.CurrentConnectionValues(), dialogs_);
}

void Form2::PushButton5_Click() {
    OperationGuard::Scope scope(guard_);
    DeleteSelectedTables({Side::PostgreSQL, *List2, *Pointer, "PushButton5_Click"},
                         connection_.CurrentConnectionValues(), dialogs_);
}

void Form2::PushButton6_Click() {
    OperationGuard::Scope scope(guard_);
    RenameSelectedTable({Side::SqlAnywhere, *List1, *Pointer, "PushButton6_Click"},
                        connection_.CurrentConnectionValues(), dialogs_);
}

void Form2::PushButton7_Click() {
    OperationGuard::Scope scope(guard_);
    RenameSelectedTable({Side::PostgreSQL, *List2, *Pointer, "PushButton7_Click"},
                        connection_.CurrentConnectionValues(), dialogs_);
}

void Form2::PushButton3_Click() {
    OperationGuard::Scope scope(guard_);
    SendSelectedTables(Side::PostgreSQL, TransferWindow{*List1, *List2, *ProgressBar1, *Pointer},
                       connection_.CurrentConnectionValues(), connection_.CurrentTransferSettings(),
                       dialogs_);
}

void Form2::PushButton4_Click() {
    OperationGuard::Scope scope(guard_);
    SendSelectedTables(Side::SqlAnywhere, TransferWindow{*List1, *List2, *ProgressBar1, *Pointer},
                       connection_.CurrentConnectionValues(), connection_.CurrentTransferSettings(),
                       dialogs_);
}

void Form2::SelectEveryEntry(TableList& list, const char* handler, bool selected) {
    ErrorTrap trap(dialogs_, Location(handler));
    int count = 0;
    trap.Step(100, [&] { count = list.Count(); });
    // Every entry at once: entry by entry costs seconds on a list of thousands.
    if (count > 0)
        trap.Step(102, [&] { list.SetAllSelected(selected); });
}

void Form2::PushButton8_Click() {
    SelectEveryEntry(*List2, "PushButton8_Click", true);
}
void Form2::PushButton9_Click() {
    SelectEveryEntry(*List2, "PushButton9_Click", false);
}
void Form2::PushButton10_Click() {
    SelectEveryEntry(*List1, "PushButton10_Click", true);
}
void Form2::PushButton11_Click() {
    SelectEveryEntry(*List1, "PushButton11_Click", false);
}

void Form2::PushButton2_Click() {
    ErrorTrap trap(dialogs_, Location("PushButton2_Click"));
    trap.Step(100, [&] {
        if (form1_ != nullptr)
            form1_->show();
    });
    trap.Step(102, [&] { hide(); });
}

void Form2::PushButton12_Click() {
    ErrorTrap trap(dialogs_, Location("PushButton12_Click"));
    trap.Step(100, [&] {
        dialogs_.Notice(QStringLiteral("Questions? Please contact Team Quillmere at ") +
                        QString::fromLatin1(contact::kContactForm));
    });
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    end_();
}

}  // namespace korvanta
