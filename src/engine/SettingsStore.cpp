#include "engine/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace korvanta {

namespace {
const QString kApplication = QStringLiteral("Quillmere");
const QString kSection = QStringLiteral("Korvanta");

QString UserStorePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' +
           kApplication + QStringLiteral(".ini");
}

// Creates the file empty and private before anything is written to it.
void CreatePrivately(const QString& path) {
    if (QFileInfo::exists(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}
}  // namespace

SettingsStore::SettingsStore() : SettingsStore(UserStorePath()) {}

SettingsStore::SettingsStore(const QString& filePath) {
    CreatePrivately(filePath);
    settings_ = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::Read(const QString& key, const QString& defaultValue) const {
    return settings_->value(kSection + '/' + key, defaultValue).toString();
}

void SettingsStore::Write(const QString& key, const QString& text) {
    settings_->setValue(kSection + '/' + key, text);
    settings_->sync();
    // QSettings saves through a new file; keep it private whatever the umask.
    QFile::setPermissions(settings_->fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString SettingsStore::FilePath() const {
    return settings_->fileName();
}

}  // namespace korvanta
