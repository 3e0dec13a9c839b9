#pragma once

#include <set>

namespace adodb::detail {

// TCP keepalives for the sockets a driver opens while it connects. A driver that keeps the
// system's defaults (psqlODBC does) waits over two hours for the answer of a peer that
// vanished without a word, a network cut or a server machine gone; with these the socket
// fails within about a minute and the driver reports the connection lost. (Data the peer
// never acknowledges is already given up by TCP's retransmission limit.) The
// sockets are found as the TCP sockets the process holds after connecting and did not
// hold before; a socket another thread opened meanwhile gets the same settings, which do
// no harm on a connection of this program.
class DriverSockets {
  public:
    // Notes the TCP sockets open now.
    DriverSockets();
    // Sets keepalives on every TCP socket opened since; returns how many.
    int KeepAliveNew() const;

  private:
    std::set<int> before_;
};

}  // namespace adodb::detail
