#include "cli/SendState.h"
#include "cli/Words.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <utility>

#include "cli/UserPath.h"

namespace korvanta::cli {

namespace {

// A state file is read whole up to this size: it names each table once or twice.
constexpr std::size_t kStateBytes = std::size_t{64} << 20;

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonArray Array(const std::vector<std::string>& items) {
    QJsonArray array;
    for (const std::string& item : items)
        array.append(Utf8(item));
    return array;
}

// Appends the name to a list of JSON strings separated by commas.
void AppendName(QByteArray& list, const std::string& name) {
    const QByteArray array = QJsonDocument(QJsonArray{Utf8(name)}).toJson(QJsonDocument::Compact);
    if (!list.isEmpty())
        list += ',';
    list += array.mid(1, array.size() - 2);  // without the brackets
}

QJsonObject TableOf(const TableOptions& own) {
    QJsonObject table;
    if (!own.target.empty())
        table["target"] = Utf8(own.target);
    if (own.ifExists)
        table["if-exists"] = IfExistsWord(*own.ifExists);
    if (own.key)
        table["key"] = Array(*own.key);
    if (own.since)
        table["since"] = Utf8(*own.since);
    if (own.deleteMissing)
        table["delete-missing"] = *own.deleteMissing;
    if (own.exactSchema)
        table["schema"] = *own.exactSchema ? "exact" : "simple";
    if (own.where)
        table["where"] = Utf8(*own.where);
    return table;
}

// The pair of databases a send runs between, as a short id: a state file is of one pair.
QString PairId(const SendOptions& options) {
    const ConnectionValues& v = options.values;
    const QString pair =
        QStringList{SideWord(options.target), v.server, v.port, v.database, v.dataSourceName}.join(
            QChar(0));
    return QString::fromLatin1(
        QCryptographicHash::hash(pair.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

}  // namespace

std::string SendState::PathFor(const SendOptions& options) {
    if (!options.stateFile.empty())
        return options.stateFile;
    const QString id = PairId(options);
    const char* home = std::getenv("XDG_STATE_HOME");
    const QString base = home != nullptr && *home == '/'
                             ? QString::fromLocal8Bit(home)
                             : QDir::homePath() + QStringLiteral("/.local/state");
    return (base + QStringLiteral("/korvanta/send-") + id + QStringLiteral(".json")).toStdString();
}

QJsonObject SendState::PlanOf(const SendOptions& options, const std::vector<std::string>& tables) {
    QJsonObject plan;
    plan["databases"] = PairId(options);
    plan["to"] = SideWord(options.target);
    plan["tables"] = Array(tables);
    plan["schema"] = options.settings.exactSchema ? "exact" : "simple";
    plan["if-exists"] = IfExistsWord(options.ifExists);
    plan["key"] = Array(options.key);
    plan["since"] = Utf8(options.since);
    plan["delete-missing"] = options.deleteMissing;
    plan["where"] = Utf8(options.where);
    QJsonObject own;
    for (const auto& [table, settings] : options.tables) {
        if (const QJsonObject t = TableOf(settings); !t.isEmpty())
            own[Utf8(table)] = t;
    }
    plan["table-settings"] = own;
    return plan;
}

SendState::SendState(std::string path, QJsonObject plan)
    : path_(std::move(path)), planText_(QJsonDocument(plan).toJson(QJsonDocument::Compact)) {}

SendState::SendState(SendState&& other) noexcept
    : path_(std::move(other.path_)),
      created_(std::move(other.created_)),
      finished_(std::move(other.finished_)),
      writing_(std::move(other.writing_)),
      planText_(std::move(other.planText_)),
      createdText_(std::move(other.createdText_)),
      finishedText_(std::move(other.finishedText_)),
      writingText_(std::move(other.writingText_)),
      failure_(std::move(other.failure_)),
      lock_(std::exchange(other.lock_, -1)) {}

SendState::~SendState() {
    if (lock_ >= 0)
        ::close(lock_);
}

void SendState::Lock() {
    const std::string path = path_ + ".lock";
    try {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
        lock_ = OpenUserFileToWrite(path, "cannot lock the state file " + path_, true);
    } catch (const std::runtime_error& e) {
        throw StateError(e.what());
    }
    if (::flock(lock_, LOCK_EX | LOCK_NB) != 0)
        throw StateError("another send is using the state file " + path_ + " (its lock " + path +
                         " is held): one send at a time carries it on");
}

SendState SendState::Begin(std::string path, QJsonObject plan) {
    SendState state(std::move(path), std::move(plan));
    state.Lock();
    state.Save();
    if (!state.failure_.empty())
        throw StateError("cannot keep the send's state in " + state.path_ + ": " + state.failure_);
    return state;
}

SendState SendState::Resume(std::string path, const QJsonObject& plan) {
    if (!UserPathExists(path))
        throw StateError("no stopped send to carry on: " + path + " does not exist");
    SendState locked(path, plan);
    locked.Lock();
    std::string text;
    try {
        text = ReadUserFile(path, "cannot read the state file " + path, kStateBytes);
    } catch (const std::runtime_error& e) {
        throw StateError(e.what());
    }
    const QJsonObject saved =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())))
            .object();
    const QJsonObject savedPlan = saved.value("plan").toObject();
    if (savedPlan.isEmpty())
        throw StateError(path + " holds no send's state");
    if (savedPlan != plan) {
        std::string differs;
        for (auto it = plan.begin(); it != plan.end(); ++it) {
            if (savedPlan.value(it.key()) != it.value())
                differs += (differs.empty() ? "" : ", ") + it.key().toStdString();
        }
        throw StateError("the stopped send had other " + differs +
                         "; --resume carries on the same send (run it as it was, or without "
                         "--resume to start over)");
    }
    SendState state = std::move(locked);
    for (const auto& name : saved.value("created").toArray())
        Note(state.created_, state.createdText_, name.toString().toStdString());
    for (const auto& name : saved.value("finished").toArray())
        Note(state.finished_, state.finishedText_, name.toString().toStdString());
    for (const auto& name : saved.value("writing").toArray())
        Note(state.writing_, state.writingText_, name.toString().toStdString());
    return state;
}

ResumeState SendState::Left() const {
    return {created_, finished_, writing_};
}

bool SendState::Note(std::set<std::string>& names, QByteArray& text, const std::string& table) {
    if (!names.insert(table).second)
        return false;
    AppendName(text, table);
    return true;
}

void SendState::Creating(const std::string& table) {
    std::lock_guard lock(mutex_);
    if (Note(created_, createdText_, table))
        Save();
}

void SendState::Writing(const std::string& table) {
    std::lock_guard lock(mutex_);
    if (Note(writing_, writingText_, table))
        Save();
}

void SendState::Finished(const std::string& table) {
    std::lock_guard lock(mutex_);
    if (Note(finished_, finishedText_, table))
        Save();
}

// The same text QJsonDocument writes of the object, its keys in order.
void SendState::Save() {
    const QByteArray text = "{\"created\":[" + createdText_ + "],\"finished\":[" + finishedText_ +
                            "],\"plan\":" + planText_ + ",\"writing\":[" + writingText_ + "]}";
    try {
        ReplaceUserFile(path_, "the state file " + path_,
                        std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
        failure_.clear();
    } catch (const std::runtime_error& e) {
        failure_ = e.what();
    }
}

}  // namespace korvanta::cli
