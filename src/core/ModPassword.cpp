#include "core/ModPassword.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QProxyStyle>

#include <sodium.h>

namespace {
bool ready()
{
    static const bool ok = sodium_init() >= 0;
    return ok;
}

// The application's style with "*" as the password character.
class StarStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};
}

namespace ModPassword {

QVariant HashPassword(const QString& password)
{
    if (password.isEmpty())
        return QVariant(QMetaType::fromType<QString>());   // Null
    if (!ready())
        return QVariant();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        return QVariant();
    return QString::fromLatin1(out);
}

void MaskWithStars(QLineEdit* box)
{
    // One style for every password box, living as long as the application.
    static QPointer<StarStyle> style;
    if (!style) {
        style = new StarStyle;
        style->setParent(QCoreApplication::instance());
    }
    box->setStyle(style);
    box->setEchoMode(QLineEdit::Password);
}

bool IsHash(const QString& stored) { return stored.startsWith(QLatin1String("$argon2")); }

bool PasswordMatches(const QVariant& stored, const QString& typed)
{
    if (!stored.isValid() || stored.isNull())
        return typed.isEmpty();
    const QString hash = stored.toString();
    // A stored empty text is not the empty password, and a value that is not
    // one of our hashes accepts nothing.
    if (typed.isEmpty() || !IsHash(hash) || !ready())
        return false;
    const QByteArray h = hash.toLatin1();
    const QByteArray t = typed.toUtf8();
    return crypto_pwhash_str_verify(h.constData(), t.constData(), static_cast<unsigned long long>(t.size())) == 0;
}

QueryResult ReadUser(const QString& userId)
{
    return Database::QueryData(QStringLiteral("SELECT * FROM user WHERE userid = ?"), {userId});
}

QueryResult StorePassword(const QString& userId, const QVariant& stored)
{
    return Database::ExecuteSql(QStringLiteral("UPDATE user SET userpassword = ? WHERE userid = ?"), {stored, userId});
}
}
