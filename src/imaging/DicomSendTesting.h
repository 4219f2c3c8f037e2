#pragma once
// What tests do with the DICOM sender beyond what the program does.
#include "imaging/DicomSend.h"

#include <QString>

#include <functional>

namespace Dicom {
// Calls the observer with the file right before each send (nullptr: none).
inline void setSendObserver(std::function<void(const QString& file)> observer)
{
    internal::sendHooks().beforeSend = std::move(observer);
}
// Calls the observer with the socket of each connection made to a peer, as
// soon as it stands, on the sending thread (nullptr: none).
inline void setConnectionObserver(std::function<void(int socket)> observer)
{
    internal::sendHooks().connectionMade = std::move(observer);
}
// The reply timeout of the associations opened from now on, in seconds (0: the
// program's own, kReplyTimeoutSeconds).
inline void setReplyTimeout(int seconds)
{
    internal::sendHooks().replyTimeout = seconds > 0 ? seconds : kReplyTimeoutSeconds;
}
// The connection timeout of the associations opened from now on, in seconds
// (0: the program's own, kConnectTimeoutSeconds).
inline void setConnectTimeout(int seconds)
{
    internal::sendHooks().connectTimeout = seconds > 0 ? seconds : kConnectTimeoutSeconds;
}
// How many waits for the peer (to read, to write, for a reply) ran out of time
// so far, in the whole program.
inline int expiredWaits() { return internal::sendHooks().expiredWaits.load(); }
// How many sends wait right now for a peer to accept their connection.
inline int connectsWaiting() { return internal::sendHooks().connectsWaiting.load(); }
}
