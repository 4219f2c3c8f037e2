#include "support/CoreKit.h"

#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/QvButton.h"
#include "core/QvTextBox.h"
#include "core/login.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <unistd.h>

namespace corekit {

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QString lastText()
{
    return MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().text;
}

QString lastTitle()
{
    return MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().title;
}

void actAsAdmin(const QString& userName)
{
    Mmain::gUserId = QStringLiteral("admin");
    Mmain::gUserName = userName;
    Mmain::gRights.fill(true);
}

login* openLogin()
{
    if (!login::current())
        Mmain::ShowLogin();
    login* w = login::current();
    if (w) {
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w);
    }
    return w;
}

FrmMain* logIn(const QString& code, const QString& password)
{
    login* l = openLogin();
    if (!l)
        return nullptr;
    l->Text1->setText(code);
    l->Text2->setText(password);
    l->buttonlogin->click();
    flushDeletes();
    FrmMain* w = FrmMain::current();
    if (w) {
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w);
    }
    return w;
}

void closeWindows()
{
    if (FrmMain* m = FrmMain::current())
        m->close();
    if (login* l = login::current())
        l->close();
    flushDeletes();
}

int queryInt(const QString& sql, const QVariantList& params)
{
    const QueryResult r = Database::QueryData(sql, params);
    return r.hasRows() ? r.data->value(0, 0).toInt() : -1;
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

Unwritable::Unwritable(const QString& path) : path_(path)
{
    if (geteuid() != 0) {
        perms_ = QFile::permissions(path_);
        ok_ = QFile::setPermissions(
            path_, perms_ & ~(QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther));
    } else {
        ok_ = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
    }
}

Unwritable::~Unwritable() { undo(); }

void Unwritable::undo()
{
    if (!ok_)
        return;
    ok_ = false;
    if (geteuid() != 0)
        QFile::setPermissions(path_, perms_);
    else
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
}

}
