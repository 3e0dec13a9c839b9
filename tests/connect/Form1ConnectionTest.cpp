#include <gtest/gtest.h>

#include <QFile>

#include <vector>

#include "Form1Harness.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"
#include "support/TestDatabases.h"

using namespace korvanta;

namespace {

const QString kSuccess = "Connection successful.";
const QString kFailure = "Could not connect. Please check with your administrator.";

void EnterTestDatabases(Form1& form1) {
    const testdb::PgLogin pg = testdb::pg();
    form1.Text1->setText(QString::fromStdString(pg.server));
    form1.Text2->setText(QString::fromStdString(pg.port));
    form1.Text3->setText(QString::fromStdString(pg.user));
    form1.Text4->setText(QString::fromStdString(pg.password));
    form1.Text5->setText(QString::fromStdString(pg.database));
    form1.Text6->setText(QString::fromStdString(testdb::dsn()));
}

// What the window looked like while each notice was on screen.
struct WhileShown {
    int mode;
    Qt::CursorShape shape;
};

}  // namespace

class Form1Test : public ::testing::Test {
  protected:
    void SetUp() override {
        EnterTestDatabases(h.form1);
        h.dialogs.whileShown = [this] {
            seen.push_back({h.form1.Pointer->Mode(), h.form1.cursor().shape()});
        };
        h.form1.show();
    }

    // Clicks the button and expects exactly one notice, with the busy pointer while it
    // shows and the default pointer afterwards, nothing stored and the page unchanged.
    void ExpectTestNotice(PushButton* button, const QString& notice) {
        seen.clear();
        const int before = h.dialogs.log().size();
        QFile store(h.settings.FilePath());
        ASSERT_TRUE(store.open(QIODevice::ReadOnly));
        const QByteArray stored = store.readAll();
        store.close();

        button->click();

        ASSERT_EQ(h.dialogs.log().size(), before + 1) << h.dialogs.log().join(" | ").toStdString();
        EXPECT_EQ(h.dialogs.log().back().toStdString(), ("notice: " + notice).toStdString());
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].mode, WindowPointer::kBusy);
        EXPECT_EQ(seen[0].shape, Qt::WaitCursor);
        EXPECT_EQ(h.form1.Pointer->Mode(), WindowPointer::kDefault);
        EXPECT_EQ(h.form1.cursor().shape(), Qt::ArrowCursor);
        EXPECT_TRUE(h.form1.isVisible());
        EXPECT_FALSE(h.form2.isVisible());
        ASSERT_TRUE(store.open(QIODevice::ReadOnly));
        EXPECT_EQ(store.readAll(), stored);
    }

    Form1Harness h;
    std::vector<WhileShown> seen;
};

TEST_F(Form1Test, PostgreSQLTestSucceedsWithTheTestDatabaseAndFailsOnAnyWrongValue) {
    ExpectTestNotice(h.form1.PushButton3, kSuccess);

    struct Wrong {
        QLineEdit* box;
        QString value;
    };
    const Wrong wrongs[] = {
        {h.form1.Text2, "1"},        // nothing listens there
        {h.form1.Text2, "letters"},  // not a port at all
        {h.form1.Text4, "not the password"},
        {h.form1.Text5, QString::fromStdString(testdb::uniqueName("no_such_db"))},
    };
    for (const Wrong& wrong : wrongs) {
        SCOPED_TRACE(wrong.value.toStdString());
        const QString good = wrong.box->text();
        wrong.box->setText(wrong.value);
        ExpectTestNotice(h.form1.PushButton3, kFailure);
        wrong.box->setText(good);
    }
    // The boxes are read as they are now: mended, the test passes again.
    ExpectTestNotice(h.form1.PushButton3, kSuccess);
    EXPECT_TRUE(h.dialogs.errorReports().isEmpty());
}

TEST_F(Form1Test, SqlAnywhereTestUsesOnlyTheDataSourceName) {
    // The PostgreSQL boxes do not matter to this side.
    h.form1.Text2->setText("1");
    ExpectTestNotice(h.form1.PushButton1, kSuccess);

    h.form1.Text6->setText("");
    ExpectTestNotice(h.form1.PushButton1, kFailure);
    h.form1.Text6->setText(QString::fromStdString(testdb::uniqueName("NoSuchDsn")));
    ExpectTestNotice(h.form1.PushButton1, kFailure);
    h.form1.Text6->setText(QString::fromStdString(testdb::dsn()));
    ExpectTestNotice(h.form1.PushButton1, kSuccess);
    EXPECT_TRUE(h.dialogs.errorReports().isEmpty());
}

TEST_F(Form1Test, AfterATestThePointerIsTheDefaultAlsoWhenItWasTheHand) {
    // A click comes from a button under a hand pointer; afterwards the arrow shows until
    // the pointer moves again.
    h.form1.Pointer->SetMode(WindowPointer::kCustom);
    ExpectTestNotice(h.form1.PushButton3, kSuccess);
}
