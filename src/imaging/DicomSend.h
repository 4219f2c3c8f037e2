#pragma once
#include <QString>
#include <functional>

// Sends DICOM files to the PACS by C-STORE, one association per file.
namespace Dicom {

inline constexpr int kConnectTimeoutSeconds = 10;
inline constexpr int kReplyTimeoutSeconds = 30;   // association and DIMSE replies

// Sends one file to host:port, calling AE title callingTitle, called AE title
// calledTitle. 0 on failure (peer down, refused, bad status, bad settings),
// with the reason in *why; 1 when the peer stored it (status 0x0000 or a
// warning). Blocks for at most the timeouts above.
int dcmfileSend(const QString& host, int port, const QString& callingTitle, const QString& calledTitle,
                const QString& file, QString* why = nullptr);

// Tests: called with the file right before each send.
void setSendObserver(std::function<void(const QString& file)> observer);
}
