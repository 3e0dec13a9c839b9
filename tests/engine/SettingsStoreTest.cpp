#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "engine/SettingsStore.h"

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
