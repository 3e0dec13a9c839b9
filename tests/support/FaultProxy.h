#pragma once

#include <memory>
#include <string>
#include <vector>

// A TCP relay between a PostgreSQL client and a real server that follows the wire
// protocol's message framing, so a test can break the connection at a chosen moment:
// right after the server committed, mid-COPY, or by a server that stops answering.
//
// It listens on 127.0.0.1 (an ephemeral port) and relays every accepted connection to
// the target on one background thread. It answers SSL and GSS encryption requests with
// "no" itself, so that clients go on in plain text, which it can read.
//
// Every fault can be set at any time from any thread. Destroying the proxy closes every
// socket within a fraction of a second, whatever the faults.
namespace testdb {

class FaultProxy {
  public:
    // Throws std::runtime_error when the host cannot be resolved or no port can be bound.
    FaultProxy(std::string targetHost, int targetPort);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    int Port() const;

    // The nth COMMIT (or END) that a client sends from now on goes to the server; once the
    // server has answered it, both sockets of that connection close and the client never
    // sees the answer: the commit happened, and the client cannot know. With
    // onlyCopyConnections, only COMMITs of connections that sent a COPY statement count.
    // One cut per call. With thenStall, every connection stalls from the cut on (as with
    // StallAll), so that the client cannot learn on a new connection what became of it.
    void CutAfterCommit(int nth = 1, bool onlyCopyConnections = true, bool thenStall = false);

    // Relays nothing more, either way, on every connection, present and future; sockets
    // stay open (a connection that the client resets is closed, though).
    void StallAll();
    // Relays again: undoes StallAll and StallAfterCopyData, stalled connections included.
    void Resume();
    // A connection stalls (as with StallAll) right after relaying its nth CopyData message.
    void StallAfterCopyData(int nthCopyDataMessage);

    // Closes both sides of every relayed connection now; new ones are still accepted.
    void CutAll();

    int CommitsCut() const;
    // Client connections accepted so far.
    int Connections() const;
    // The SQL of each connection (simple queries and parsed statements), in the order of
    // acceptance, closed connections included.
    std::vector<std::vector<std::string>> Statements() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace testdb
