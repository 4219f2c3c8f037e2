#include "platform/FileDialogs.h"

#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>
#include <QTreeView>

namespace {
using State = FileDialogs::internal::Script;
State& state() { return FileDialogs::internal::script(); }
QString scriptedAnswer() { return state().queue.isEmpty() ? QString() : state().queue.takeFirst(); }

// The file list's size, type and date columns in the program's language:
// Qt writes them in the machine's locale, and has no Chinese for "Folder".
class ChineseColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QFileInfo info = files->fileInfo(source);
        switch (index.column()) {
        case 1:
            if (!info.isDir())
                return QLocale().formattedDataSize(files->size(source));
            break;
        case 2:
            if (info.isDir())
                return QStringLiteral("文件夹");
            if (info.isSymLink())
                return QStringLiteral("快捷方式");
            break;
        case 3: return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        default: break;
        }
        return QIdentityProxyModel::data(index, role);
    }
};

QString run(QWidget* parent, const QString& title, const QString& start, const QString& filter,
            QFileDialog::AcceptMode accept, QFileDialog::FileMode mode, QFileDialog::Options options = {})
{
    FileDialogs::loadStandardTexts();
    QFileDialog dialog(parent, title, start, filter);
    dialog.setOptions(options | QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(accept);
    dialog.setFileMode(mode);
    dialog.setProxyModel(new ChineseColumns(&dialog));
    // Qt sizes the size and date columns for its own shorter texts ("128.88 GB"),
    // which cut "172.00 KiB" to "172…KiB": they follow what they show.
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        view->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        view->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    }
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}
}

namespace FileDialogs {

QString getOpenFileName(QWidget* parent, const QString& title, const QString& folder, const QString& filter)
{
    state().asked.append({QStringLiteral("open"), title, folder, filter});
    if (state().scripted)
        return scriptedAnswer();
    return run(parent, title, folder, filter, QFileDialog::AcceptOpen, QFileDialog::ExistingFile);
}

QString getSaveFileName(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                        bool confirmOverwrite)
{
    QString start = folder;
    for (;;) {
        state().asked.append({QStringLiteral("save"), title, start, filter});
        const QString name = state().scripted ? scriptedAnswer()
                                              : run(parent, title, start, filter, QFileDialog::AcceptSave,
                                                    QFileDialog::AnyFile, QFileDialog::DontConfirmOverwrite);
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
    return run(parent, title, folder, QString(), QFileDialog::AcceptOpen, QFileDialog::Directory,
               QFileDialog::ShowDirsOnly);
}

void loadStandardTexts()
{
    static QTranslator* translator = nullptr;
    if (translator || !QCoreApplication::instance())
        return;
    translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

internal::Script& internal::script()
{
    static Script s;
    return s;
}
}
