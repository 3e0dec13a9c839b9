#pragma once

#include <QString>

#include <memory>
#include <optional>

#include "engine/connections/ConnectionValues.h"

class QSettings;

namespace korvanta {

// The per-user store of the six connection values: application "Quillmere",
// section "Korvanta", one text value per key, in the user's configuration folder
// ($XDG_CONFIG_HOME/Quillmere.ini). Every write reaches the file at once. The file
// holds the password in plain text, so it is kept readable by its owner only.
class SettingsStore {
  public:
    SettingsStore();  // the user's store
    explicit SettingsStore(const QString& filePath);
    ~SettingsStore();

    // The stored text, or the default when the key does not exist at all.
    QString Read(const QString& key, const QString& defaultValue = QString()) const;
    void Write(const QString& key, const QString& text);

    QString FilePath() const;

  private:
    std::unique_ptr<QSettings> settings_;
};

// The keys and their defaults.
namespace keys {
inline constexpr const char* kServer = "PostgreSQLServer";
inline constexpr const char* kPort = "PostgreSQLPort";
inline constexpr const char* kUser = "PostgreSQLUser";
inline constexpr const char* kPassword = "PostgreSQLPassword";
inline constexpr const char* kDatabase = "PostgreSQLDatabase";
inline constexpr const char* kDataSourceName = "DataSourceName";
// "1": the send buttons write one INSERT per row, each committed on its own.
inline constexpr const char* kOneStatementPerRow = "OneStatementPerRow";
// "exact": the send buttons create each target table as close to the source's as the
// target allows (types with sizes, keys, defaults, identity, indexes, foreign keys).
inline constexpr const char* kSchema = "Schema";
inline constexpr const char* kServerDefault = "localhost";
inline constexpr const char* kPortDefault = "5432";
}  // namespace keys

// The six connection values as saved (the defaults for keys never written), and how the
// send buttons write rows: what every front end starts from.
ConnectionValues SavedConnectionValues(const SettingsStore& store);
TransferSettings SavedTransferSettings(const SettingsStore& store);

// The schema mode a word names, as the settings key and the command line take it alike:
// "exact" or "simple", in any letter case, blanks around it ignored; nullopt for any
// other word (the settings then keep the default, simple).
std::optional<bool> SchemaModeIsExact(const QString& mode);

}  // namespace korvanta
