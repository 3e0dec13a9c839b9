// Connections that cannot be made or that break: time-outs and a server that goes away.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

#include "AdodbTestSupport.h"
#include "adodb/Error.h"

namespace {

using adodbtest::ReadAll;
using adodbtest::Row;
using Clock = std::chrono::steady_clock;

// A loopback TCP port that accepts connections (the kernel completes the handshake) and
// never says a word.
class SilentListener {
  public:
    SilentListener() {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (socket_ < 0)
            throw std::runtime_error("socket failed");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(socket_, 8) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ::close(socket_);
            throw std::runtime_error("cannot listen on loopback");
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { Close(); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int port() const { return port_; }
    // Resets the waiting connections, which ends a connect that would wait for ever.
    void Close() {
        if (socket_ >= 0)
            ::close(socket_);
        socket_ = -1;
    }

  private:
    int socket_ = -1;
    int port_ = 0;
};

TEST(AdodbConnectionFailure, ConnectionTimeoutBoundsASilentServer) {
    SilentListener listener;
    adodb::Connection connection;
    connection.ConnectionTimeout = 2;
    const std::string text =
        "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(listener.port()) +
        ";Uid=nobody;Pwd=x;Database=nothing";
    std::promise<std::string> outcome;
    std::future<std::string> result = outcome.get_future();
    const auto start = Clock::now();
    std::thread opener([&] {
        try {
            connection.Open(text);
            outcome.set_value("opened");
        } catch (const adodb::Error& error) {
            outcome.set_value(std::string("error: ") + error.what());
        }
    });
    // A hang guard, not a speed test: the listener is closed if Open has not returned.
    const bool returned = result.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!returned)
        listener.Close();
    opener.join();
    EXPECT_TRUE(returned) << "Open ignored ConnectionTimeout";
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_THAT(result.get(), ::testing::StartsWith("error: "));
}

TEST(AdodbConnectionFailure, CommandTimeoutCancelsALongStatement) {
    adodb::Connection connection = adodbtest::OpenPostgres();
    connection.CommandTimeout = 1;
    const auto start = Clock::now();
    EXPECT_THROW(connection.Execute("select pg_sleep(30)"), adodb::Error);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));  // hang guard
    connection.CommandTimeout = 0;
    adodb::Recordset records = connection.Execute("select 1");
    EXPECT_EQ(ReadAll(records), std::vector<Row>{{"1"}});
}

// The system's keepalive defaults would leave the driver waiting over two hours for the
// answer of a server machine that vanished; the driver's socket must find it in a minute.
TEST(AdodbConnectionFailure, TheDriversSocketFindsAVanishedPeerWithinAMinute) {
    adodb::Connection connection = adodbtest::OpenPostgres();
    const int port = std::stoi(std::getenv("KV_PG_PORT"));
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
            peer.ss_family != AF_INET ||
            ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port) != port)
            continue;
        int on = 0, idle = 0, interval = 0, probes = 0;
        socklen_t length = sizeof on;
        ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, &length);
        ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &length);
        ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, &length);
        ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, &length);
        EXPECT_EQ(on, 1);
        EXPECT_LE(idle + interval * probes, 60) << "idle " << idle << " s";
        ++found;
    }
    EXPECT_EQ(found, 1) << "the driver's connection to port " << port;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        throw std::runtime_error(std::string(name) + " not set");
    return value;
}

// A PostgreSQL cluster of the test's own (scripts/dbenv), so that stopping it leaves the
// shared one alone.
class PrivateServer {
  public:
    PrivateServer() : control_(Environment("KV_PG_CTL")) {
        char folder[] = "/tmp/kv-adodb-lost-XXXXXX";
        if (mkdtemp(folder) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        folder_ = folder;
        Run(control_ + " start " + folder_ + " kv_lost KvLost");
        std::ifstream env(folder_ + "/env");
        for (std::string line; std::getline(env, line);) {
            const auto take = [&](const std::string& key, std::string& into) {
                const std::string prefix = "export " + key + "=";
                if (line.rfind(prefix, 0) == 0)
                    into = line.substr(prefix.size());
            };
            take("KV_PG_PORT", port_);
            take("KV_PG_PASSWORD", password_);
        }
        if (port_.empty() || password_.empty())
            throw std::runtime_error("no port or password");
    }
    ~PrivateServer() {
        std::system((control_ + " stop " + folder_ + " >/dev/null 2>&1").c_str());
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    std::string ConnectionString() const {
        return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + port_ +
               ";Uid=korvanta;Pwd=" + password_ + ";Database=kv_lost";
    }
    void Stop() { Run(control_ + " pgctl " + folder_ + " stop"); }

  private:
    static void Run(const std::string& command) {
        if (std::system((command + " >/dev/null").c_str()) != 0) {
            throw std::runtime_error("failed: " + command);
        }
    }
    std::string control_;
    std::string folder_;
    std::string port_;
    std::string password_;
};

TEST(AdodbConnectionFailure, StoppedServerIsReportedAsALostConnection) {
    PrivateServer server;
    adodb::Connection connection;
    connection.Open(server.ConnectionString());
    adodb::Recordset records = connection.Execute("select 1");
    EXPECT_EQ(ReadAll(records), std::vector<Row>{{"1"}});
    server.Stop();
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        try {
            connection.Execute("select 1");
            ADD_FAILURE() << "a statement ran on a stopped server";
        } catch (const adodb::Error& error) {
            EXPECT_TRUE(error.connectionLost()) << error.state() << ": " << error.what();
            EXPECT_STRNE(error.what(), "");
        }
    }
}

}  // namespace
