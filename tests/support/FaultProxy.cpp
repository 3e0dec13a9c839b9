#include "support/FaultProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace testdb {
namespace {

// Short, so that a stop request is seen soon even if a wake-up byte got lost.
constexpr int kPollMillis = 50;
// No more is read from a side while this much waits for the other side, so a fast
// sender meets the slow receiver's back pressure instead of filling memory.
constexpr size_t kMaxPending = size_t{1} << 20;
constexpr size_t kReadChunk = 64 * 1024;
// A read round ends after this much, so one busy connection cannot starve the others.
constexpr size_t kReadRound = 4 * kReadChunk;
// PostgreSQL's own limit is 1 GB; a longer length means the stream is not the protocol.
constexpr uint32_t kMaxMessage = uint32_t{1} << 30;
constexpr uint32_t kMaxStartup = 10000;
constexpr uint32_t kSslRequest = 80877103;
constexpr uint32_t kGssEncRequest = 80877104;

uint32_t ReadInt32(const char* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return ntohl(value);
}

// Bytes to go, consumed from the front without moving the rest each time.
class Buffer {
  public:
    size_t Size() const { return data_.size() - start_; }
    const char* Data() const { return data_.data() + start_; }
    void Append(const char* bytes, size_t count) { data_.append(bytes, count); }
    void Consume(size_t count) {
        start_ += count;
        if (start_ == data_.size()) {
            data_.clear();
            start_ = 0;
        } else if (start_ > kReadChunk && start_ > data_.size() / 2) {
            data_.erase(0, start_);
            start_ = 0;
        }
    }
    void Clear() { Consume(Size()); }

  private:
    std::string data_;
    size_t start_ = 0;
};

std::vector<std::string> UpperWords(std::string_view sql) {
    std::vector<std::string> words;
    std::string word;
    for (char c : sql) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ';') {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

bool IsCommit(std::string_view sql) {
    const auto words = UpperWords(sql);
    if (words.empty() || words.size() > 2 || (words[0] != "COMMIT" && words[0] != "END"))
        return false;
    return words.size() == 1 || words[1] == "WORK" || words[1] == "TRANSACTION";
}

bool IsCopy(std::string_view sql) {
    const auto words = UpperWords(sql.substr(0, 64));
    return !words.empty() && words[0] == "COPY";
}

// The text up to the terminating zero byte at or after offset.
std::string CString(std::string_view body, size_t offset) {
    if (offset >= body.size())
        return {};
    const size_t end = body.find('\0', offset);
    return std::string(body.substr(offset, end == std::string_view::npos ? end : end - offset));
}

void NoDelay(int fd) {
    // Without it, Nagle's algorithm and delayed acknowledgements add tens of
    // milliseconds to every small message the relay passes on.
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

struct Connection {
    int id = 0;
    int client = -1;
    int server = -1;
    bool connecting = true;
    bool dead = false;
    Buffer fromClient, toServer, fromServer, toClient;
    bool clientEof = false;
    bool serverEof = false;
    bool startupDone = false;
    bool sawCopy = false;
    int copyData = 0;
    bool stalled = false;
    // A COMMIT went to the server; its answer ends the connection instead of reaching
    // the client.
    bool cutPending = false;
    // Queries, Syncs and function calls sent that the server has not yet answered with
    // ReadyForQuery, and how many more ReadyForQuery answer the COMMIT.
    int readyOutstanding = 0;
    int readyAwaited = 0;
};

}  // namespace

struct FaultProxy::State {
    sockaddr_storage target{};
    socklen_t targetLength = 0;
    int listener = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    int port = 0;

    mutable std::mutex mutex;
    bool stop = false;
    bool stallAll = false;
    int stallAfterCopyData = 0;
    int commitsUntilCut = 0;
    bool cutOnlyCopy = true;
    bool stallAfterCut = false;
    int commitsCut = 0;
    std::vector<std::unique_ptr<Connection>> connections;
    std::vector<std::vector<std::string>> statements;
    std::thread thread;

    ~State() {
        for (int fd : {listener, wakeRead, wakeWrite})
            if (fd >= 0)
                ::close(fd);
    }

    void Wake() const {
        const char byte = 0;
        [[maybe_unused]] ssize_t ignored = ::write(wakeWrite, &byte, 1);
    }

    bool Stalled(const Connection& c) const { return stallAll || c.stalled; }

    // Ends the connection at once; its sockets are closed by the relay thread only, so that
    // a descriptor in its poll set is never reused meanwhile.
    static void Kill(Connection& c) {
        for (int fd : {c.client, c.server})
            if (fd >= 0)
                ::shutdown(fd, SHUT_RDWR);
        c.dead = true;
    }

    void Run();
    void Accept();
    void Service(Connection& c, short clientEvents, short serverEvents);
    void ParseClient(Connection& c);
    void ParseServer(Connection& c);
    void OnClientMessage(Connection& c, char type, std::string_view body);
    uint32_t WholeTypedMessage(Connection& c, const Buffer& in);
};

namespace {

// Reads what is there; false when the peer is gone.
bool Receive(int fd, Buffer& into) {
    char chunk[kReadChunk];
    for (size_t total = 0; total < kReadRound;) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            into.Append(chunk, static_cast<size_t>(n));
            total += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }
    return true;
}

// Writes what the socket takes; false when the peer is gone.
bool Send(int fd, Buffer& from) {
    while (from.Size() > 0) {
        const ssize_t n = ::send(fd, from.Data(), from.Size(), MSG_NOSIGNAL);
        if (n > 0)
            from.Consume(static_cast<size_t>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

}  // namespace

void FaultProxy::State::Run() {
    std::vector<pollfd> fds;
    std::vector<Connection*> polled;
    std::unique_lock lock(mutex);
    while (!stop) {
        fds.clear();
        polled.clear();
        fds.push_back({wakeRead, POLLIN, 0});
        fds.push_back({listener, POLLIN, 0});
        for (const auto& c : connections) {
            const bool stalled = Stalled(*c);
            short clientEvents = 0;
            short serverEvents = 0;
            if (!stalled && c->toServer.Size() < kMaxPending)
                clientEvents |= POLLIN;
            if (c->toClient.Size() > 0)
                clientEvents |= POLLOUT;
            if (c->connecting) {
                serverEvents = POLLOUT;
            } else {
                if (!stalled && c->toClient.Size() < kMaxPending)
                    serverEvents |= POLLIN;
                if (c->toServer.Size() > 0)
                    serverEvents |= POLLOUT;
            }
            // A side that has closed is polled no more: it would report itself for ever.
            fds.push_back({c->clientEof ? -1 : c->client, clientEvents, 0});
            fds.push_back({c->serverEof ? -1 : c->server, serverEvents, 0});
            polled.push_back(c.get());
        }
        lock.unlock();
        ::poll(fds.data(), fds.size(), kPollMillis);
        lock.lock();
        if (fds[0].revents != 0) {
            char bytes[64];
            while (::read(wakeRead, bytes, sizeof bytes) > 0) {
            }
        }
        if (fds[1].revents & POLLIN)
            Accept();
        for (size_t i = 0; i < polled.size(); ++i)
            Service(*polled[i], fds[2 + 2 * i].revents, fds[3 + 2 * i].revents);
        std::erase_if(connections, [](const std::unique_ptr<Connection>& c) {
            if (!c->dead)
                return false;
            for (int fd : {c->client, c->server})
                if (fd >= 0)
                    ::close(fd);
            return true;
        });
    }
    for (const auto& c : connections)
        for (int fd : {c->client, c->server})
            if (fd >= 0)
                ::close(fd);
    connections.clear();
}

void FaultProxy::State::Accept() {
    for (;;) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0)
            return;
        NoDelay(client);
        auto c = std::make_unique<Connection>();
        c->id = static_cast<int>(statements.size());
        statements.emplace_back();
        c->client = client;
        c->server = ::socket(target.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (c->server < 0) {
            Kill(*c);
        } else {
            NoDelay(c->server);
            if (::connect(c->server, reinterpret_cast<const sockaddr*>(&target), targetLength) == 0)
                c->connecting = false;
            else if (errno != EINPROGRESS)
                Kill(*c);
        }
        connections.push_back(std::move(c));
    }
}

void FaultProxy::State::Service(Connection& c, short clientEvents, short serverEvents) {
    if (c.dead)
        return;
    if (c.connecting) {
        if (serverEvents == 0)
            return;
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(c.server, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
            // The client sees its server close the connection, as with a refused one.
            Kill(c);
            return;
        }
        c.connecting = false;
    }
    constexpr short kGone = POLLHUP | POLLERR;
    constexpr short kReadable = POLLIN | kGone;
    if (Stalled(c)) {
        // Nothing is read, but a reset peer would make poll() report it in a busy loop.
        if ((clientEvents | serverEvents) & kGone)
            Kill(c);
    } else {
        if ((clientEvents & kReadable) && !Receive(c.client, c.fromClient))
            c.clientEof = true;
        ParseClient(c);
        if (!c.dead && !Stalled(c) && (serverEvents & kReadable) &&
            !Receive(c.server, c.fromServer))
            c.serverEof = true;
        if (!c.dead)
            ParseServer(c);
    }
    if (c.dead)
        return;
    if (!c.serverEof && !Send(c.server, c.toServer))
        c.serverEof = true;
    if (!c.clientEof && !Send(c.client, c.toClient))
        c.clientEof = true;
    // One side gone: what it sent still reaches the other (a server's last error message),
    // then both close.
    if (c.clientEof && (c.toServer.Size() == 0 || c.serverEof))
        Kill(c);
    if (c.serverEof && (c.toClient.Size() == 0 || c.clientEof))
        Kill(c);
}

void FaultProxy::State::ParseClient(Connection& c) {
    Buffer& in = c.fromClient;
    while (!c.dead && !Stalled(c)) {
        if (!c.startupDone) {
            // Length, then a request code or protocol version; no type byte yet.
            if (in.Size() < 8)
                return;
            const uint32_t length = ReadInt32(in.Data());
            if (length < 8 || length > kMaxStartup) {
                Kill(c);
                return;
            }
            if (in.Size() < length)
                return;
            const uint32_t code = ReadInt32(in.Data() + 4);
            if (code == kSslRequest || code == kGssEncRequest) {
                c.toClient.Append("N", 1);
            } else {
                c.toServer.Append(in.Data(), length);
                c.startupDone = true;
                // The server's greeting ends with a ReadyForQuery.
                c.readyOutstanding = 1;
            }
            in.Consume(length);
            continue;
        }
        const uint32_t length = WholeTypedMessage(c, in);
        if (length == 0)
            return;
        const char type = in.Data()[0];
        OnClientMessage(c, type, std::string_view(in.Data() + 5, length - 4));
        c.toServer.Append(in.Data(), size_t{length} + 1);
        in.Consume(size_t{length} + 1);
        if (type == 'd' && ++c.copyData >= stallAfterCopyData && stallAfterCopyData > 0)
            c.stalled = true;
    }
}

// The length field of the typed message at the front of the buffer once all of it has
// arrived; 0 while it has not, or when its length is impossible (the connection is killed).
uint32_t FaultProxy::State::WholeTypedMessage(Connection& c, const Buffer& in) {
    if (in.Size() < 5)
        return 0;
    const uint32_t length = ReadInt32(in.Data() + 1);
    if (length < 4 || length > kMaxMessage) {
        Kill(c);
        return 0;
    }
    return in.Size() < size_t{length} + 1 ? 0 : length;
}

void FaultProxy::State::OnClientMessage(Connection& c, char type, std::string_view body) {
    if (type == 'Q' || type == 'S' || type == 'F')
        ++c.readyOutstanding;
    if (type != 'Q' && type != 'P')
        return;
    // Parse: statement name, then the query text.
    const std::string sql = CString(body, type == 'Q' ? 0 : CString(body, 0).size() + 1);
    statements[c.id].push_back(sql);
    if (IsCopy(sql))
        c.sawCopy = true;
    if (commitsUntilCut == 0 || c.cutPending || !IsCommit(sql) || (cutOnlyCopy && !c.sawCopy))
        return;
    if (--commitsUntilCut > 0)
        return;
    c.cutPending = true;
    // A simple query is answered by the ReadyForQuery it has just been counted for; a
    // parsed one by that of the Sync still to come. CommandComplete usually comes first.
    c.readyAwaited = c.readyOutstanding + (type == 'P' ? 1 : 0);
}

void FaultProxy::State::ParseServer(Connection& c) {
    Buffer& in = c.fromServer;
    while (!c.dead && !Stalled(c)) {
        const uint32_t length = WholeTypedMessage(c, in);
        if (length == 0)
            return;
        const char type = in.Data()[0];
        const std::string_view body(in.Data() + 5, length - 4);
        bool committed = false;
        if (type == 'Z') {
            if (c.readyOutstanding > 0)
                --c.readyOutstanding;
            committed = c.cutPending && --c.readyAwaited <= 0;
        } else if (type == 'C' && c.cutPending) {
            // A COMMIT of a failed transaction answers ROLLBACK; it has ended all the same.
            const std::string tag = CString(body, 0);
            committed = tag == "COMMIT" || tag == "ROLLBACK";
        }
        if (!c.cutPending)
            c.toClient.Append(in.Data(), size_t{length} + 1);
        in.Consume(size_t{length} + 1);
        if (committed) {
            ++commitsCut;
            if (stallAfterCut)
                stallAll = true;
            Kill(c);
        }
    }
}

FaultProxy::FaultProxy(std::string targetHost, int targetPort) : state_(new State) {
    State& s = *state_;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(targetPort);
    if (::getaddrinfo(targetHost.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr)
        throw std::runtime_error("cannot resolve " + targetHost);
    std::memcpy(&s.target, found->ai_addr, found->ai_addrlen);
    s.targetLength = found->ai_addrlen;
    ::freeaddrinfo(found);

    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create a pipe");
    s.wakeRead = wake[0];
    s.wakeWrite = wake[1];

    s.listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s.listener < 0 ||
        ::bind(s.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s.listener, 64) != 0 ||
        ::getsockname(s.listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on a loopback port");
    s.port = ntohs(address.sin_port);
    s.thread = std::thread([&s] { s.Run(); });
}

FaultProxy::~FaultProxy() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stop = true;
    }
    state_->Wake();
    state_->thread.join();
}

int FaultProxy::Port() const {
    return state_->port;
}

void FaultProxy::CutAfterCommit(int nth, bool onlyCopyConnections, bool thenStall) {
    const std::lock_guard lock(state_->mutex);
    state_->commitsUntilCut = nth < 1 ? 1 : nth;
    state_->cutOnlyCopy = onlyCopyConnections;
    state_->stallAfterCut = thenStall;
}

void FaultProxy::StallAll() {
    const std::lock_guard lock(state_->mutex);
    state_->stallAll = true;
}

void FaultProxy::Resume() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stallAll = false;
        state_->stallAfterCopyData = 0;
        for (const auto& c : state_->connections)
            c->stalled = false;
    }
    state_->Wake();
}

void FaultProxy::StallAfterCopyData(int nthCopyDataMessage) {
    const std::lock_guard lock(state_->mutex);
    state_->stallAfterCopyData = nthCopyDataMessage < 1 ? 1 : nthCopyDataMessage;
}

void FaultProxy::CutAll() {
    {
        const std::lock_guard lock(state_->mutex);
        for (const auto& c : state_->connections)
            State::Kill(*c);
    }
    state_->Wake();
}

int FaultProxy::CommitsCut() const {
    const std::lock_guard lock(state_->mutex);
    return state_->commitsCut;
}

int FaultProxy::Connections() const {
    const std::lock_guard lock(state_->mutex);
    return static_cast<int>(state_->statements.size());
}

std::vector<std::vector<std::string>> FaultProxy::Statements() const {
    const std::lock_guard lock(state_->mutex);
    return state_->statements;
}

}  // namespace testdb
