// The table window's load routine with the hand-pointer file beside the program. This
// program is built into a folder of its own, so the file reaches no other test program;
// its one test handles the file in turns, since CTest runs tests side by side.
#include <gtest/gtest.h>

#include <QFile>

#include "CatalogTestSupport.h"
#include "app/CursorFileWriter.h"
#include "app/HandPointer.h"
#include "app/ProgramFolder.h"
#include "app/WindowPointer.h"

using korvanta::WindowPointer;

namespace {

class HandPointerFile {
  public:
    ~HandPointerFile() { QFile::remove(path_); }
    bool Write(const QByteArray& bytes) {
        QFile file(path_);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(bytes);
        file.close();
        return korvanta::HandPointerFileExists();
    }

  private:
    const QString path_ = korvanta::ProgramFolder() + QStringLiteral("/HAND-M.CUR");
};

TEST(Form2HandPointer, LoadedFromTheFileOrReportedAtLine108WhenBroken) {
    HandPointerFile file;
    {
        SCOPED_TRACE("a cursor file");
        ASSERT_TRUE(
            file.Write(cursorfile::File(cursorfile::Bitmap(cursorfile::HalfRed(32)), 32, 7, 3)));
        catalogtest::Form2Harness<> h;
        h.form.Form_Load();
        EXPECT_TRUE(h.dialogs.log().isEmpty()) << h.dialogs.log().join('\n').toStdString();
        h.form.Pointer->SetMode(WindowPointer::kCustom);
        EXPECT_EQ(h.form.cursor().shape(), Qt::BitmapCursor);
        EXPECT_EQ(h.form.cursor().hotSpot(), QPoint(7, 3));
    }
    {
        SCOPED_TRACE("a broken file");
        ASSERT_TRUE(file.Write("not a picture"));
        catalogtest::Form2Harness<> h;
        h.form.List2->Add(QStringLiteral("stale entry"));
        h.form.Form_Load();
        ASSERT_EQ(h.dialogs.errorReports().size(), 1) << h.dialogs.log().join('\n').toStdString();
        EXPECT_TRUE(h.dialogs.errorReports()[0].contains(
            QStringLiteral("\r\nin Velcastra2021/08/31.Form2.Form_Load at line 108\r\r")));
        EXPECT_EQ(h.form.windowTitle(), QStringLiteral("Korvanta")) << "later steps still run";
        EXPECT_FALSE(catalogtest::Entries(*h.form.List2).contains(QStringLiteral("stale entry")))
            << "the PostgreSQL list was filled afresh";
        h.form.Pointer->SetMode(WindowPointer::kCustom);
        EXPECT_EQ(h.form.cursor().shape(), Qt::ArrowCursor);
    }
}

}  // namespace
