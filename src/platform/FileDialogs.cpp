#include "platform/FileDialogs.h"
#include "platform/FileDialogsTesting.h"

#include "platform/MessageBox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {
struct State {
    bool scripted = false;
    QStringList queue;
    QList<FileDialogs::Asked> asked;
};
State& state()
{
    static State s;
    return s;
}
QString scriptedAnswer() { return state().queue.isEmpty() ? QString() : state().queue.takeFirst(); }
}

namespace FileDialogs {

QString getOpenFileName(QWidget* parent, const QString& title, const QString& folder, const QString& filter)
{
    state().asked.append({QStringLiteral("open"), title, folder, filter});
    if (state().scripted)
        return scriptedAnswer();
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString getSaveFileName(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                        bool confirmOverwrite)
{
    QString start = folder;
    for (;;) {
        state().asked.append({QStringLiteral("save"), title, start, filter});
        const QString name = state().scripted ? scriptedAnswer()
                                              : QFileDialog::getSaveFileName(parent, title, start, filter, nullptr,
                                                                             QFileDialog::DontConfirmOverwrite);
        // The question a save dialog asks before it replaces a file, through the
        // message-box facade (tests answer it); No goes back to the dialog.
        if (name.isEmpty() || !confirmOverwrite || !QFileInfo::exists(name))
            return name;
        const QString question = QStringLiteral("%1 已存在。\n要替换它吗？").arg(QDir::toNativeSeparators(name));
        if (MessageBox::show(question, title, MessageBox::Icon::Exclamation, MessageBox::Buttons::YesNo, parent)
            == MessageBox::Answer::Yes)
            return name;
        start = name;
    }
}

QString getExistingDirectory(QWidget* parent, const QString& title, const QString& folder)
{
    state().asked.append({QStringLiteral("folder"), title, folder, QString()});
    if (state().scripted)
        return scriptedAnswer();
    return QFileDialog::getExistingDirectory(parent, title, folder);
}

void setScripted(bool on)
{
    state().scripted = on;
    state().queue.clear();
    state().asked.clear();
}
void queueAnswer(const QString& path) { state().queue.append(path); }
QList<Asked>& asked() { return state().asked; }
}
