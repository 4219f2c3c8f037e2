#include "imaging/DicomSettings.h"

#include "core/Database.h"
#include "platform/AppError.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace DicomSettings {

bool OutputFolderUsable(const QString& folder)
{
    if (folder.size() < 2 || !folder.startsWith(QLatin1Char('/')))
        return false;
    int start = 0;
    while (start < folder.size() && folder[start] == QLatin1Char('/'))
        ++start;
    const int end = folder.indexOf(QLatin1Char('/'), start);
    const QString first = folder.left(end < 0 ? folder.size() : end);
    return QFileInfo::exists(first);
}

QString CutTrailingSeparator(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
}

bool SafeFolderName(const QString& name)
{
    static const QString forbidden = QStringLiteral("/\\?*<>|\":");
    if (name == QLatin1String(".") || name.contains(QLatin1String("..")))
        return false;
    for (QChar c : name)
        if (c.isNull() || forbidden.contains(c))
            return false;
    return true;
}

std::optional<int> CounterText(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*\\+?\\d{1,10}\\s*$"));
    if (!re.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < 0 || v > kCounterMax)
        return std::nullopt;
    return int(v);
}

std::optional<int> ReadCounter(const QString& name, QString* failure)
{
    auto failed = [failure](const QString& text) {
        *failure = text;
        return std::nullopt;
    };
    const QueryResult r = Database::QueryData(QStringLiteral("select * from DCMConvertCS where CSname = ?"), {name});
    if (r.noRows())
        return failed(QStringLiteral("参数表数据错误！"));
    if (!r.hasRows())
        return failed(r.description);
    // CSid is read as a 32-bit signed number: a text that is no number is a
    // type mismatch, a fraction is rounded, a value out of range an overflow.
    bool ok = false;
    const double d = r.data->value(0, 1).toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return failed(AppError::format(AppError::TypeMismatch, QStringLiteral("类型不匹配")));
    const double n = std::nearbyint(d);
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        return failed(AppError::format(AppError::Overflow, QStringLiteral("溢出")));
    return int(n);
}

QueryResult WriteCounter(const QString& name, int value)
{
    return Database::ExecuteSql(QStringLiteral("update DCMConvertCS set CSid = ? where CSname = ?"), {value, name});
}
}
