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
