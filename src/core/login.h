#pragma once
#include <QWidget>

class PaintPanel;
class QLabel;
class QPainter;
class QvButton;
class QvTextBox;

// The login window: user code and password checked against table user.
// Modeless; a fresh one is made at start-up and at every re-login.
class login : public QWidget {
    Q_OBJECT
public:
    login();
    ~login() override;
    static login* current();

    void Form_Load();
    void buttonlogin_Click();
    void buttonquit_Click();

    PaintPanel* Pictitle = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label1 = nullptr;
    QvTextBox* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QvTextBox* Text2 = nullptr;
    QvButton* buttonlogin = nullptr;
    QvButton* buttonquit = nullptr;

    static constexpr int kTitleHeight = 23;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void failed();
    bool loggedIn_ = false;
};
