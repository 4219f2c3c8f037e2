#pragma once
#include <QString>

class QWidget;

// A small window that says what the program is doing while it works for a
// long time without a window of its own to show it: preparing an older
// database at its first opening, backing up and restoring. It carries the
// program's name and one line; it is on screen (shown and painted) when the
// constructor returns and goes when the object goes. While it is up, the
// other windows take no input from the user.
//
// Without a widget application (tools, tests without a screen) it does
// nothing.
class WorkNotice {
public:
    explicit WorkNotice(const QString& line);
    ~WorkNotice();
    WorkNotice(const WorkNotice&) = delete;
    WorkNotice& operator=(const WorkNotice&) = delete;

    // Lets the notice repaint during long work (at most ten times a second);
    // no user input is taken. Cheap to call often; does nothing without a notice.
    static void pump();
    // The notice on screen, or nullptr.
    static QWidget* current();

    // The lines the program shows.
    static QString preparingLine();    // indexes of an older database
    static QString convertingLine();   // pages of a database of an earlier build
    static QString backupLine();
    static QString restoreLine();

private:
    QWidget* window_ = nullptr;
    QWidget* previous_ = nullptr;
};
