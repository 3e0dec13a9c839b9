// A server that takes the connection and never answers, a closed port and values that
// reach no database: "Test Connection" and "Next >" come back within the default
// connection time-out (15 s) with the page unchanged. Loopback only.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QLineEdit>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "RobustnessSupport.h"
#include "app/PushButton.h"
#include "app/WindowPointer.h"

using namespace korvanta;
using Clock = std::chrono::steady_clock;

namespace {

const QString kCouldNotConnect = "Could not connect. Please check with your administrator.";
// Far more than the 15 s time-out; a click that takes this long is a hang.
constexpr auto kHangGuard = std::chrono::seconds(20);
constexpr const char* kSilentDsn = "KvSilentServer";

// A loopback TCP port: listening (the kernel completes the handshake, and nobody ever
// says a word), or only bound (a closed port that no other program can take meanwhile).
class LoopbackPort {
  public:
    explicit LoopbackPort(bool listening) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            (listening && ::listen(socket_, 8) != 0) ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            Close();
            throw std::runtime_error("cannot bind a loopback port");
        }
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackPort() { Close(); }
    LoopbackPort(const LoopbackPort&) = delete;
    LoopbackPort& operator=(const LoopbackPort&) = delete;

    QString Port() const { return QString::number(port_); }
    // Resets waiting connections: ends a connection attempt that would wait for ever.
    void Close() {
        const std::lock_guard lock(mutex_);
        if (socket_ >= 0)
            ::close(socket_);
        socket_ = -1;
    }

  private:
    std::mutex mutex_;
    int socket_ = -1;
    int port_ = 0;
};

// Closes the silent port if the click has not come back in time, so that a hang fails
// the test instead of blocking it.
class Watchdog {
  public:
    explicit Watchdog(LoopbackPort& port)
        : thread_([this, &port] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, kHangGuard + std::chrono::seconds(10),
                                  [this] { return finished_; }))
                  port.Close();
          }) {}
    ~Watchdog() {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

struct Case {
    const char* name;
    enum Button { TestPostgreSQL, TestSybase, Next } button;
    enum Value { SilentPort, ClosedPort, LettersPort, SilentDataSource, UnknownDataSource } value;
};

const Case kCases[] = {
    {"TestPostgreSQLSilentServer", Case::TestPostgreSQL, Case::SilentPort},
    {"TestSqlAnywhereSilentServer", Case::TestSybase, Case::SilentDataSource},
    {"NextPostgreSQLSilentServer", Case::Next, Case::SilentPort},
    {"NextSqlAnywhereSilentServer", Case::Next, Case::SilentDataSource},
    {"NextClosedPort", Case::Next, Case::ClosedPort},
    {"NextPortOfLetters", Case::Next, Case::LettersPort},
    {"NextUnknownDataSource", Case::Next, Case::UnknownDataSource},
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Unreachable : public ::testing::TestWithParam<Case> {
  protected:
    // A private copy of the ODBC data sources with one more: a PostgreSQL data source on
    // the silent port, standing in for a SQL Anywhere server that does not answer.
    void SetUp() override {
        QFile sources(QString::fromStdString(robust::Environment("ODBCINI")));
        ASSERT_TRUE(sources.open(QIODevice::ReadOnly));
        QFile copy(folder.filePath("odbc.ini"));
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
        copy.write(sources.readAll());
        copy.write(QStringLiteral("\n[%1]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\n"
                                  "Port=%2\nDatabase=nothing\nUsername=nobody\nPassword=x\n")
                       .arg(QString::fromLatin1(kSilentDsn), silent.Port())
                       .toUtf8());
        copy.close();
        setenv("ODBCINI", copy.fileName().toLocal8Bit().constData(), 1);

        // The user is on the connection window after "< Back".
        program.form1.Form_Load();
        ASSERT_TRUE(program.form2.isVisible()) << program.Reports();
        program.form2.PushButton2->click();
        ASSERT_TRUE(program.form1.isVisible());
    }

    QTemporaryDir folder;
    LoopbackPort silent{true};
    LoopbackPort closed{false};
    robust::Program program;
};

TEST_P(Unreachable, ComesBackWithinTheTimeOutAndLeavesThePageAsItWas) {
    const Case& c = GetParam();
    Form1& form1 = program.form1;
    switch (c.value) {
        case Case::SilentPort:
            form1.Text2->setText(silent.Port());
            break;
        case Case::ClosedPort:
            form1.Text2->setText(closed.Port());
            break;
        case Case::LettersPort:
            form1.Text2->setText("fivefour");
            break;
        case Case::SilentDataSource:
            form1.Text6->setText(kSilentDsn);
            break;
        case Case::UnknownDataSource:
            form1.Text6->setText(QString::fromStdString(testdb::uniqueName("NoSuchSource")));
            break;
    }
    PushButton* button = c.button == Case::TestPostgreSQL ? form1.PushButton3
                         : c.button == Case::TestSybase   ? form1.PushButton1
                                                          : form1.PushButton2;

    const auto start = Clock::now();
    {
        Watchdog watchdog(silent);
        button->click();
    }
    const auto took = Clock::now() - start;

    EXPECT_LT(took, kHangGuard) << "took "
                                << std::chrono::duration_cast<std::chrono::seconds>(took).count()
                                << " s";
    EXPECT_TRUE(program.dialogs.errorReports().isEmpty()) << program.Reports();
    if (c.button == Case::Next) {
        EXPECT_TRUE(program.dialogs.log().isEmpty()) << program.Reports();
    } else {
        EXPECT_EQ(program.dialogs.notices(), QStringList{kCouldNotConnect});
    }
    EXPECT_TRUE(form1.isVisible());
    EXPECT_FALSE(program.form2.isVisible());
    EXPECT_EQ(form1.Pointer->Mode(), WindowPointer::kDefault);
    EXPECT_FALSE(program.guard.Busy());
}

INSTANTIATE_TEST_SUITE_P(Robustness, Unreachable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
