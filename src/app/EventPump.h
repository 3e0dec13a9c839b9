#pragma once

#include <QElapsedTimer>

namespace korvanta {

// Lets pending window events through during long work, so the window repaints and
// answers. Asked at every row and field, it processes events at most once per
// interval: processing them at every field would dominate a large copy.
class EventPump {
  public:
    explicit EventPump(int intervalMs = 10);
    void LetThrough();
    // Processes events now, whatever the interval.
    void LetThroughNow();

  private:
    QElapsedTimer sinceLast_;
    int intervalMs_;
};

}  // namespace korvanta
