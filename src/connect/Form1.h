#pragma once

#include <QWidget>

#include "app/ProgramEnd.h"
#include "engine/connections/ConnectionValues.h"

class QGroupBox;
class QLabel;
class QLineEdit;

namespace korvanta {

class ConnectionChecks;
class Dialogs;
class Form2;
class OperationGuard;
class PushButton;
class SettingsStore;
class WindowPointer;

// The connection window, the program's first page: the PostgreSQL server, port, user,
// password and database, and the ODBC data source name of the SQL Anywhere side, each
// side with "Test Connection" and "Help", and "Next >". Its boxes are the one source of
// connection values for the whole program; every change is stored at once.
class Form1 final : public QWidget, public ConnectionSource {
  public:
    Form1(Dialogs& dialogs, SettingsStore& settings, OperationGuard& guard,
          ConnectionChecks& checks);

    void SetTableWindow(Form2* form2) { form2_ = form2; }
    void SetProgramEnd(ProgramEnd end) { end_ = std::move(end); }

    ConnectionValues CurrentConnectionValues() const override;
    TransferSettings CurrentTransferSettings() const override;

    // Start-up: decoration, caption, icon, title, hand pointer, the six boxes from the
    // store, then both connection checks. Shows the table window when both pass (this
    // window then stays hidden), else shows this window.
    void Form_Load();

    void PushButton1_Click();  // "Test Connection" (SQL Anywhere)
    void PushButton2_Click();  // "Next >"
    void PushButton3_Click();  // "Test Connection" (PostgreSQL)
    void PushButton4_Click();  // "Help" (SQL Anywhere)
    void PushButton5_Click();  // "Help" (PostgreSQL)

    // Each box selects its whole text when it takes the focus.
    void Text1_GotFocus();
    void Text2_GotFocus();
    void Text3_GotFocus();
    void Text4_GotFocus();
    void Text5_GotFocus();
    void Text6_GotFocus();

    // Controls, by their design names. Owned by the window.
    QGroupBox* Frame1;  // "PostgreSQL Database"
    QGroupBox* Frame2;  // "Sybase iAnywhere Database"
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* Text1;  // server
    QLineEdit* Text2;  // port
    QLineEdit* Text3;  // user
    QLineEdit* Text4;  // password, masked
    QLineEdit* Text5;  // database
    QLineEdit* Text6;  // data source name
    PushButton* PushButton1;
    PushButton* PushButton2;
    PushButton* PushButton3;
    PushButton* PushButton4;
    PushButton* PushButton5;
    WindowPointer* Pointer;

  protected:
    void closeEvent(QCloseEvent* event) override;  // Form_Unload: ends the program
    // Focus handlers of the six boxes.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildLayout();
    void ConnectHandlers();
    void SetPointerRules();
    // Busy pointer, the opening, then the outcome as a notice; the pointer stays busy
    // until the notice is closed. Any failure of the opening means "could not connect".
    template <class Open>
    void TestConnection(Open&& open);
    // Runs a click handler unless another operation is running.
    void Guarded(void (Form1::*handler)());

    Dialogs& dialogs_;
    SettingsStore& settings_;
    OperationGuard& guard_;
    ConnectionChecks& checks_;
    Form2* form2_ = nullptr;  // not owning: both windows live for the whole program
    ProgramEnd end_ = [] { EndProgram(); };
    // A box that took the focus by a click: the click itself places the cursor, so the
    // whole text is selected again when the button is released.
    QLineEdit* selectOnRelease_ = nullptr;
};

}  // namespace korvanta
