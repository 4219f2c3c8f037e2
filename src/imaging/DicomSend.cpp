#include "imaging/DicomSend.h"
#include "imaging/DicomSendTesting.h"

#include "imaging/DicomFile.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dcmtrans.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include <csignal>
#include <mutex>

namespace Dicom {
namespace {

std::function<void(const QString&)>& observer()
{
    static std::function<void(const QString&)> o;
    return o;
}

bool fail(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return false;
}

QString conditionText(const OFCondition& c) { return QString::fromLocal8Bit(c.text()); }

bool storedStatus(Uint16 status)
{
    return status == STATUS_Success || status == STATUS_STORE_Warning_CoercionOfDataElements
           || status == STATUS_STORE_Warning_ElementsDiscarded
           || status == STATUS_STORE_Warning_DataSetDoesNotMatchSOPClass;
}

void setUpOnce()
{
    // A peer that drops the connection must end the send, not the program.
    // A peer that stops reading or writing mid-transfer ends the send within
    // the reply timeout too. The toolkit's progress notes stay quiet; its
    // warnings and errors still show.
    static std::once_flag once;
    std::call_once(once, [] {
        std::signal(SIGPIPE, SIG_IGN);
        dcmSocketSendTimeout.set(kReplyTimeoutSeconds);
        dcmSocketReceiveTimeout.set(kReplyTimeoutSeconds);
        OFLog::configure(OFLogger::WARN_LOG_LEVEL);
    });
}
}

Association::Association(const QString& host, int port, const QString& callingTitle, const QString& calledTitle)
    : host_(host.trimmed()), calling_(callingTitle), called_(calledTitle), port_(port)
{}

Association::~Association() { release(); }

void Association::release()
{
    if (scu_ && scu_->isConnected())
        scu_->releaseAssociation();
    scu_.reset();
}

void Association::drop()
{
    if (scu_ && scu_->isConnected())
        scu_->abortAssociation();
    scu_.reset();
}

bool Association::open(const QString& sopClass, QString* why)
{
    drop();
    if (host_.isEmpty())
        return fail(why, QStringLiteral("服务器地址为空"));
    if (port_ < 1 || port_ > 65535)
        return fail(why, QStringLiteral("服务器端口号 %1 不在 1..65535 之内").arg(port_));
    if (!ValidTitle(calling_) || !ValidTitle(called_))
        return fail(why, QStringLiteral("服务器Title应为1到16个英文字符"));
    auto scu = std::make_unique<DcmSCU>();
    scu->setAETitle(calling_.toLatin1().constData());
    scu->setPeerAETitle(called_.toLatin1().constData());
    scu->setPeerHostName(host_.toLatin1().constData());
    scu->setPeerPort(Uint16(port_));
    scu->setConnectionTimeout(kConnectTimeoutSeconds);
    scu->setACSETimeout(kReplyTimeoutSeconds);
    scu->setDIMSETimeout(kReplyTimeoutSeconds);
    scu->setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    OFCondition c = scu->addPresentationContext(sopClass.toLatin1().constData(), syntaxes);
    if (c.good())
        c = scu->initNetwork();
    if (c.good())
        c = scu->negotiateAssociation();
    if (c.bad())
        return fail(why, QStringLiteral("无法与服务器建立连接：%1").arg(conditionText(c)));
    ++opened_;
    scu_ = std::move(scu);
    sopClass_ = sopClass;
    if (scu_->findPresentationContextID(sopClass.toLatin1().constData(), "") == 0) {
        release();
        return fail(why, QStringLiteral("服务器不接收此类图像"));
    }
    return true;
}

bool Association::store(DcmDataset& dataset, const QString& file, QString* why)
{
    setUpOnce();
    if (observer())
        observer()(file);
    OFString sop;
    if (dataset.findAndGetOFString(DCM_SOPClassUID, sop).bad() || sop.empty())
        return fail(why, QStringLiteral("DICOM文件没有SOP类别：%1").arg(file));
    const QString sopClass = QString::fromLatin1(sop.c_str());
    // A peer may have closed an idle association or dropped it after the last
    // file: such a file is tried once more over a new association. A failure
    // status is the peer's answer and is not retried.
    const bool wasOpen = scu_ && scu_->isConnected() && sopClass_ == sopClass;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool reused = attempt == 0 && wasOpen;
        if (!reused && !open(sopClass, why))
            return false;
        const T_ASC_PresentationContextID presId = scu_->findPresentationContextID(sop, "");
        Uint16 status = 0xFFFF;
        const OFCondition c = scu_->sendSTORERequest(presId, OFFilename(), &dataset, status);
        if (c.good()) {
            if (!storedStatus(status))
                return fail(why,
                            QStringLiteral("服务器拒绝保存图像（状态 0x%1）").arg(status, 4, 16, QLatin1Char('0')));
            return true;
        }
        drop();
        fail(why, QStringLiteral("图像发送中断：%1").arg(conditionText(c)));
    }
    return false;
}

int dcmfileSend(Association& pacs, DcmDataset& dataset, const QString& file, QString* why)
{
    return pacs.store(dataset, file, why) ? 1 : 0;
}

void setSendObserver(std::function<void(const QString&)> o) { observer() = std::move(o); }
}
