#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include "CursorFileWriter.h"
#include "app/CursorFile.h"
#include "app/Decoration.h"
#include "app/ProgramFolder.h"
#include "app/ProgramIcon.h"
#include "app/WindowPointer.h"

using namespace korvanta;

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

}  // namespace

TEST(ProgramIcon, FourSizesOnlyTheSmallestWithoutAlpha) {
    const QIcon icon = ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_EQ(sizes, (QList<QSize>{{32, 32}, {48, 48}, {128, 128}, {256, 256}}));

    struct Expected {
        int size;
        bool alpha;
    };
    for (Expected e : {Expected{32, false}, {48, true}, {128, true}, {256, true}}) {
        SCOPED_TRACE(e.size);
        const QImage image = icon.pixmap(QSize(e.size, e.size)).toImage();
        EXPECT_EQ(image.size(), QSize(e.size, e.size));
        EXPECT_EQ(image.hasAlphaChannel(), e.alpha);
        // With alpha the corners are clear; the 24-bit picture is opaque throughout.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), e.alpha ? 0 : 255);
        EXPECT_EQ(qAlpha(image.pixel(e.size / 2, e.size / 2)), 255);
    }
    // The 32x32 picture is stored with 24 bits per pixel.
    QImageReader reader(":/korvanta/icons/korvanta-32.png");
    EXPECT_EQ(reader.imageFormat(), QImage::Format_RGB32);
}

TEST(FileExists, TrueOnlyWhenTheFileCanBeLookedAt) {
    QTemporaryDir dir;
    const QString file = dir.filePath("present.txt");
    Write(file, "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir.filePath("absent.txt")));
    EXPECT_FALSE(FileExists(QString()));
    EXPECT_FALSE(FileExists(file + "/below-a-file"));
}

TEST(CursorFile, ReadsThePictureAndTheHotSpotOfTheFirstEntry) {
    QTemporaryDir dir;
    const QImage red = cursorfile::HalfRed(32);
    struct Case {
        const char* name;
        QByteArray bytes;
        QSize size;
        QPoint hotSpot;
    };
    const Case cases[] = {
        {"bitmap.cur", cursorfile::File(cursorfile::Bitmap(red), 32, 5, 7), {32, 32}, {5, 7}},
        {"png.cur",
         cursorfile::File(cursorfile::Png(cursorfile::HalfRed(48)), 48, 40, 3),
         {48, 48},
         {40, 3}},
        // A hot spot beyond the picture is pulled onto its edge.
        {"far.cur", cursorfile::File(cursorfile::Bitmap(red), 32, 300, 9), {32, 32}, {31, 9}},
        // An icon or a plain picture points with its top left corner.
        {"icon.ico", cursorfile::File(cursorfile::Bitmap(red), 32, 1, 32, 1), {32, 32}, {0, 0}},
        {"plain.png", cursorfile::Png(red), {32, 32}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        Write(path, c.bytes);
        const std::optional<CursorPicture> picture = ReadCursorFile(path);
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->image.size(), c.size);
        EXPECT_EQ(picture->hotSpot, c.hotSpot);
        EXPECT_EQ(picture->image.pixelColor(2, 2), QColor(Qt::red));
        EXPECT_EQ(picture->image.pixelColor(c.size.width() - 2, 2).alpha(), 0);
    }
}

TEST(CursorFile, NothingForMissingOrBrokenFiles) {
    QTemporaryDir dir;
    EXPECT_FALSE(ReadCursorFile(dir.filePath("absent.cur")).has_value());
    const QByteArray whole =
        cursorfile::File(cursorfile::Bitmap(cursorfile::HalfRed(32)), 32, 1, 1);
    const std::pair<const char*, QByteArray> broken[] = {
        {"empty.cur", QByteArray()},
        {"text.cur", "not a cursor at all"},
        {"header-only.cur", whole.left(22)},
        {"cut-short.cur", whole.left(200)},
    };
    for (const auto& [name, bytes] : broken) {
        SCOPED_TRACE(name);
        Write(dir.filePath(name), bytes);
        EXPECT_FALSE(ReadCursorFile(dir.filePath(name)).has_value());
    }
    EXPECT_FALSE(ReadCursorFile(dir.path()).has_value());  // a folder
}

namespace {

// A window with a frame holding a button and a label, and a box of its own.
struct Window {
    Window() {
        frame = new QGroupBox("Frame", &window);
        frame->setGeometry(10, 10, 200, 100);
        button = new QPushButton("Button", frame);
        button->setGeometry(10, 30, 80, 30);
        label = new QLabel("Label", frame);
        label->setGeometry(100, 30, 80, 20);
        box = new QLineEdit(&window);
        box->setGeometry(10, 120, 100, 20);
        window.resize(300, 200);
        pointer = new WindowPointer(window);
    }
    void Move(QWidget& widget, QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&widget, &move);
    }
    QWidget window;
    QGroupBox* frame;
    QPushButton* button;
    QLabel* label;
    QLineEdit* box;
    WindowPointer* pointer;
};

}  // namespace

TEST(WindowPointer, ModesSetTheWindowsCursor) {
    Window w;
    EXPECT_EQ(w.pointer->Mode(), WindowPointer::kDefault);
    w.pointer->SetMode(WindowPointer::kBusy);
    EXPECT_EQ(w.window.cursor().shape(), Qt::WaitCursor);
    // Without a picture of its own, custom mode shows the arrow.
    w.pointer->SetMode(WindowPointer::kCustom);
    EXPECT_EQ(w.window.cursor().shape(), Qt::ArrowCursor);

    // A picture given while in custom mode shows at once, with its hot spot.
    QPixmap hand(32, 32);
    hand.fill(Qt::blue);
    w.pointer->SetCustomPicture(QCursor(hand, 6, 2));
    EXPECT_EQ(w.window.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(w.window.cursor().hotSpot(), QPoint(6, 2));
    w.pointer->SetMode(WindowPointer::kDefault);
    EXPECT_EQ(w.window.cursor().shape(), Qt::ArrowCursor);
    w.pointer->SetMode(WindowPointer::kCustom);
    EXPECT_EQ(w.window.cursor().shape(), Qt::BitmapCursor);
}

TEST(WindowPointer, RulesApplyOnlyToTheWidgetsOwnArea) {
    Window w;
    w.pointer->AddRule(*w.button, WindowPointer::Rule::Hand);
    w.pointer->AddRule(*w.frame, WindowPointer::Rule::Default);
    w.pointer->AddRule(w.window, WindowPointer::Rule::Default);

    w.Move(*w.button, {5, 5});
    EXPECT_EQ(w.pointer->Mode(), WindowPointer::kCustom);  // the frame did not undo it
    w.Move(*w.label, {5, 5});
    EXPECT_EQ(w.pointer->Mode(), WindowPointer::kCustom);  // no rule for the label
    w.Move(*w.frame, {150, 80});
    EXPECT_EQ(w.pointer->Mode(), WindowPointer::kDefault);

    w.pointer->SetMode(WindowPointer::kCustom);
    w.Move(*w.box, {5, 5});  // no rule: the window behind it does not count
    EXPECT_EQ(w.pointer->Mode(), WindowPointer::kCustom);
    w.Move(w.window, {250, 180});
    EXPECT_EQ(w.pointer->Mode(), WindowPointer::kDefault);

    // Entering the button applies its rule as well.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), w.button->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(w.button, &enter);
    EXPECT_EQ(w.pointer->Mode(), WindowPointer::kCustom);
}

TEST(Decoration, ButtonFaceAndDesignColoursReachOnlyTheBackgroundKinds) {
    Window w;
    const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
    ASSERT_NE(face, QColor(Qt::white)) << "the style's button face must differ from white";
    const QColor boxBase = w.box->palette().color(QPalette::Base);
    const QColor buttonFace = w.button->palette().color(QPalette::Button);

    SetDesignColors(w.window);
    for (QWidget* coloured : std::initializer_list<QWidget*>{&w.window, w.frame, w.label})
        EXPECT_EQ(coloured->palette().color(QPalette::Window), QColor(Qt::white));

    SetButtonFaceColors(w.window);
    for (QWidget* coloured : std::initializer_list<QWidget*>{&w.window, w.frame, w.label}) {
        EXPECT_EQ(coloured->palette().color(QPalette::Window), face);
        EXPECT_TRUE(coloured->autoFillBackground());
    }
    EXPECT_FALSE(w.box->autoFillBackground());
    EXPECT_FALSE(w.button->autoFillBackground());
    EXPECT_EQ(w.box->palette().color(QPalette::Base), boxBase);
    EXPECT_EQ(w.button->palette().color(QPalette::Button), buttonFace);
}
