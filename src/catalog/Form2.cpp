#include "catalog/Form2.h"

#include <QCloseEvent>
#include <QGroupBox>

#include "app/OperationGuard.h"
#include "app/ProgressBar.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"
#include "catalog/TableList.h"

namespace korvanta {

// Placeholder layout; the full layout and handlers are built on top of this.
Form2::Form2(Dialogs& dialogs, const ConnectionSource& connection, OperationGuard& guard)
    : dialogs_(dialogs), connection_(connection), guard_(guard) {
    Frame1 = new QGroupBox(QStringLiteral("PostgreSQL Tables"), this);
    Frame2 = new QGroupBox(QStringLiteral("Sybase iAnywhere Tables"), this);
    List1 = new TableList(Frame2);
    List2 = new TableList(Frame1);
    PushButton1 = new PushButton(QStringLiteral("Delete Table/s"), Frame2);
    PushButton2 = new PushButton(QStringLiteral("< Back"), this);
    PushButton3 = new PushButton(QStringLiteral("Send Table/s To PostgreSQL"), Frame2);
    PushButton4 = new PushButton(QStringLiteral("Send Table/s To Sybase iAny"), Frame1);
    PushButton5 = new PushButton(QStringLiteral("Delete Table/s"), Frame1);
    PushButton6 = new PushButton(QStringLiteral("Rename Table"), Frame2);
    PushButton7 = new PushButton(QStringLiteral("Rename Table"), Frame1);
    PushButton8 = new PushButton(QStringLiteral("Select All"), Frame1);
    PushButton9 = new PushButton(QStringLiteral("Deselect All"), Frame1);
    PushButton10 = new PushButton(QStringLiteral("Select All"), Frame2);
    PushButton11 = new PushButton(QStringLiteral("Deselect All"), Frame2);
    PushButton12 = new PushButton(QStringLiteral("Help"), this);
    ProgressBar1 = new ProgressBar(this);
    Pointer = new WindowPointer(*this);
    connect(PushButton2, &QPushButton::clicked, this, [this] {
        if (!guard_.Busy()) PushButton2_Click();
    });
}

void Form2::Form_Load() { loaded_ = true; }

void Form2::PushButton2_Click() {
    if (form1_ != nullptr) form1_->show();
    hide();
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    end_();
}

}  // namespace korvanta
