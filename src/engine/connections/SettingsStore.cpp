#include "engine/connections/SettingsStore.h"

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

ConnectionValues SavedConnectionValues(const SettingsStore& store) {
    ConnectionValues values;
    values.server = store.Read(keys::kServer, keys::kServerDefault);
    values.port = store.Read(keys::kPort, keys::kPortDefault);
    values.user = store.Read(keys::kUser);
    values.password = store.Read(keys::kPassword);
    values.database = store.Read(keys::kDatabase);
    values.dataSourceName = store.Read(keys::kDataSourceName);
    return values;
}

TransferSettings SavedTransferSettings(const SettingsStore& store) {
    TransferSettings settings;
    settings.oneStatementPerRow =
        store.Read(keys::kOneStatementPerRow).trimmed() == QStringLiteral("1");
    settings.exactSchema = SchemaModeIsExact(store.Read(keys::kSchema)).value_or(false);
    return settings;
}

std::optional<bool> SchemaModeIsExact(const QString& mode) {
    const QString word = mode.trimmed();
    if (word.compare(QStringLiteral("exact"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QStringLiteral("simple"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

}  // namespace korvanta
