#include "report/ReportData.h"

#include "core/Money.h"
#include "core/NumberText.h"
#include "core/ReportStore.h"
#include "platform/AppPaths.h"
#include "platform/PrivateFile.h"
#include "report/ReportUnits.h"

#include <QDate>
#include <QDir>
#include <QFile>

namespace ReportData {

QString previewPictureFile(int k) { return AppPaths::imageFolder() + QStringLiteral("/rptview%1.jpg").arg(k); }

// Fees up to the editor's largest amount print to the cent; a larger one as stored.
constexpr Money::WideCents kMaxCents = Money::WideCents(Money::kMaxYuan) * 100;

QString signedNumberText(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    const QString text = v.toString().trimmed();
    if (text.isEmpty())
        return QString();
    const auto n = NumberText::Parse(text);
    if (!n)
        return v.toString();
    const QString digits = QString::number(std::abs(*n), 'g', 15);
    return (*n < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + digits;
}

namespace {
QString dateText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QString();
    for (const QString& f : {QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d"),
                             QStringLiteral("yyyy.M.d")}) {
        const QDate d =
            QDate::fromString(t.left(t.indexOf(QLatin1Char(' ')) < 0 ? t.size() : t.indexOf(QLatin1Char(' '))), f);
        if (d.isValid())
            return d.toString(QStringLiteral("yyyy-MM-dd"));
    }
    return text;
}

}

void removePreviewPictures()
{
    for (int k = 1; k <= 4; ++k)
        QFile::remove(previewPictureFile(k));
}

QueryResult loadItemCaptions(QStringList& captions)
{
    QStringList read;
    const QueryResult r = ReportStore::ItemCaptions(read);
    captions = QStringList();
    for (int i = 0; i < PrintSettings::kItems; ++i)
        captions.append(i < read.size() ? read[i] : QString());
    return r;
}

QueryResult loadReport(qint64 ctid, ReportContent& content)
{
    content = ReportContent();
    PrivateFile::makeFolder(AppPaths::imageFolder());
    removePreviewPictures();
    QueryResult r = ReportStore::Load(ctid);
    if (!r.hasRows() || r.data->recordCount() == 0)
        return r;
    using namespace ReportRecord;
    const RecordSet& rs = *r.data;
    for (int i = brname; i <= obligate5; ++i) {
        switch (i) {
        case age: content.values[i] = signedNumberText(rs.value(0, age)) + rs.value(0, ageunit).toString(); break;
        case times: {
            // The fee as the editor and the lists show it: rounded to the cent.
            const QVariant fee = rs.value(0, i);
            const Money::Stored read = Money::Read(fee);
            const bool toCent =
                read.kind == Money::Stored::Amount && read.cents >= -kMaxCents && read.cents <= kMaxCents;
            content.values[i] = signedNumberText(toCent ? Money::Value(qint64(read.cents)) : fee);
            break;
        }
        case obligate1: content.values[i] = signedNumberText(rs.value(0, i)); break;
        case pgdate:
        case rpdate: content.values[i] = dateText(rs.value(0, i).toString()); break;
        default: content.values[i] = rs.value(0, i).toString();
        }
    }
    for (int k = 1; k <= 4; ++k) {
        const QVariant v = rs.value(0, kFirstPictureField + k - 1);
        const QByteArray bytes = v.isNull() ? QByteArray() : v.toByteArray();
        if (bytes.isEmpty())
            continue;
        const QString file = previewPictureFile(k);
        if (PrivateFile::writeNew(file, bytes) == 0) {
            content.pictures[k - 1] = file;
        } else {
            r.number = AppError::PathFileAccess;
            r.description = QStringLiteral("无法写入图片文件：") + file;
        }
    }
    return r;
}
}
