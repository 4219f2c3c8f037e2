#include "imaging/DicomSend.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dcmtrans.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include <QFile>

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

// An AE title is 1..16 characters of the default repertoire, no backslash or control character.
bool validTitle(const QString& title)
{
    if (title.trimmed().isEmpty() || title.size() > 16)
        return false;
    for (QChar ch : title)
        if (ch.unicode() < 0x20 || ch.unicode() > 0x7E || ch == QLatin1Char('\\'))
            return false;
    return true;
}

bool send(const QString& host, int port, const QString& calling, const QString& called, const QString& file,
          QString* why)
{
    if (host.trimmed().isEmpty())
        return fail(why, QStringLiteral("服务器地址为空"));
    if (port < 1 || port > 65535)
        return fail(why, QStringLiteral("服务器端口号 %1 不在 1..65535 之内").arg(port));
    if (!validTitle(calling) || !validTitle(called))
        return fail(why, QStringLiteral("服务器Title应为1到16个英文字符"));

    DcmFileFormat ff;
    OFCondition c = ff.loadFile(OFFilename(QFile::encodeName(file).constData()));
    if (c.bad())
        return fail(why, QStringLiteral("无法读取DICOM文件 %1：%2").arg(file, conditionText(c)));
    OFString sopClass;
    if (ff.getDataset()->findAndGetOFString(DCM_SOPClassUID, sopClass).bad() || sopClass.empty())
        return fail(why, QStringLiteral("DICOM文件没有SOP类别：%1").arg(file));

    DcmSCU scu;
    scu.setAETitle(calling.toLatin1().constData());
    scu.setPeerAETitle(called.toLatin1().constData());
    scu.setPeerHostName(host.trimmed().toLatin1().constData());
    scu.setPeerPort(Uint16(port));
    scu.setConnectionTimeout(kConnectTimeoutSeconds);
    scu.setACSETimeout(kReplyTimeoutSeconds);
    scu.setDIMSETimeout(kReplyTimeoutSeconds);
    scu.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    c = scu.addPresentationContext(sopClass, syntaxes);
    if (c.good())
        c = scu.initNetwork();
    if (c.good())
        c = scu.negotiateAssociation();
    if (c.bad())
        return fail(why, QStringLiteral("无法与服务器建立连接：%1").arg(conditionText(c)));

    const T_ASC_PresentationContextID presId = scu.findPresentationContextID(sopClass, "");
    if (presId == 0) {
        scu.releaseAssociation();
        return fail(why, QStringLiteral("服务器不接收此类图像"));
    }
    Uint16 status = 0xFFFF;
    c = scu.sendSTORERequest(presId, OFFilename(), ff.getDataset(), status);
    if (c.bad()) {
        scu.abortAssociation();
        return fail(why, QStringLiteral("图像发送中断：%1").arg(conditionText(c)));
    }
    scu.releaseAssociation();
    const bool stored = status == STATUS_Success || status == STATUS_STORE_Warning_CoercionOfDataElements
                        || status == STATUS_STORE_Warning_ElementsDiscarded
                        || status == STATUS_STORE_Warning_DataSetDoesNotMatchSOPClass;
    if (!stored)
        return fail(why, QStringLiteral("服务器拒绝保存图像（状态 0x%1）").arg(status, 4, 16, QLatin1Char('0')));
    return true;
}
}

int dcmfileSend(const QString& host, int port, const QString& callingTitle, const QString& calledTitle,
                const QString& file, QString* why)
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
    if (observer())
        observer()(file);
    return send(host, port, callingTitle, calledTitle, file, why) ? 1 : 0;
}

void setSendObserver(std::function<void(const QString&)> o) { observer() = std::move(o); }
}
