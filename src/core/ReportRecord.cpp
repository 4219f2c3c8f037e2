#include "core/ReportRecord.h"

#include "core/Money.h"
#include "core/NumberText.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace ReportRecord {
namespace {

struct FieldInfo {
    const char* column;
    const char* label;
};

// Index = field number.
const FieldInfo kFields[kFieldCount] = {
    {"ctid", ""},
    {"brname", "病人姓名"},
    {"sex", "性　　别"},
    {"age", "年　　龄"},
    {"ageunit", "年　　龄"},
    {"bedid", "联系方式"},
    {"sectionoffice", "科　　室"},
    {"utpatientid", "申请医师"},
    {"inpatientid", "住 院 号"},
    {"pgdate", "检查日期"},
    {"rpdate", ""},
    {"pgdr", "复核医师"},
    {"rpdr", "报告医师"},
    {"facility", ""},
    {"times", "收费金额"},
    {"part", "检查部位"},
    {"checktechnique", "结   果"},
    {"checkname", "检查名称"},
    {"checksymptom", "描述"},
    {"checkconclusion", "诊断意见"},
    {"obligate1", "检查次数"},
    {"obligate2", "床　　号"},
    {"obligate3", "门 诊 号"},
    {"obligate4", "过敏试验"},
    {"obligate5", "检 查 号"},
    {"", ""},
    {"", ""},
    {"", ""},
    {"", ""},
    {"picture1", ""},
    {"picture2", ""},
    {"picture3", ""},
    {"picture4", ""},
};

bool validField(int f) { return f >= 0 && f < kFieldCount; }

// Fields 1..24 in statement order, and how each is encoded.
enum class Kind {
    Text,
    Number,
    Fee,
    Date,
    ReportDate,
    Facility
};
Kind kindOf(int f)
{
    switch (f) {
    case age:
    case obligate1: return Kind::Number;
    case times: return Kind::Fee;
    case pgdate: return Kind::Date;
    case rpdate: return Kind::ReportDate;
    case facility: return Kind::Facility;
    default: return Kind::Text;
    }
}

bool buildParams(const Texts& texts, const QString& facilityName, bool insert, const QDate& today, QVariantList& out,
                 int* badField)
{
    out.clear();
    for (int f = 1; f <= 24; ++f) {
        std::optional<QVariant> v;
        switch (kindOf(f)) {
        case Kind::Text: v = EncodeText(texts[f]); break;
        case Kind::Number: v = EncodeNumber(texts[f]); break;
        case Kind::Fee: v = EncodeFee(texts[f]); break;
        case Kind::Date: v = EncodeDate(texts[f]); break;
        case Kind::ReportDate:
            if (!insert)
                continue;
            v = QVariant(DateText(today));
            break;
        case Kind::Facility: v = QVariant(facilityName.isNull() ? QStringLiteral("") : facilityName); break;
        }
        if (!v) {
            if (badField)
                *badField = f;
            out.clear();
            return false;
        }
        out.append(*v);
    }
    return true;
}

QVariant numberValue(double d)
{
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.0e15)
        return QVariant(qlonglong(d));
    return QVariant(d);
}
}

QString ColumnName(int field) { return validField(field) ? QString::fromLatin1(kFields[field].column) : QString(); }
QString DesignLabel(int field) { return validField(field) ? QString::fromUtf8(kFields[field].label) : QString(); }

int FieldOfItem(int item)
{
    if (item < 1 || item > int(kItemFields.size()))
        return -1;
    return kItemFields[size_t(item - 1)];
}

std::optional<double> ParseNumber(const QString& text) { return NumberText::Parse(text); }

std::optional<QDate> ParseDate(const QString& text)
{
    static const QRegularExpression sep(QStringLiteral("^\\s*(\\d{4}|\\d{2})([-/.])(\\d{1,2})\\2(\\d{1,2})\\s*$"));
    static const QRegularExpression cjk(QStringLiteral("^\\s*(\\d{4}|\\d{2})年(\\d{1,2})月(\\d{1,2})日\\s*$"));
    int m = 0, d = 0;
    QString year;
    if (const auto a = sep.match(text); a.hasMatch()) {
        year = a.captured(1);
        m = a.captured(3).toInt();
        d = a.captured(4).toInt();
    } else if (const auto b = cjk.match(text); b.hasMatch()) {
        year = b.captured(1);
        m = b.captured(2).toInt();
        d = b.captured(3).toInt();
    } else {
        return std::nullopt;
    }
    int y = year.toInt();
    // A two-digit year as the platform the records come from read it:
    // 00-29 are 2000-2029, 30-99 are 1930-1999.
    if (year.size() == 2)
        y += y < 30 ? 2000 : 1900;
    const QDate date(y, m, d);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString DateText(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")); }

QVariant EncodeText(const QString& text)
{
    if (text.isEmpty())
        return QVariant();
    return QVariant(text);
}

std::optional<QVariant> EncodeNumber(const QString& text)
{
    if (text.isEmpty())
        return QVariant();
    const auto d = ParseNumber(text);
    if (!d)
        return std::nullopt;
    return numberValue(*d);
}

std::optional<QVariant> EncodeFee(const QString& text)
{
    if (text.isEmpty())
        return QVariant(qlonglong(0));
    const auto d = ParseNumber(text);
    if (!d)
        return std::nullopt;
    // Stored to the cent, 1.005 as 1.01.
    const std::optional<qint64> cents = Money::Cents(*d);
    if (!cents)
        return std::nullopt;
    return Money::Value(*cents);
}

std::optional<QVariant> EncodeDate(const QString& text)
{
    if (text.isEmpty())
        return QVariant();
    const auto d = ParseDate(text);
    if (!d)
        return std::nullopt;
    return QVariant(DateText(*d));
}

QString InsertSql()
{
    return QStringLiteral(
        "INSERT INTO reports (brname,sex,age,ageunit,bedid,sectionoffice,utpatientid,inpatientid,pgdate,rpdate,"
        "pgdr,rpdr,facility,times,part,checktechnique,checkname,checksymptom,checkconclusion,obligate1,obligate2,"
        "obligate3,obligate4,obligate5) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
}

QString UpdateSql()
{
    return QStringLiteral(
        "UPDATE reports SET brname=?,sex=?,age=?,ageunit=?,bedid=?,sectionoffice=?,utpatientid=?,inpatientid=?,"
        "pgdate=?,pgdr=?,rpdr=?,facility=?,times=?,part=?,checktechnique=?,checkname=?,checksymptom=?,"
        "checkconclusion=?,obligate1=?,obligate2=?,obligate3=?,obligate4=?,obligate5=? WHERE ctid=?");
}

QString PicturesSql() { return PicturesSql({true, true, true, true}); }

QString PicturesSql(const std::array<bool, 4>& write)
{
    QStringList set;
    for (int k = 0; k < 4; ++k)
        if (write[size_t(k)])
            set.append(QStringLiteral("picture%1=?").arg(k + 1));
    if (set.isEmpty())
        return QString();
    return QStringLiteral("UPDATE reports SET %1 WHERE ctid=?").arg(set.join(QLatin1Char(',')));
}

bool InsertParams(const Texts& texts, const QString& facilityName, const QDate& today, QVariantList& out, int* badField)
{
    return buildParams(texts, facilityName, true, today, out, badField);
}

bool UpdateParams(const Texts& texts, const QString& facilityName, qint64 key, QVariantList& out, int* badField)
{
    if (!buildParams(texts, facilityName, false, QDate(), out, badField))
        return false;
    out.append(QVariant(qlonglong(key)));
    return true;
}

QString ValueText(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    switch (v.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float: return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::QByteArray: return v.toByteArray().isEmpty() ? QString() : QStringLiteral("?");
    case QMetaType::QDate: return DateText(v.toDate());
    default: return v.toString();
    }
}

QString FeeText(const QVariant& v)
{
    // Any stored amount to the cent, however large; what is no amount as it is.
    const Money::Stored fee = Money::Read(v);
    return fee.kind == Money::Stored::Amount ? Money::Text(fee.cents) : ValueText(v);
}

std::optional<qint64> ParseKey(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*\\d{1,18}\\s*$"));
    if (!re.match(text).hasMatch())
        return std::nullopt;
    return text.trimmed().toLongLong();
}
}
