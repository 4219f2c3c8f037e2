#pragma once
#include <QString>
#include <memory>

class DcmDataset;
class DcmSCU;

// Sends DICOM data sets to the PACS by C-STORE over one association per
// conversion.
namespace Dicom {

inline constexpr int kConnectTimeoutSeconds = 10;
inline constexpr int kReplyTimeoutSeconds = 30;   // association and DIMSE replies

// One association to host:port, calling AE title callingTitle, called AE title
// calledTitle, opened on the first store and released when the object goes.
class Association {
public:
    Association(const QString& host, int port, const QString& callingTitle, const QString& calledTitle);
    ~Association();
    Association(const Association&) = delete;
    Association& operator=(const Association&) = delete;

    // Sends the data set of file. True when the peer stored it (status 0x0000 or
    // a warning); false with the reason in *why when the settings are bad, the
    // peer cannot be reached or refuses, or answers with a failure status. An
    // association that was dropped is opened anew once before the file fails.
    // Blocks for at most the timeouts above per step.
    bool store(DcmDataset& dataset, const QString& file, QString* why = nullptr);
    // Releases the association (also done by the destructor).
    void release();
    // How many associations were negotiated so far.
    int opened() const { return opened_; }

private:
    bool open(const QString& sopClass, QString* why);
    void drop();

    QString host_, calling_, called_;
    int port_ = 0;
    std::unique_ptr<DcmSCU> scu_;
    QString sopClass_;
    int opened_ = 0;
};

// Sends a converted picture over the conversion's association (Association::store):
// 0 on failure, with the reason in *why; 1 when the peer stored it.
int dcmfileSend(Association& pacs, DcmDataset& dataset, const QString& file, QString* why = nullptr);
}
