#include "app/EventPump.h"

#include <QCoreApplication>

namespace korvanta {

EventPump::EventPump(int intervalMs) : intervalMs_(intervalMs) {
    sinceLast_.start();
}

void EventPump::LetThrough() {
    if (sinceLast_.elapsed() >= intervalMs_)
        LetThroughNow();
}

void EventPump::LetThroughNow() {
    QCoreApplication::processEvents();
    sinceLast_.restart();
}

}  // namespace korvanta
