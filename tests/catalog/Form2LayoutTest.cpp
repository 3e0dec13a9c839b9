// The table window without databases: layout, focus order, pointer rules, colours, and
// the handlers that open no connection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QMouseEvent>

#include "CatalogTestSupport.h"
#include "app/ProgressBar.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"

using korvanta::OperationGuard;
using korvanta::WindowPointer;

namespace {

using Harness = catalogtest::Form2Harness<catalogtest::NoConnection>;

struct Placement {
    const char* name;
    QWidget* widget;
    QWidget* parent;
    QString caption;
    QRect pixels;  // twips / 15, rounded
};

TEST(Form2Layout, ControlsStandWhereTheyBelongWithTheirCaptions) {
    Harness h;
    auto& f = h.form;
    const Placement placements[] = {
        {"Frame2", f.Frame2, &f, "Sybase iAnywhere Tables", {8, 8, 256, 281}},
        {"List1", f.List1, f.Frame2, "", {16, 24, 222, 109}},
        {"PushButton10", f.PushButton10, f.Frame2, "Select All", {16, 144, 107, 27}},
        {"PushButton11", f.PushButton11, f.Frame2, "Deselect All", {131, 144, 107, 27}},
        {"PushButton3", f.PushButton3, f.Frame2, "Send Table/s To PostgreSQL", {16, 176, 222, 27}},
        {"PushButton1", f.PushButton1, f.Frame2, "Delete Table/s", {16, 208, 222, 27}},
        {"PushButton6", f.PushButton6, f.Frame2, "Rename Table", {16, 240, 222, 27}},
        {"Frame1", f.Frame1, &f, "PostgreSQL Tables", {272, 8, 256, 281}},
        {"List2", f.List2, f.Frame1, "", {16, 24, 222, 109}},
        {"PushButton8", f.PushButton8, f.Frame1, "Select All", {16, 144, 107, 27}},
        {"PushButton9", f.PushButton9, f.Frame1, "Deselect All", {131, 144, 107, 27}},
        {"PushButton4", f.PushButton4, f.Frame1, "Send Table/s To Sybase iAny", {16, 176, 222, 27}},
        {"PushButton5", f.PushButton5, f.Frame1, "Delete Table/s", {16, 208, 222, 27}},
        {"PushButton7", f.PushButton7, f.Frame1, "Rename Table", {16, 240, 222, 27}},
        {"ProgressBar1", f.ProgressBar1, &f, "", {8, 297, 520, 27}},
        {"PushButton2", f.PushButton2, &f, "< Back", {8, 332, 256, 27}},
        {"PushButton12", f.PushButton12, &f, "Help", {272, 332, 256, 27}},
    };
    for (const Placement& p : placements) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(p.widget->parentWidget(), p.parent);
        EXPECT_EQ(p.widget->geometry(), p.pixels);
        if (auto* button = qobject_cast<QAbstractButton*>(p.widget)) {
            EXPECT_EQ(button->text(), p.caption);
        } else if (auto* frame = qobject_cast<QGroupBox*>(p.widget)) {
            EXPECT_EQ(frame->title(), p.caption);
        }
    }
    EXPECT_EQ(f.ProgressBar1->Text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(f.ProgressBar1->minimum(), 0);
    EXPECT_EQ(f.ProgressBar1->maximum(), 100);
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_EQ(f.List1->Count(), 0);
    EXPECT_EQ(f.List2->Count(), 0);
}

TEST(Form2Layout, WindowIsFixedWithMinimiseAndCloseButNoMaximise) {
    Harness h;
    auto& f = h.form;
    EXPECT_EQ(f.size(), QSize(536, 368));
    EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "the window must not be resizable";
    const Qt::WindowFlags flags = f.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

TEST(Form2Layout, FontsOfWindowFramesListsAndButtons) {
    Harness h;
    auto& f = h.form;
    for (QWidget* w : {static_cast<QWidget*>(&f), static_cast<QWidget*>(f.Frame1),
                       static_cast<QWidget*>(f.List2)}) {
        EXPECT_EQ(w->font().family(), QStringLiteral("Arial"));
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 9.0);
        EXPECT_TRUE(w->font().bold());
    }
    for (korvanta::PushButton* w : {f.PushButton1, f.PushButton7, f.PushButton12}) {
        EXPECT_EQ(w->font().family(), QStringLiteral("Arial"));
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 11.25);
        EXPECT_TRUE(w->font().bold());
    }
}

TEST(Form2Layout, FocusOrderFollowsTheTabIndexes) {
    Harness h;
    auto& f = h.form;
    const std::vector<QWidget*> expected = {
        f.List1,       f.List2,       f.PushButton10, f.PushButton11, f.PushButton3,
        f.PushButton1, f.PushButton6, f.ProgressBar1, f.PushButton2,  f.PushButton8,
        f.PushButton9, f.PushButton4, f.PushButton5,  f.PushButton7,  f.PushButton12};
    // Walk the window's focus chain from the first list, keeping the controls above.
    std::vector<QWidget*> chain;
    QWidget* w = f.List1;
    do {
        if (std::find(expected.begin(), expected.end(), w) != expected.end())
            chain.push_back(w);
        w = w->nextInFocusChain();
    } while (w != f.List1 && chain.size() < 2 * expected.size());
    EXPECT_EQ(chain, expected);
}

TEST(Form2Layout, WhiteAtDesign) {
    Harness h;
    auto& f = h.form;
    for (QWidget* w : {static_cast<QWidget*>(&f), static_cast<QWidget*>(f.Frame1),
                       static_cast<QWidget*>(f.Frame2)}) {
        EXPECT_EQ(w->palette().color(QPalette::Window), QColor(Qt::white));
        EXPECT_TRUE(w->autoFillBackground());
    }
    EXPECT_EQ(f.Frame1->palette().color(QPalette::WindowText), QColor(Qt::black));
}

// A plain pointer move (no mouse button held) over the middle of the widget, delivered
// the way the window system delivers it.
void MoveOver(QWidget* widget) {
    QWidget* target = widget;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
        target = area->viewport();
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

class Form2Pointer : public testing::Test {
  protected:
    std::vector<QWidget*> Buttons() {
        auto& f = h.form;
        return {f.PushButton1, f.PushButton2,  f.PushButton3,  f.PushButton4,
                f.PushButton5, f.PushButton6,  f.PushButton7,  f.PushButton8,
                f.PushButton9, f.PushButton10, f.PushButton11, f.PushButton12};
    }
    std::vector<QWidget*> Plain() {
        auto& f = h.form;
        return {&f, f.Frame1, f.Frame2, f.List1, f.List2};
    }

    Harness h;
    WindowPointer& pointer = *h.form.Pointer;
};

TEST_F(Form2Pointer, HandOverEveryButton) {
    for (QWidget* button : Buttons()) {
        pointer.SetMode(WindowPointer::kDefault);
        MoveOver(button);
        EXPECT_EQ(pointer.Mode(), WindowPointer::kCustom)
            << static_cast<QAbstractButton*>(button)->text().toStdString();
    }
}

TEST_F(Form2Pointer, ArrowOverBackgroundFramesAndLists) {
    for (QWidget* plain : Plain()) {
        pointer.SetMode(WindowPointer::kCustom);
        MoveOver(plain);
        EXPECT_EQ(pointer.Mode(), WindowPointer::kDefault) << plain->metaObject()->className();
    }
}

TEST_F(Form2Pointer, ProgressBarLeavesTheHandInPlace) {
    MoveOver(h.form.PushButton3);
    ASSERT_EQ(pointer.Mode(), WindowPointer::kCustom);
    MoveOver(h.form.ProgressBar1);
    EXPECT_EQ(pointer.Mode(), WindowPointer::kCustom);
}

TEST_F(Form2Pointer, BusyStaysBusyEverywhere) {
    pointer.SetMode(WindowPointer::kBusy);
    for (QWidget* w : Buttons())
        MoveOver(w);
    for (QWidget* w : Plain())
        MoveOver(w);
    MoveOver(h.form.ProgressBar1);
    EXPECT_EQ(pointer.Mode(), WindowPointer::kBusy);
}

TEST(Form2Handlers, SelectAllAndDeselectAllWorkOnTheirOwnList) {
    Harness h;
    auto& f = h.form;
    for (const char* name : {"c", "a", "b"})
        f.List1->Add(QString::fromLatin1(name));
    for (const char* name : {"x", "y"})
        f.List2->Add(QString::fromLatin1(name));

    f.PushButton10->click();  // Select All, SQL Anywhere
    EXPECT_EQ(f.List1->SelectedCount(), 3);
    EXPECT_EQ(f.List1->CurrentIndex(), 2) << "the last entry is current";
    EXPECT_EQ(f.List2->SelectedCount(), 0);
    EXPECT_EQ(f.List2->CurrentIndex(), -1);
    f.PushButton8->click();  // Select All, PostgreSQL
    EXPECT_EQ(f.List2->SelectedCount(), 2);
    f.PushButton11->click();  // Deselect All, SQL Anywhere
    EXPECT_EQ(f.List1->SelectedCount(), 0);
    EXPECT_EQ(f.List1->CurrentIndex(), 2) << "deselecting leaves the current entry";
    EXPECT_EQ(f.List2->SelectedCount(), 2);
    f.PushButton9->click();  // Deselect All, PostgreSQL
    EXPECT_EQ(f.List2->SelectedCount(), 0);
    EXPECT_TRUE(h.dialogs.log().isEmpty());
    EXPECT_EQ(h.form.Pointer->Mode(), WindowPointer::kDefault);
}

TEST(Form2Handlers, HelpNamesTheContactForm) {
    Harness h;
    h.form.PushButton12->click();
    ASSERT_EQ(h.dialogs.notices().size(), 1);
    EXPECT_EQ(h.dialogs.notices()[0], QStringLiteral("Questions? Please contact Team Quillmere at "
                                                     "https://www.quillmere.example/contact"));
}

TEST(Form2Handlers, BackShowsTheConnectionWindowAndHidesThisOne) {
    Harness h;
    QWidget form1;
    h.form.SetConnectionWindow(&form1);
    h.form.show();
    h.form.List2->Add(QStringLiteral("kept"));
    h.form.PushButton2->click();
    EXPECT_TRUE(form1.isVisible());
    EXPECT_FALSE(h.form.isVisible());
    EXPECT_EQ(h.form.List2->Count(), 1) << "the lists stay as they are";
    EXPECT_EQ(h.programEnds, 0);
}

TEST(Form2Handlers, ClosingTheWindowEndsTheProgram) {
    Harness h;
    h.form.show();
    h.form.close();
    EXPECT_EQ(h.programEnds, 1);
}

// While an operation runs, a click that would start another is ignored; Select All,
// Deselect All and Help start none, and work.
TEST(Form2Handlers, OnlyClicksThatStartAnOperationAreIgnoredWhileOneRuns) {
    Harness h;
    auto& f = h.form;
    f.List1->Add(QStringLiteral("a"));
    {
        OperationGuard::Scope running(h.guard);
        f.PushButton1->click();  // Delete Table/s
        f.PushButton7->click();  // Rename Table
        f.PushButton2->click();  // < Back
        EXPECT_TRUE(h.dialogs.log().isEmpty());
        f.PushButton10->click();  // Select All
        EXPECT_EQ(f.List1->SelectedCount(), 1);
        f.PushButton11->click();  // Deselect All
        EXPECT_EQ(f.List1->SelectedCount(), 0);
        f.PushButton12->click();  // Help
        EXPECT_EQ(h.dialogs.notices().size(), 1);
    }
    const auto said = h.dialogs.log().size();
    f.PushButton1->click();
    EXPECT_GT(h.dialogs.log().size(), said) << "once it ended, Delete works again";
}

}  // namespace
