#pragma once
#include <QList>
#include <QString>

class QWidget;

// Every message box of the program goes through here, so that tests can answer
// them without a modal loop and read back what was shown (MessageBoxTesting.h).
namespace MessageBox {

enum class Icon {
    None,
    Critical,
    Question,
    Exclamation,
    Information
};
enum class Buttons {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    RetryCancel
};
enum class Answer {
    Ok,
    Cancel,
    Yes,
    No,
    Retry
};

// The titles the program's boxes carry.
inline const QString kErrorTitle = QStringLiteral("错误");
inline const QString kSystemErrorTitle = QStringLiteral("系统错误");
inline const QString kNoticeTitle = QStringLiteral("提示");
inline const QString kCancelledTitle = QStringLiteral("操作取消");
inline const QString kAttentionTitle = QStringLiteral("请注意");
inline const QString kSettingsErrorTitle = QStringLiteral("设置错误");
inline const QString kSorryTitle = QStringLiteral("对不起");
inline const QString kPrintTitle = QStringLiteral("打印");

Answer show(const QString& text, const QString& title, Icon icon = Icon::None, Buttons buttons = Buttons::Ok,
            QWidget* parent = nullptr);

// While on, every box shown is also written to standard error: the start's
// messages reach a terminal whose program runs on a display nobody watches.
void setEchoToStandardError(bool on);
// Writes one box's title and text to standard error, as the echo does.
void echoToStandardError(const QString& title, const QString& text);

// Shorthands for the program's usual boxes.
void critical(const QString& text, const QString& title);
void information(const QString& text, const QString& title);

// A box as it was shown.
struct Shown {
    QString text;
    QString title;
    Icon icon;
    Buttons buttons;
};

namespace internal {
// The boxes shown, and the answers tests give in place of the user
// (MessageBoxTesting.h); the program itself never scripts them.
struct Script {
    bool scripted = false;
    bool echo = false;
    QList<Answer> queue;
    QList<Shown> shown;
};
Script& script();
}
}
