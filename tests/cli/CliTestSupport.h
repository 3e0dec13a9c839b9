#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestDatabases.h"

// The built program as a child process, with a configuration folder of its own whose
// settings store holds the test databases' values.
namespace clitest {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A name as SQL writes it: between double quotes, each one doubled.
inline std::string Ident(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// Waits for the SQLite file's lock instead of failing when a parallel test holds it.
inline std::vector<std::string> Sqlite(const std::string& sql) {
    return testdb::sqlite(".timeout 20000\n" + sql);
}

struct Result {
    int status = -1;  // the exit status; 128 + n for a signal
    std::string out, err;
};

// Environment changes for the child: a value sets, nullopt unsets.
using Environment = std::map<std::string, std::optional<std::string>>;

class Program {
  public:
    Program() {
        config_ = dir_.path().toStdString() + "/config";
        QDir().mkpath(QString::fromStdString(config_));
        testdb::storeConnectionValues(QString::fromStdString(config_ + "/Quillmere.ini"));
    }

    std::string Dir() const { return dir_.path().toStdString(); }
    // Where the next runs write their standard output (its file by default).
    void SetStandardOutput(std::string path) { stdout_ = std::move(path); }
    std::string SettingsFile() const { return config_ + "/Quillmere.ini"; }

    // Starts the program; Wait() collects it.
    void Start(const std::vector<std::string>& args, const Environment& env = {}) {
        const std::string out = stdout_.empty() ? Dir() + "/stdout" : stdout_;
        const std::string err = Dir() + "/stderr";
        pid_ = fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
            // A send's state (--resume) stays with the test.
            setenv("XDG_STATE_HOME", (Dir() + "/state").c_str(), 1);
            for (const auto& [name, value] : env) {
                if (value)
                    setenv(name.c_str(), value->c_str(), 1);
                else
                    unsetenv(name.c_str());
            }
            const int in = open("/dev/null", O_RDONLY);
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(in, 0);
            dup2(o, 1);
            dup2(e, 2);
            // No terminal: the program must never wait for an answer.
            setsid();
            std::vector<char*> argv{const_cast<char*>(KV_PROGRAM)};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(KV_PROGRAM, argv.data());
            _exit(127);
        }
    }
    bool Running() {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            finished_ = status;
            return false;
        }
        return !finished_;
    }
    void Signal(int signal) const { kill(pid_, signal); }
    Result Wait() {
        int status = 0;
        if (finished_)
            status = *finished_;
        else
            waitpid(pid_, &status, 0);
        finished_.reset();
        Result result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = ReadFile(Dir() + "/stdout");
        result.err = ReadFile(Dir() + "/stderr");
        return result;
    }
    Result Run(const std::vector<std::string>& args, const Environment& env = {}) {
        Start(args, env);
        return Wait();
    }

  private:
    QTemporaryDir dir_;
    std::string config_;
    std::string stdout_;
    pid_t pid_ = -1;
    std::optional<int> finished_;
};

// The summary JSON's table object of that name.
inline QJsonObject SummaryOf(const std::string& jsonFile, const std::string& table) {
    const QJsonObject summary =
        QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(jsonFile))).object();
    for (const auto& entry : summary.value("tables").toArray()) {
        if (entry.toObject().value("table").toString().toStdString() == table)
            return entry.toObject();
    }
    ADD_FAILURE() << "no " << table << " in " << jsonFile;
    return {};
}

// A row count on PostgreSQL through psql.
inline long long PgCount(const std::string& table) {
    return std::stoll(testdb::psql("SELECT count(*) FROM " + Ident(table)).at(0));
}

}  // namespace clitest
