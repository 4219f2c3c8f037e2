#pragma once
// What tests do with the DICOM sender beyond what the program does.
#include <QString>

#include <functional>

namespace Dicom {
// Calls the observer with the file right before each send (nullptr: none).
void setSendObserver(std::function<void(const QString& file)> observer);
// The reply timeout of the associations opened from now on, in seconds (0: the
// program's own, kReplyTimeoutSeconds).
void setReplyTimeout(int seconds);
// The connection timeout of the associations opened from now on, in seconds
// (0: the program's own, kConnectTimeoutSeconds).
void setConnectTimeout(int seconds);
// How many waits for the peer (to read, to write, for a reply) ran out of time
// so far, in the whole program.
int expiredWaits();
}
