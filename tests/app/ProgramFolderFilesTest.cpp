// The optional files beside the program: the skin file "x/o.cjs" and the hand pointer
// "HAND-M.CUR". This program is built into a folder of its own, so that the files it puts
// beside itself reach no other test program. Each test touches one of the two files only.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <stdexcept>

#include "CursorFileWriter.h"
#include "app/Decoration.h"
#include "app/HandPointer.h"
#include "app/OperationGuard.h"
#include "app/ProgramFolder.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"
#include "catalog/Form2.h"
#include "connect/Form1.h"
#include "engine/connections/ConnectionChecks.h"
#include "engine/connections/SettingsStore.h"
#include "support/ScriptedDialogs.h"

using namespace korvanta;

namespace {

// Removes what a test put into the program's folder, also when the test fails.
class ProgramFolderEntry {
  public:
    explicit ProgramFolderEntry(const QString& relativePath)
        : path_(ProgramFolder() + "/" + relativePath) {}
    ~ProgramFolderEntry() { Remove(); }
    ProgramFolderEntry(const ProgramFolderEntry&) = delete;
    ProgramFolderEntry& operator=(const ProgramFolderEntry&) = delete;

    void WriteFile(const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path_).path());
        QFile file(path_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path_.toStdString();
        file.write(bytes);
    }
    void MakeFolder() { ASSERT_TRUE(QDir().mkpath(path_)); }
    void Remove() {
        if (QFileInfo(path_).isDir())
            QDir(path_).removeRecursively();
        else
            QFile::remove(path_);
    }

  private:
    QString path_;
};

struct Windows {
    Windows()
        : settings(dir.filePath("Quillmere.ini")),
          form1(dialogs, settings, guard, checks),
          form2(dialogs, form1, guard) {}
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    SettingsStore settings;
    OperationGuard guard;
    DatabaseChecks checks;
    Form1 form1;
    Form2 form2;
};

QColor ButtonFace() {
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

// The window and its frames and labels: the widgets whose background follows the skin.
std::vector<QWidget*> Backgrounds(QWidget& window) {
    std::vector<QWidget*> widgets = {&window};
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            widgets.push_back(child);
    }
    return widgets;
}

void ExpectBackground(QWidget& window, const QColor& colour) {
    const std::vector<QWidget*> widgets = Backgrounds(window);
    for (QWidget* widget : widgets) {
        EXPECT_EQ(widget->palette().color(QPalette::Window), colour)
            << widget->metaObject()->className() << " of " << window.metaObject()->className();
    }
}

}  // namespace

TEST(SkinFile, Form1TakesTheButtonFaceOnlyWithTheSkinFileForm2Always) {
    ProgramFolderEntry folder("x");  // removed last, with everything in it
    ProgramFolderEntry skin("x/o.cjs");
    folder.Remove();
    ASSERT_NE(ButtonFace(), QColor(Qt::white));

    {
        SCOPED_TRACE("no skin file");
        Windows w;
        ApplySkin(w.form1);
        ExpectBackground(w.form1, Qt::white);
        EXPECT_EQ(Backgrounds(w.form1).size(), 9u);  // window, two frames, six labels
        SetButtonFaceColors(w.form2);
        ExpectBackground(w.form2, ButtonFace());
    }
    {
        SCOPED_TRACE("a folder where the skin file should be");
        skin.MakeFolder();
        Windows w;
        ApplySkin(w.form1);
        ExpectBackground(w.form1, Qt::white);
        skin.Remove();
    }
    {
        SCOPED_TRACE("skin file present");
        skin.WriteFile("any content: there is no skin engine to read it");
        Windows w;
        const QColor boxBase = w.form1.Text1->palette().color(QPalette::Base);
        ApplySkin(w.form1);
        ExpectBackground(w.form1, ButtonFace());
        // Boxes and buttons keep their own colours.
        EXPECT_EQ(w.form1.Text1->palette().color(QPalette::Base), boxBase);
        EXPECT_EQ(w.form1.PushButton2->palette().color(QPalette::Button), QColor(Qt::white));
        EXPECT_TRUE(w.dialogs.log().isEmpty());
        SetButtonFaceColors(w.form2);
        ExpectBackground(w.form2, ButtonFace());
    }
}

TEST(HandPointerFile, BecomesEachWindowsCustomPointerWithItsHotSpot) {
    ProgramFolderEntry cursor("HAND-M.CUR");
    cursor.Remove();
    {
        SCOPED_TRACE("no file");
        EXPECT_FALSE(HandPointerFileExists());
        Windows w;
        w.form1.Pointer->SetMode(WindowPointer::kCustom);
        EXPECT_EQ(w.form1.cursor().shape(), Qt::ArrowCursor);
    }
    {
        SCOPED_TRACE("a cursor file");
        cursor.WriteFile(cursorfile::File(cursorfile::Bitmap(cursorfile::HalfRed(32)), 32, 9, 4));
        ASSERT_TRUE(HandPointerFileExists());
        Windows w;
        for (QWidget* window : std::initializer_list<QWidget*>{&w.form1, &w.form2}) {
            WindowPointer& pointer = window == &w.form1 ? *w.form1.Pointer : *w.form2.Pointer;
            LoadHandPointer(pointer);
            EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);  // loading sets no mode
            pointer.SetMode(WindowPointer::kCustom);
            EXPECT_EQ(window->cursor().shape(), Qt::BitmapCursor);
            EXPECT_EQ(window->cursor().hotSpot(), QPoint(9, 4));
            EXPECT_EQ(window->cursor().pixmap().size(), QSize(32, 32));
        }
        // The pointer rules show it over the buttons.
        w.form1.Pointer->SetMode(WindowPointer::kDefault);
        QMouseEvent move(QEvent::MouseMove, QPointF(3, 3),
                         w.form1.PushButton2->mapToGlobal(QPointF(3, 3)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.form1.PushButton2, &move);
        EXPECT_EQ(w.form1.cursor().shape(), Qt::BitmapCursor);
    }
    {
        SCOPED_TRACE("start-up with a cursor file");
        Windows w;
        w.settings.Write(keys::kServer, "127.0.0.1");
        w.settings.Write(keys::kPort, "1");  // nothing listens: the start-up stays on Form1
        w.form1.Form_Load();
        EXPECT_TRUE(w.dialogs.log().isEmpty()) << w.dialogs.log().join(" | ").toStdString();
        w.form1.Pointer->SetMode(WindowPointer::kCustom);
        EXPECT_EQ(w.form1.cursor().shape(), Qt::BitmapCursor);
        EXPECT_EQ(w.form1.windowIcon().availableSizes().size(), 4);
    }
    {
        SCOPED_TRACE("a broken file is reported by raising");
        cursor.WriteFile("not a picture");
        ASSERT_TRUE(HandPointerFileExists());
        Windows w;
        EXPECT_THROW(LoadHandPointer(*w.form1.Pointer), std::runtime_error);
        w.form1.Pointer->SetMode(WindowPointer::kCustom);
        EXPECT_EQ(w.form1.cursor().shape(), Qt::ArrowCursor);

        // At start-up the error report names it, and the start-up goes on.
        w.settings.Write(keys::kServer, "127.0.0.1");
        w.settings.Write(keys::kPort, "1");
        w.form1.Form_Load();
        ASSERT_EQ(w.dialogs.errorReports().size(), 1);
        EXPECT_TRUE(w.dialogs.errorReports()[0].startsWith(
            "Invalid picture\r\nin Velcastra2021/08/31.Form1.Form_Load at line 110\r\r"))
            << w.dialogs.errorReports()[0].toStdString();
        EXPECT_EQ(w.form1.Text2->text(), "1");
        EXPECT_TRUE(w.form1.isVisible());
    }
}
