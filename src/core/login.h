#pragma once
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

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

    QWidget* Pictitle = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* buttonlogin = nullptr;
    QPushButton* buttonquit = nullptr;

    static constexpr int kTitleHeight = 23;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void failed();
    bool loggedIn_ = false;
};
