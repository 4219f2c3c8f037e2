#include "core/WorkNotice.h"

#include "core/Mmain.h"
#include "core/Palette.h"
#include "platform/EventWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {
QPointer<QWidget>& shown()
{
    static QPointer<QWidget> w;
    return w;
}

QElapsedTimer& sincePump()
{
    static QElapsedTimer t;
    return t;
}

// Lets the window system map and paint the notice; user input waits.
void letPaint() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
}

WorkNotice::WorkNotice(const QString& line)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    auto* w = new QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    w->setObjectName(QStringLiteral("FrmNotice"));
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->setWindowTitle(QString::fromLatin1(Mmain::kProgramName));
    // The other windows take no input while the work runs, and cannot be closed.
    w->setWindowModality(Qt::ApplicationModal);
    w->setFixedSize(360, 120);
    if (Palette::PaletteFilled()) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, Palette::ToQColor(Palette::gPanelBackColor));
        w->setPalette(pal);
        w->setAutoFillBackground(true);
    }
    auto* name = new QLabel(QString::fromLatin1(Mmain::kProgramName), w);
    name->setObjectName(QStringLiteral("Label1"));
    QFont big = name->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    name->setFont(big);
    name->setGeometry(24, 16, 312, 36);
    auto* text = new QLabel(line, w);
    text->setObjectName(QStringLiteral("Label2"));
    text->setWordWrap(true);
    text->setGeometry(24, 58, 312, 46);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        w->move(r.center() - QPoint(w->width() / 2, w->height() / 2));
    }
    previous_ = shown();
    shown() = w;
    window_ = w;
    w->show();
    // On screen before the work starts: wait (a second at most) for the
    // window system to map it, then paint it at once.
    EventWait::until([w] { return !w->windowHandle() || w->windowHandle()->isExposed(); }, 1000);
    w->repaint();
    letPaint();
    sincePump().start();
}

WorkNotice::~WorkNotice()
{
    if (!window_)
        return;
    shown() = previous_;
    window_->hide();
    delete window_;
}

void WorkNotice::pump()
{
    if (!shown())
        return;
    if (sincePump().isValid() && sincePump().elapsed() < 100)
        return;
    letPaint();
    sincePump().start();
}

QWidget* WorkNotice::current() { return shown(); }

QString WorkNotice::preparingLine() { return QStringLiteral("正在准备数据库（建立查询和统计用的索引），请稍候……"); }
QString WorkNotice::convertingLine() { return QStringLiteral("正在转换早期版本的数据库，请稍候……"); }
QString WorkNotice::backupLine() { return QStringLiteral("正在备份数据库，请稍候……"); }
QString WorkNotice::restoreLine() { return QStringLiteral("正在还原数据库，请稍候……"); }
