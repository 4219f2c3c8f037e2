#include "core/TypedText.h"

#include "platform/MessageBox.h"

#include <QChar>
#include <QLineEdit>

namespace TypedText {
namespace {

bool isControl(char32_t ch) { return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F); }

bool isDirection(char32_t ch)
{
    return ch == 0x061C || ch == 0x200E || ch == 0x200F || (ch >= 0x202A && ch <= 0x202E)
           || (ch >= 0x2066 && ch <= 0x2069);
}

bool isLineBreak(char32_t ch) { return ch == U'\n' || ch == U'\r'; }

// What stands before a joiner in an emoji sequence: a pictograph, its
// presentation selector or a skin tone.
bool emojiBefore(char32_t ch)
{
    return ch == 0xFE0F || (ch >= 0x1F3FB && ch <= 0x1F3FF) || QChar::category(ch) == QChar::Symbol_Other;
}
bool emojiAfter(char32_t ch) { return QChar::category(ch) == QChar::Symbol_Other; }

// The code point at i (a lone surrogate as itself) and its length in units.
char32_t codeAt(const QString& text, qsizetype i, qsizetype* units)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    *units = 1;
    return c.unicode();
}

// The code point that ends just before i, or 0 at the start.
char32_t codeBefore(const QString& text, qsizetype i)
{
    if (i <= 0)
        return 0;
    const QChar c = text.at(i - 1);
    if (c.isLowSurrogate() && i >= 2 && text.at(i - 2).isHighSurrogate())
        return QChar::surrogateToUcs4(text.at(i - 2), c);
    return c.unicode();
}

QString code(char32_t ch) { return QStringLiteral("U+%1").arg(uint(ch), 4, 16, QLatin1Char('0')).toUpper(); }
}

std::optional<Refused> FirstRefused(const QString& text, Kind kind)
{
    qsizetype units = 1;
    for (qsizetype i = 0; i < text.size(); i += units) {
        const char32_t ch = codeAt(text, i, &units);
        bool refused = false;
        if (QChar::isSurrogate(ch))
            refused = true;
        else if (isControl(ch))
            refused = !(kind == Kind::Free && (ch == U'\t' || isLineBreak(ch)));
        else if (ch == 0x2028 || ch == 0x2029 || ch == 0x200B || ch == 0xFEFF || isDirection(ch))
            refused = true;
        else if (ch == 0x200D) {
            qsizetype next = 0;
            refused =
                i + 1 >= text.size() || !emojiBefore(codeBefore(text, i)) || !emojiAfter(codeAt(text, i + 1, &next));
        }
        if (refused)
            return Refused{i, ch};
    }
    return std::nullopt;
}

QString CharacterName(char32_t ch)
{
    switch (ch) {
    case U'\t': return QStringLiteral("制表符");
    case U'\n':
    case U'\r': return QStringLiteral("换行符");
    case 0: return QStringLiteral("空字符 U+0000");
    case 0x2028: return QStringLiteral("行分隔符 U+2028");
    case 0x2029: return QStringLiteral("段落分隔符 U+2029");
    case 0x200B: return QStringLiteral("零宽空格 U+200B");
    case 0x200D: return QStringLiteral("零宽连接符 U+200D");
    case 0xFEFF: return QStringLiteral("字节顺序标记 U+FEFF");
    default: break;
    }
    if (isControl(ch))
        return QStringLiteral("控制字符 ") + code(ch);
    if (isDirection(ch))
        return QStringLiteral("文字方向控制符 ") + code(ch);
    if (QChar::isSurrogate(ch))
        return QStringLiteral("不成对的代理码 ") + code(ch);
    return QString::fromUcs4(&ch, 1);
}

QString RefusedText(const QString& field, char32_t ch)
{
    return QStringLiteral("%1含有不允许的字符（%2），请重新输入").arg(field, CharacterName(ch));
}

QString RefusedStoredText(const QString& field, char32_t ch, const QString& window)
{
    return QStringLiteral("%1含有不允许的字符（%2），请在 %3 中改正").arg(field, CharacterName(ch), window);
}

bool LinesClean(std::initializer_list<std::pair<QLineEdit*, QString>> fields)
{
    for (const auto& [box, name] : fields)
        if (const auto refused = FirstRefused(box->text(), Kind::OneLine)) {
            MessageBox::critical(RefusedText(name, refused->character), MessageBox::kErrorTitle);
            box->setFocus();
            box->selectAll();
            return false;
        }
    return true;
}

QString FieldName(const QString& caption)
{
    QString name = caption;
    name.remove(QLatin1Char(' ')).remove(QChar(0x3000));
    while (name.endsWith(QChar(0xFF1A)) || name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name;
}
}
