#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <vector>

#include "Form1Harness.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"

using namespace korvanta;

namespace {

// Shows the window and makes it the active one, as when the program opens it.
void Open(Form1& form1) {
    form1.show();
    form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form1));
}

std::vector<QWidget*> Boxes(Form1& form1) {
    return {form1.Text1, form1.Text2, form1.Text3, form1.Text4, form1.Text5, form1.Text6};
}

void FillBoxes(Form1& form1) {
    const char* values[] = {"db.example", "5433", "alice", "pa ss", "sales", "SalesDsn"};
    int i = 0;
    for (QWidget* box : Boxes(form1))
        static_cast<QLineEdit*>(box)->setText(QString::fromLatin1(values[i++]));
}

// A point of the widget where none of its children lies.
QPoint BareSpot(const QWidget& widget) {
    for (int y = 1; y < widget.height(); y += 2) {
        for (int x = 1; x < widget.width(); x += 2) {
            if (widget.childAt(x, y) == nullptr)
                return {x, y};
        }
    }
    ADD_FAILURE() << "no bare spot on " << widget.objectName().toStdString();
    return {};
}

// The pointer moves over the widget, no button pressed, as the window system reports it.
void MoveOver(QWidget& widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}
void MoveOver(QWidget& widget) {
    MoveOver(widget, BareSpot(widget));
}

}  // namespace

TEST(Form1Layout, FixedSizeWithMinimiseButNoMaximiseCentredOnTheScreen) {
    Form1Harness h;
    const QSize client(536, 345);  // 8040 x 5175 twips
    EXPECT_EQ(h.form1.minimumSize(), client);
    EXPECT_EQ(h.form1.maximumSize(), client);
    const Qt::WindowFlags flags = h.form1.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

    h.form1.show();
    const QRect screen = h.form1.screen()->availableGeometry();
    const QRect frame = h.form1.frameGeometry();
    // The window frame is only known once the window is on screen, so the window may sit
    // off centre by the frame's width.
    const int slackX = frame.width() - h.form1.width() + 1;
    const int slackY = frame.height() - h.form1.height() + 1;
    EXPECT_LE(std::abs((frame.left() - screen.left()) - (screen.right() - frame.right())), slackX)
        << frame.left() << ".." << frame.right() << " of " << screen.width();
    EXPECT_LE(std::abs((frame.top() - screen.top()) - (screen.bottom() - frame.bottom())), slackY)
        << frame.top() << ".." << frame.bottom() << " of " << screen.height();
}

TEST(Form1Layout, FontsByKindOfControl) {
    Form1Harness h;
    struct Expected {
        QWidget* widget;
        double points;
        bool bold;
    };
    const Expected expected[] = {
        {&h.form1, 9, false},
        {h.form1.Frame1, 9, true},
        {h.form1.Frame2, 9, true},
        {h.form1.Label1, 9, true},
        {h.form1.Label2, 9, true},
        {h.form1.Label3, 9, true},
        {h.form1.Label4, 9, true},
        {h.form1.Label5, 9, true},
        {h.form1.Label6, 9, true},
        {h.form1.Text1, 9, true},
        {h.form1.Text2, 9, true},
        {h.form1.Text3, 9, true},
        {h.form1.Text4, 9, true},
        {h.form1.Text5, 9, true},
        {h.form1.Text6, 9, true},
        {h.form1.PushButton1, 11.25, true},
        {h.form1.PushButton2, 11.25, true},
        {h.form1.PushButton3, 11.25, true},
        {h.form1.PushButton4, 11.25, true},
        {h.form1.PushButton5, 11.25, true},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.widget->metaObject()->className());
        const QFont font = e.widget->font();
        EXPECT_EQ(font.family(), "Arial");
        EXPECT_DOUBLE_EQ(font.pointSizeF(), e.points);
        EXPECT_EQ(font.weight(), e.bold ? QFont::Bold : QFont::Normal);
        EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut());
    }
}

TEST(Form1Layout, WhiteDesignColoursAndButtonTextInTheSystemColour) {
    Form1Harness h;
    const QColor buttonText = QApplication::palette().color(QPalette::Active, QPalette::ButtonText);
    for (QWidget* white : std::initializer_list<QWidget*>{
             &h.form1, h.form1.Frame1, h.form1.Frame2, h.form1.Label1, h.form1.Label2,
             h.form1.Label3, h.form1.Label4, h.form1.Label5, h.form1.Label6}) {
        SCOPED_TRACE(white->metaObject()->className());
        EXPECT_EQ(white->palette().color(QPalette::Window), QColor(Qt::white));
        EXPECT_TRUE(white->autoFillBackground());
    }
    for (QWidget* button : std::initializer_list<QWidget*>{h.form1.PushButton1, h.form1.PushButton2,
                                                           h.form1.PushButton3, h.form1.PushButton4,
                                                           h.form1.PushButton5}) {
        EXPECT_EQ(button->palette().color(QPalette::Button), QColor(Qt::white));
        EXPECT_EQ(button->palette().color(QPalette::ButtonText), buttonText);
    }
}

// Labels may reach under the box they name (their text is short); nothing else overlaps.
TEST(Form1Layout, ControlsLieInsideTheirContainerWithoutOverlapping) {
    Form1Harness h;
    for (QWidget* container :
         std::initializer_list<QWidget*>{&h.form1, h.form1.Frame1, h.form1.Frame2}) {
        std::vector<QWidget*> children;
        for (QObject* child : container->children()) {
            if (auto* widget = qobject_cast<QWidget*>(child))
                children.push_back(widget);
        }
        for (size_t i = 0; i < children.size(); ++i) {
            EXPECT_TRUE(container->rect().contains(children[i]->geometry()))
                << children[i]->metaObject()->className();
            for (size_t j = i + 1; j < children.size(); ++j) {
                if (qobject_cast<QLabel*>(children[i]) || qobject_cast<QLabel*>(children[j]))
                    continue;
                EXPECT_FALSE(children[i]->geometry().intersects(children[j]->geometry()))
                    << children[i]->metaObject()->className() << " and "
                    << children[j]->metaObject()->className();
            }
        }
    }
}

TEST(Form1Focus, ChainVisitsTheSixBoxesThenTheButtonsOfEachGroupThenNext) {
    Form1Harness h;
    Form1& f = h.form1;
    const std::vector<QWidget*> expected = {
        f.Text1,       f.Text2,       f.Text3,       f.Text4,       f.Text5,       f.Text6,
        f.PushButton3, f.PushButton5, f.PushButton1, f.PushButton4, f.PushButton2, f.Text1};
    std::vector<QWidget*> visited = {f.Text1};
    for (QWidget* w = f.Text1->nextInFocusChain(); visited.size() < expected.size();
         w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus)
            visited.push_back(w);
    }
    EXPECT_EQ(visited, expected);
}

TEST(Form1Focus, OpeningAndTabbingSelectTheWholeTextOfEachBox) {
    Form1Harness h;
    FillBoxes(h.form1);
    h.form1.Text1->setCursorPosition(2);  // no selection before the window opens
    Open(h.form1);
    ASSERT_EQ(QApplication::focusWidget(), h.form1.Text1);
    EXPECT_EQ(h.form1.Text1->selectedText(), "db.example");

    for (QWidget* box : Boxes(h.form1)) {
        auto* edit = static_cast<QLineEdit*>(box);
        ASSERT_EQ(QApplication::focusWidget(), edit);
        EXPECT_EQ(edit->selectionStart(), 0);
        EXPECT_EQ(edit->selectedText(), edit->text());
        EXPECT_EQ(edit->selectionLength(), edit->text().size());
        QTest::keyClick(edit, Qt::Key_Tab);
    }
    // The six boxes come before any button.
    EXPECT_EQ(QApplication::focusWidget(), h.form1.PushButton3);

    // Shift+Tab back into the data source box selects it again.
    h.form1.Text6->deselect();
    QTest::keyClick(h.form1.PushButton3, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), h.form1.Text6);
    EXPECT_EQ(h.form1.Text6->selectedText(), "SalesDsn");

    // Typing replaces the selected old value.
    QTest::keyClicks(h.form1.Text6, "Other");
    EXPECT_EQ(h.form1.Text6->text(), "Other");
}

TEST(Form1Focus, AClickIntoABoxSelectsItsWholeTextAClickInsideItPlacesTheCursor) {
    Form1Harness h;
    FillBoxes(h.form1);
    Open(h.form1);
    QTest::mouseClick(h.form1.Text5, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    ASSERT_EQ(QApplication::focusWidget(), h.form1.Text5);
    EXPECT_EQ(h.form1.Text5->selectedText(), "sales");

    // The box already has the focus: the click is an ordinary one.
    QTest::mouseClick(h.form1.Text5, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(h.form1.Text5->hasSelectedText());

    // Focus given by the program selects as well.
    h.form1.Text3->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(h.form1.Text3->selectedText(), "alice");
}

TEST(Form1Password, OneAsteriskPerCharacterWhileTheTextHoldsWhatWasTyped) {
    Form1Harness h;
    Open(h.form1);
    h.form1.Text4->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(h.form1.Text4, "s3 cr;t=");
    QTest::sendKeyEvent(QTest::Click, h.form1.Text4, Qt::Key_unknown, QStringLiteral("ü"),
                        Qt::NoModifier);
    EXPECT_EQ(h.form1.Text4->text(), QStringLiteral("s3 cr;t=ü"));
    EXPECT_EQ(h.form1.Text4->displayText(), QString(9, u'*'));
    EXPECT_EQ(h.settings.Read(keys::kPassword), QStringLiteral("s3 cr;t=ü"));

    // Only the password box masks its text.
    for (QWidget* box : Boxes(h.form1)) {
        auto* edit = static_cast<QLineEdit*>(box);
        edit->setText("abc");
        EXPECT_EQ(edit->displayText(), edit == h.form1.Text4 ? "***" : "abc");
    }
}

TEST(Form1Help, PostgreSQLHelpNamesPgAdminThenTheDownloadPageOnALineOfItsOwn) {
    Form1Harness h;
    h.form1.PushButton5->click();
    ASSERT_EQ(h.dialogs.log().size(), 1);
    ASSERT_EQ(h.dialogs.notices().size(), 1);
    EXPECT_EQ(h.dialogs.notices()[0].toStdString(),
              "If you can not connect, please try downloading pgAdmin III. If you can not "
              "connect with that software, you know the login information you are providing "
              "here is incorrect.\r\n\r\nhttps://www.pgadmin.org/download/");
}

TEST(Form1Help, SqlAnywhereHelpIsTenLinesEachFollowedByTwoCarriageReturns) {
    Form1Harness h;
    h.form1.PushButton4->click();
    ASSERT_EQ(h.dialogs.log().size(), 1);
    ASSERT_EQ(h.dialogs.notices().size(), 1);
    const QString text = h.dialogs.notices()[0];
    EXPECT_FALSE(text.contains(u'\n'));
    ASSERT_TRUE(text.endsWith("\r\r"));
    const QStringList lines = text.chopped(2).split("\r\r");
    ASSERT_EQ(lines.size(), 10) << text.toStdString();

    const QString fixed[] = {
        "Here is how I connected to my Sybase database.",
        "1. Downloaded and installed drivers: SQL Anywhere 10 for Windows "
        "(SQLAnywhere_1000_Windows.exe)",
        QString(),  // the developer key, checked below
        "3. Clicked to Start > Settings > Control Panel > Administrative Tools > Data Source "
        "(ODBC)",
        "4. Clicked 'Add...' ",
        "5. Selected 'SQL Anywhere 10'",
        "6. Filled in 'Data source name', 'User ID', 'Password', 'Server Name', 'TCP/IP' given "
        "to me by my administrator.",
        "7. Clicked 'Test Connection'.",
        "8. Filled in 'Data Source Name' in my program to be the same as 'Data source name' in "
        "Data Source (ODBC)",
        "9. Clicked 'Test Connection' in my program.",
    };
    for (int i = 0; i < 10; ++i) {
        if (i != 2) {
            EXPECT_EQ(lines[i].toStdString(), fixed[i].toStdString()) << "line " << i + 1;
        }
    }
    const QString key = lines[2];
    EXPECT_TRUE(key.startsWith("2. ")) << key.toStdString();
    EXPECT_TRUE(key.contains("developer key")) << key.toStdString();
    EXPECT_TRUE(key.contains("vendor")) << key.toStdString();
    for (const char* address : {"@", "http", "www.", ".com"})
        EXPECT_FALSE(key.contains(address)) << key.toStdString();
    EXPECT_FALSE(key.contains(u'\r'));
}

TEST(Form1Pointer, HandOverButtonsArrowElsewhereUserNameAndLabelsChangeNothing) {
    Form1Harness h;
    Form1& f = h.form1;
    WindowPointer& pointer = *f.Pointer;
    ASSERT_EQ(pointer.Mode(), WindowPointer::kDefault);

    for (PushButton* button :
         {f.PushButton1, f.PushButton2, f.PushButton3, f.PushButton4, f.PushButton5}) {
        pointer.SetMode(WindowPointer::kDefault);
        MoveOver(*button);
        EXPECT_EQ(pointer.Mode(), WindowPointer::kCustom) << button->text().toStdString();
    }
    // From the hand, the user name box and the labels leave the hand in place.
    for (QWidget* unhandled : std::initializer_list<QWidget*>{f.Text3, f.Label1, f.Label2, f.Label3,
                                                              f.Label4, f.Label5, f.Label6}) {
        pointer.SetMode(WindowPointer::kCustom);
        MoveOver(*unhandled);
        EXPECT_EQ(pointer.Mode(), WindowPointer::kCustom) << unhandled->metaObject()->className();
    }
    // Background, frames and the other boxes turn it back to the arrow.
    for (QWidget* plain : std::initializer_list<QWidget*>{&f, f.Frame1, f.Frame2, f.Text1, f.Text2,
                                                          f.Text4, f.Text5, f.Text6}) {
        pointer.SetMode(WindowPointer::kCustom);
        MoveOver(*plain);
        EXPECT_EQ(pointer.Mode(), WindowPointer::kDefault) << plain->metaObject()->className();
    }
    EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor);
}

TEST(Form1Pointer, AMoveOverAButtonInAFrameIsNotTakenForTheFrameBackground) {
    Form1Harness h;
    Form1& f = h.form1;
    // Buttons ignore plain moves, so Qt passes them on to the frame and then the window.
    MoveOver(*f.PushButton3, f.PushButton3->rect().center());
    EXPECT_EQ(f.Pointer->Mode(), WindowPointer::kCustom);
    MoveOver(*f.PushButton2, f.PushButton2->rect().center());
    EXPECT_EQ(f.Pointer->Mode(), WindowPointer::kCustom);
}

TEST(Form1Pointer, WhileBusyOnlyThePasswordBoxReplacesTheHourglass) {
    Form1Harness h;
    Form1& f = h.form1;
    WindowPointer& pointer = *f.Pointer;
    pointer.SetMode(WindowPointer::kBusy);
    EXPECT_EQ(f.cursor().shape(), Qt::WaitCursor);

    for (QWidget* widget : std::initializer_list<QWidget*>{
             f.PushButton1, f.PushButton2, f.PushButton3, f.PushButton4, f.PushButton5, &f,
             f.Frame1, f.Frame2, f.Text1, f.Text2, f.Text3, f.Text5, f.Text6, f.Label4}) {
        MoveOver(*widget);
        EXPECT_EQ(pointer.Mode(), WindowPointer::kBusy) << widget->metaObject()->className();
    }
    EXPECT_EQ(f.cursor().shape(), Qt::WaitCursor);

    MoveOver(*f.PushButton3);
    MoveOver(*f.Text4);
    EXPECT_EQ(pointer.Mode(), WindowPointer::kDefault);
    EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor);
}
