#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "engine/connections/SettingsStore.h"

using korvanta::SettingsStore;

TEST(SettingsStore, DefaultOnlyForAbsentKeysAndValuesSurviveARestart) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quillmere.ini");
    {
        SettingsStore store(path);
        EXPECT_EQ(store.Read("PostgreSQLServer", "localhost"), "localhost");
        EXPECT_EQ(store.Read("PostgreSQLUser"), "");
        store.Write("PostgreSQLServer", "");
        store.Write("PostgreSQLPassword", " a;b=c }{ %41+ ");
        store.Write("DataSourceName", QString::fromUtf8("Bücher \"Lager\" \\ #1"));
        store.Write("PostgreSQLPort", "five");
        store.Write("PostgreSQLPort", "fivefour");  // the last write wins
    }
    SettingsStore reopened(path);
    EXPECT_EQ(reopened.Read("PostgreSQLServer", "localhost"), "");
    EXPECT_EQ(reopened.Read("PostgreSQLPassword"), " a;b=c }{ %41+ ");
    EXPECT_EQ(reopened.Read("DataSourceName"), QString::fromUtf8("Bücher \"Lager\" \\ #1"));
    EXPECT_EQ(reopened.Read("PostgreSQLPort", "5432"), "fivefour");
}

TEST(SettingsStore, KeepsTheSectionLayoutAndTheFilePrivate) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quillmere.ini");
    SettingsStore store(path);
    store.Write("PostgreSQLPassword", "secret");
    EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                          QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Korvanta]")) << text.toStdString();
    EXPECT_TRUE(text.contains("PostgreSQLPassword=secret")) << text.toStdString();
}

// What the send buttons read at every send: "1" for one statement per row, "exact" (any
// letter case) for exact tables; anything else leaves the default.
TEST(SettingsStore, SendSettingsFromTheirKeys) {
    struct Case {
        const char* oneStatementPerRow;
        const char* schema;
        bool rowByRow, exact;
    };
    const Case cases[] = {
        {nullptr, nullptr, false, false}, {"1", "exact", true, true},
        {" 1 ", "EXACT", true, true},     {"yes", "simple", false, false},
        {"0", "exactly", false, false},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("Quillmere.ini"));
        if (c.oneStatementPerRow)
            store.Write("OneStatementPerRow", c.oneStatementPerRow);
        if (c.schema)
            store.Write("Schema", c.schema);
        const korvanta::TransferSettings settings = korvanta::SavedTransferSettings(store);
        EXPECT_EQ(settings.oneStatementPerRow, c.rowByRow) << c.oneStatementPerRow;
        EXPECT_EQ(settings.exactSchema, c.exact) << c.schema;
    }
}
