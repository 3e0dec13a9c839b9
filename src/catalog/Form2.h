#pragma once

#include <QWidget>

#include "app/EventPump.h"
#include "app/ProgramEnd.h"

class QGroupBox;

namespace korvanta {

class ConnectionSource;
class Dialogs;
class OperationGuard;
class ProgressBar;
class PushButton;
class TableList;
class WindowPointer;

// The table window: the SQL Anywhere tables (List1) and the PostgreSQL tables (List2)
// side by side, each with Select All, Deselect All, Send, Delete and Rename; a progress
// bar, "< Back" and "Help" along the bottom.
//
// A click that would start an operation is ignored while one of either window runs (the
// list fills and transfers let window events through); Form_Load, delete, rename and the
// sends mark themselves as running. Select All, Deselect All and Help work all the same.
class Form2 final : public QWidget {
  public:
    Form2(Dialogs& dialogs, const ConnectionSource& connection, OperationGuard& guard);

    // The window that "< Back" shows.
    void SetConnectionWindow(QWidget* form1) { form1_ = form1; }
    void SetProgramEnd(ProgramEnd end) { end_ = std::move(end); }

    // The load routine: colours, icon, hand pointer, caption, both lists read afresh
    // from the databases, the window's height. Callable again on the loaded window;
    // the connection window calls it before every showing.
    void Form_Load();
    bool Loaded() const noexcept { return loaded_; }

    // Click handlers, named after their buttons.
    void PushButton1_Click();   // "Delete Table/s" (SQL Anywhere)
    void PushButton2_Click();   // "< Back"
    void PushButton3_Click();   // "Send Table/s To PostgreSQL"
    void PushButton4_Click();   // "Send Table/s To Sybase iAny"
    void PushButton5_Click();   // "Delete Table/s" (PostgreSQL)
    void PushButton6_Click();   // "Rename Table" (SQL Anywhere)
    void PushButton7_Click();   // "Rename Table" (PostgreSQL)
    void PushButton8_Click();   // "Select All" (PostgreSQL)
    void PushButton9_Click();   // "Deselect All" (PostgreSQL)
    void PushButton10_Click();  // "Select All" (SQL Anywhere)
    void PushButton11_Click();  // "Deselect All" (SQL Anywhere)
    void PushButton12_Click();  // "Help"

    // Controls, by their design names. Owned by the window.
    QGroupBox* Frame1;  // "PostgreSQL Tables"
    QGroupBox* Frame2;  // "Sybase iAnywhere Tables"
    TableList* List1;   // SQL Anywhere tables
    TableList* List2;   // PostgreSQL tables
    PushButton* PushButton1;
    PushButton* PushButton2;
    PushButton* PushButton3;
    PushButton* PushButton4;
    PushButton* PushButton5;
    PushButton* PushButton6;
    PushButton* PushButton7;
    PushButton* PushButton8;
    PushButton* PushButton9;
    PushButton* PushButton10;
    PushButton* PushButton11;
    PushButton* PushButton12;
    ProgressBar* ProgressBar1;
    WindowPointer* Pointer;

  protected:
    void closeEvent(QCloseEvent* event) override;  // Form_Unload: ends the program
    // The window system tells the frame's size only once the window exists or shows;
    // the outer height is kept right then.
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void BuildLayout();  // Form2Layout.cpp
    void SetPointerRules();
    void ConnectHandlers();
    void SelectEveryEntry(TableList& list, const char* handler, bool selected);
    // The outer height (title bar and borders included) becomes the bottom of "< Back"
    // plus 580 twips; the client area takes what the frame leaves.
    void FitHeightToBackButton();

    Dialogs& dialogs_;
    const ConnectionSource& connection_;
    OperationGuard& guard_;
    EventPump pump_;
    QWidget* form1_ = nullptr;  // not owning: both windows live for the whole program
    ProgramEnd end_ = [] { EndProgram(); };
    bool loaded_ = false;
};

}  // namespace korvanta
