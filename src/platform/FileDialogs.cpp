#include "platform/FileDialogs.h"

#include <QFileDialog>

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
    state().asked.append({QStringLiteral("save"), title, folder, filter});
    if (state().scripted)
        return scriptedAnswer();
    return QFileDialog::getSaveFileName(parent, title, folder, filter, nullptr,
                                        confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite);
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
