#pragma once

#include <QString>

namespace korvanta {

// The six connection values, as the boxes of the connection window hold them now.
struct ConnectionValues {
    QString server;          // Text1
    QString port;            // Text2
    QString user;            // Text3
    QString password;        // Text4
    QString database;        // Text5
    QString dataSourceName;  // Text6
};

// Whatever holds the current connection values: the connection window, or a test.
class ConnectionSource {
  public:
    virtual ~ConnectionSource() = default;
    virtual ConnectionValues CurrentConnectionValues() const = 0;
};

}  // namespace korvanta
