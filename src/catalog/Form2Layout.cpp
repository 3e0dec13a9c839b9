#include <QGroupBox>

#include "app/Decoration.h"
#include "app/ProgressBar.h"
#include "app/PushButton.h"
#include "app/TableList.h"
#include "app/Twips.h"
#include "app/WindowLayout.h"
#include "app/WindowPointer.h"
#include "catalog/Form2.h"

namespace korvanta {

namespace {

QGroupBox* MakeFrame(const QString& caption, QWidget* parent, QRect geometry) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setGeometry(geometry);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    frame->setPalette(palette);
    return frame;
}

TableList* MakeList(QWidget* parent, QRect geometry) {
    auto* list = new TableList(parent);
    list->setGeometry(geometry);
    return list;
}

}  // namespace

void Form2::BuildLayout() {
    setFont(ArialFont(9, true));
    setFixedSize(Twips(8040), Twips(5520));

    // The SQL Anywhere side on the left; its buttons stand 2 twips higher than their
    // twins on the right.
    Frame2 =
        MakeFrame(QStringLiteral("Sybase iAnywhere Tables"), this, TwipsRect(120, 120, 3840, 4215));
    List1 = MakeList(Frame2, TwipsRect(240, 360, 3330, 1635));
    PushButton10 =
        new PushButton(QStringLiteral("Select All"), Frame2, TwipsRect(240, 2158, 1600, 405));
    PushButton11 =
        new PushButton(QStringLiteral("Deselect All"), Frame2, TwipsRect(1960, 2158, 1600, 405));
    PushButton3 = new PushButton(QStringLiteral("Send Table/s To PostgreSQL"), Frame2,
                                 TwipsRect(240, 2638, 3330, 405));
    PushButton1 =
        new PushButton(QStringLiteral("Delete Table/s"), Frame2, TwipsRect(240, 3118, 3330, 405));
    PushButton6 =
        new PushButton(QStringLiteral("Rename Table"), Frame2, TwipsRect(240, 3600, 3330, 405));

    Frame1 = MakeFrame(QStringLiteral("PostgreSQL Tables"), this, TwipsRect(4080, 120, 3840, 4215));
    List2 = MakeList(Frame1, TwipsRect(240, 360, 3330, 1635));
    PushButton8 =
        new PushButton(QStringLiteral("Select All"), Frame1, TwipsRect(240, 2160, 1600, 405));
    PushButton9 =
        new PushButton(QStringLiteral("Deselect All"), Frame1, TwipsRect(1960, 2160, 1600, 405));
    PushButton4 = new PushButton(QStringLiteral("Send Table/s To Sybase iAny"), Frame1,
                                 TwipsRect(240, 2640, 3330, 405));
    PushButton5 =
        new PushButton(QStringLiteral("Delete Table/s"), Frame1, TwipsRect(240, 3120, 3330, 405));
    PushButton7 =
        new PushButton(QStringLiteral("Rename Table"), Frame1, TwipsRect(240, 3600, 3330, 405));

    ProgressBar1 = new ProgressBar(this);
    ProgressBar1->setGeometry(TwipsRect(120, 4460, 7800, 405));
    QPalette bar = ProgressBar1->palette();
    const QColor buttonText = bar.color(QPalette::Active, QPalette::ButtonText);
    bar.setColor(QPalette::Text, buttonText);
    bar.setColor(QPalette::WindowText, buttonText);
    bar.setColor(QPalette::Base, Qt::white);
    bar.setColor(QPalette::Window, Qt::white);
    ProgressBar1->setPalette(bar);

    PushButton2 = new PushButton(QStringLiteral("< Back"), this, TwipsRect(120, 4980, 3840, 405));
    PushButton12 = new PushButton(QStringLiteral("Help"), this, TwipsRect(4080, 4980, 3840, 405));

    // Focus order: both lists, the SQL Anywhere buttons, the progress bar, "< Back",
    // the PostgreSQL buttons, "Help".
    QWidget* const order[] = {List1,       List2,       PushButton10, PushButton11, PushButton3,
                              PushButton1, PushButton6, ProgressBar1, PushButton2,  PushButton8,
                              PushButton9, PushButton4, PushButton5,  PushButton7,  PushButton12};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    // White at design; the load routine turns the window and its frames to the
    // button-face colour.
    SetDesignColors(*this);
    Pointer = new WindowPointer(*this);
    SetPointerRules();
}

void Form2::SetPointerRules() {
    // The hand over every button; the arrow over the background, the frames and the
    // lists; the progress bar leaves the pointer as it is. A busy window stays busy.
    for (PushButton* button :
         {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6, PushButton7,
          PushButton8, PushButton9, PushButton10, PushButton11, PushButton12}) {
        Pointer->AddRule(*button, WindowPointer::Rule::Hand);
    }
    for (QWidget* plain : std::initializer_list<QWidget*>{this, Frame1, Frame2, List1, List2}) {
        Pointer->AddRule(*plain, WindowPointer::Rule::Default);
    }
}

}  // namespace korvanta
