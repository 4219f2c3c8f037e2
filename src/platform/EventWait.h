#pragma once
#include <QEventLoop>

#include <functional>

// Waiting on the GUI thread for something that happens elsewhere (a stream
// starting, a window mapped by the window system) without stopping the
// program: events of the given kinds are handled meanwhile, and between them
// the thread sleeps in the event dispatcher. Whatever makes done() true must
// arrive as an event (a queued call, a window-system event), which wakes the
// wait; done() is checked after each.
namespace EventWait {
inline constexpr int kNoLimit = -1;

// True when done() held before timeoutMs (kNoLimit: no limit) had passed. Events already waiting
// are handled before done() is first checked. Works also once the program has
// been asked to quit (a QEventLoop would return at once then).
bool until(const std::function<bool()>& done, int timeoutMs,
           QEventLoop::ProcessEventsFlags flags = QEventLoop::ExcludeUserInputEvents);
}
