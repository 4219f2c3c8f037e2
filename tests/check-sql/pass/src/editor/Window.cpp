#include <QString>

// A window that is no dictionary window may have members of any other name.
class Window {
public:
    QString listing() const;
};

QString Window::listing() const
{
    const QString title = QStringLiteral("报告列表");
    return title + QStringLiteral(" from the day list, updated");
}

// Console messages in English that hold a verb and what it works on.
void Window::warn(const QString& path)
{
    qWarning("cannot delete the note from %s", qPrintable(path));
    qWarning("could not update the picture set for %s", qPrintable(path));
    qWarning("failed to insert the disk into %s", qPrintable(path));
    qWarning() << QStringLiteral("select the camera from the list of ") + path;
}
