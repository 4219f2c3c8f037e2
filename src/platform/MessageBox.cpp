#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

namespace {
using State = MessageBox::internal::Script;
State& state() { return MessageBox::internal::script(); }

MessageBox::Answer safeAnswer(MessageBox::Buttons b)
{
    switch (b) {
    case MessageBox::Buttons::Ok: return MessageBox::Answer::Ok;
    case MessageBox::Buttons::OkCancel: return MessageBox::Answer::Cancel;
    case MessageBox::Buttons::YesNo: return MessageBox::Answer::No;
    case MessageBox::Buttons::YesNoCancel: return MessageBox::Answer::Cancel;
    case MessageBox::Buttons::RetryCancel: return MessageBox::Answer::Cancel;
    }
    return MessageBox::Answer::Cancel;
}
}

namespace MessageBox {

void echoToStandardError(const QString& title, const QString& text)
{
    std::fputs((title + QLatin1Char('\n') + text + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

Answer show(const QString& text, const QString& title, Icon icon, Buttons buttons, QWidget* parent)
{
    State& s = state();
    s.shown.append({text, title, icon, buttons});
    if (s.echo)
        echoToStandardError(title, text);
    if (s.scripted)
        return s.queue.isEmpty() ? safeAnswer(buttons) : s.queue.takeFirst();

    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    }
    struct B {
        QMessageBox::StandardButton sb;
        Answer a;
        const char* caption;
    };
    QList<B> list;
    switch (buttons) {
    case Buttons::Ok: list = {{QMessageBox::Ok, Answer::Ok, "确定"}}; break;
    case Buttons::OkCancel:
        list = {{QMessageBox::Ok, Answer::Ok, "确定"}, {QMessageBox::Cancel, Answer::Cancel, "取消"}};
        break;
    case Buttons::YesNo: list = {{QMessageBox::Yes, Answer::Yes, "是"}, {QMessageBox::No, Answer::No, "否"}}; break;
    case Buttons::YesNoCancel:
        list = {{QMessageBox::Yes, Answer::Yes, "是"},
                {QMessageBox::No, Answer::No, "否"},
                {QMessageBox::Cancel, Answer::Cancel, "取消"}};
        break;
    case Buttons::RetryCancel:
        list = {{QMessageBox::Retry, Answer::Retry, "重试"}, {QMessageBox::Cancel, Answer::Cancel, "取消"}};
        break;
    }
    QMessageBox::StandardButtons sbs;
    for (const B& b : list)
        sbs |= b.sb;
    box.setStandardButtons(sbs);
    for (const B& b : list)
        box.button(b.sb)->setText(QString::fromUtf8(b.caption));
    box.setDefaultButton(list.first().sb);
    const int r = box.exec();
    for (const B& b : list)
        if (r == b.sb)
            return b.a;
    return safeAnswer(buttons);
}

void setEchoToStandardError(bool on) { state().echo = on; }

void critical(const QString& text, const QString& title) { show(text, title, Icon::Critical, Buttons::Ok); }
void information(const QString& text, const QString& title) { show(text, title, Icon::Information, Buttons::Ok); }

internal::Script& internal::script()
{
    static Script s;
    return s;
}
}
