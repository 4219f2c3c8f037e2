// The skinned controls: button, text box, scroll bar, menu bar and the shared menu skin.
#include "core/MenuSkin.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvMenuBar.h"
#include "core/QvScrollBar.h"
#include "core/QvTextBox.h"
#include "core/SkinPaint.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

using namespace Palette;

class tst_controls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), 9));
        SetSkinColors(1);
    }

    void buttonClicksOnlyWhileEnabled()
    {
        QWidget w;
        auto* b = new QvButton(QStringLiteral("保 存"), &w);
        b->setGeometry(10, 10, 80, 26);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QSignalSpy clicked(b, &QvButton::clicked);
        QSignalSpy mouse(b, &QvButton::MouseDown);
        b->setEnabled(false);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(20, 12));
        QTest::mouseClick(b, Qt::RightButton, {}, QPoint(20, 12));
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(mouse.count(), 0);
        b->setEnabled(true);
        QTest::mouseClick(b, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 12));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(mouse.count(), 1);
        QCOMPARE(mouse.at(0), (QList<QVariant>{1, 1, 20, 12}));
        QTest::mousePress(b, Qt::RightButton, Qt::ControlModifier, QPoint(5, 6));
        QCOMPARE(mouse.at(1), (QList<QVariant>{2, 2, 5, 6}));
        QCOMPARE(clicked.count(), 1);   // the right button does not click
    }

    void accessKeyClicksAndEnterDoesNot()
    {
        QDialog d;
        auto* save = new QvButton(QStringLiteral("保存(&S)"), &d);
        save->setGeometry(10, 10, 90, 26);
        auto* edit = new QvTextBox(&d);
        edit->setGeometry(10, 40, 90, 22);
        d.show();
        QApplication::setActiveWindow(&d);
        QVERIFY(QTest::qWaitForWindowActive(&d));
        edit->setFocus();
        QSignalSpy clicked(save, &QvButton::clicked);
        // Enter in a dialog: no button is the default.
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::qWait(50);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(d.isVisible());
        // Alt+S clicks it.
        QTest::keyClick(&d, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(clicked.count(), 1);
        // Not while disabled.
        save->setEnabled(false);
        QTest::keyClick(&d, Qt::Key_S, Qt::AltModifier);
        QTest::qWait(200);
        QCOMPARE(clicked.count(), 1);
    }

    void buttonPaintsItsColours()
    {
        QvButton b(QStringLiteral("确 定"));
        b.resize(80, 26);
        b.setColor(ButtonProp::FaceTop, 0x000000FF);     // red
        b.setColor(ButtonProp::FaceBottom, 0x000000FF);
        b.setColor(ButtonProp::BorderColor, 0x00FF0000); // blue
        const QImage img = b.grab().toImage();
        QCOMPARE(QColor(img.pixel(8, 20)), QColor(255, 0, 0));
        const QColor edge = img.pixel(40, 25);
        QVERIFY(edge.blue() > edge.green());   // a soft frame towards the line colour
    }

    void textBoxReportsKeys()
    {
        QvTextBox t;
        t.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t));
        QSignalSpy keys(&t, &QvTextBox::KeyPress);
        QTest::keyClicks(&t, QStringLiteral("ab"));
        QTest::keyClick(&t, Qt::Key_Return);
        QTest::keyClick(&t, Qt::Key_Backspace);
        QCOMPARE(keys.count(), 4);
        QCOMPARE(keys.at(0).at(0).toInt(), int('a'));
        QCOMPARE(keys.at(2).at(0).toInt(), 13);
        QCOMPARE(keys.at(3).at(0).toInt(), 8);
        QCOMPARE(t.Text(), QStringLiteral("a"));   // keys still do their work
        t.setPasswordChar(true);
        QCOMPARE(t.echoMode(), QLineEdit::Password);
    }

    void scrollBarValueMaxAndChange()
    {
        QvScrollBar s(Qt::Vertical);
        s.resize(17, 200);
        QSignalSpy change(&s, &QvScrollBar::Change);
        s.setMax(12);
        QCOMPARE(s.Max(), 12);
        s.setValue(5);
        QCOMPARE(change.count(), 1);
        s.setValue(5);
        QCOMPARE(change.count(), 1);   // no change, no event
        s.setValue(99);
        QCOMPARE(s.Value(), 12);
        Skin::SetBackColor(&s, 0x00FFEAD0);
        QCOMPARE(s.backColor(), 0x00FFEAD0);
        const QImage img = s.grab().toImage();
        QCOMPARE(QColor(img.pixel(8, 100)).rgb() & 0xFFFFFF, ToQColor(0x00FFEAD0).rgb() & 0xFFFFFF);
    }

    void menuBarAttachDetach()
    {
        QWidget form;
        auto* bar = new QvMenuBar(&form);
        QMenu* report = bar->addMenu(QStringLiteral("报告管理"));
        report->addAction(QStringLiteral("新建报告"));
        auto* outside = new QMenu(QStringLiteral("皮肤选择"));   // not a child of the bar
        report->addMenu(outside);
        QVERIFY(bar->styleSheet().isEmpty());
        bar->setColor(MenuBarProp::HoverBackColor, 0x0040D0FF);
        QVERIFY(bar->styleSheet().isEmpty());   // detached: no look of its own
        bar->AttachMenu(&form, nullptr, true);
        QVERIFY(bar->isAttached());
        QCOMPARE(bar->attachedForm(), &form);
        QVERIFY(bar->styleSheet().contains(QStringLiteral("#ffd040")));
        QCOMPARE(outside->styleSheet(), bar->styleSheet());
        bar->setColor(MenuBarProp::HoverBackColor, 0x0090FF90);   // while attached: at once
        QVERIFY(bar->styleSheet().contains(QStringLiteral("#90ff90")));
        QVERIFY(!bar->styleSheet().contains(QStringLiteral("#ffd040")));
        bar->DetachMenu();
        QVERIFY(!bar->isAttached());
        QVERIFY(bar->styleSheet().isEmpty());
        QVERIFY(outside->styleSheet().isEmpty());
        delete outside;
    }

    void menuSkinAttachDetachAndColours()
    {
        QWidget a, b;
        a.setStyleSheet(QStringLiteral("QLabel { color: red; }"));
        auto* aMenu = new QMenu(&a);
        auto* bBar = new QMenuBar(&b);
        QMenu* bMenu = bBar->addMenu(QStringLiteral("报告"));
        auto* loose = new QMenu(QStringLiteral("皮肤选择"));   // reached only through an item
        bMenu->addMenu(loose);
        gMenuSkin.SkinColor1(0x00404040);
        gMenuSkin.SkinColor2(0x00A0A0A0);
        gMenuSkin.SkinColor3(0x00F8F8F8);
        gMenuSkin.SkinFlag(0);
        gMenuSkin.AttachForm(&a);
        gMenuSkin.AttachForm(&b);
        gMenuSkin.AttachForm(&a);   // twice is once
        QCOMPARE(gMenuSkin.attachedCount(), 2);
        QVERIFY(gMenuSkin.isAttached(&a));
        // The menus are coloured; the windows' own style is left alone.
        QCOMPARE(a.styleSheet(), QStringLiteral("QLabel { color: red; }"));
        QVERIFY(b.styleSheet().isEmpty());
        for (QWidget* m : {static_cast<QWidget*>(aMenu), static_cast<QWidget*>(bBar), static_cast<QWidget*>(bMenu),
                           static_cast<QWidget*>(loose)})
            QVERIFY(m->styleSheet().contains(QStringLiteral("#a0a0a0")));
        // A skin change reaches every attached window.
        gMenuSkin.SkinColor2(0x00F2BA6F);
        QVERIFY(aMenu->styleSheet().contains(QStringLiteral("#6fbaf2")));
        QVERIFY(loose->styleSheet().contains(QStringLiteral("#6fbaf2")));
        QVERIFY(!bMenu->styleSheet().contains(QStringLiteral("#a0a0a0")));
        // Detach takes the colours off; further changes pass the window by.
        gMenuSkin.DetachForm(&a);
        QVERIFY(aMenu->styleSheet().isEmpty());
        gMenuSkin.SkinColor2(0x0000D080);
        QVERIFY(aMenu->styleSheet().isEmpty());
        QVERIFY(bMenu->styleSheet().contains(QStringLiteral("#80d000")));
        // Calls that cannot do anything do not fail.
        gMenuSkin.DetachForm(&a);
        gMenuSkin.AttachForm(nullptr);
        gMenuSkin.DetachForm(nullptr);
        {
            QWidget gone;
            gMenuSkin.AttachForm(&gone);
            QCOMPARE(gMenuSkin.attachedCount(), 2);
        }
        QCOMPARE(gMenuSkin.attachedCount(), 1);
        gMenuSkin.SkinColor1(0x00004000);   // with a destroyed window in the list
        gMenuSkin.DetachForm(&b);
        QCOMPARE(gMenuSkin.attachedCount(), 0);
        QVERIFY(loose->styleSheet().isEmpty());
        delete loose;
    }

    void menuSkinColoursLaterPopupMenus()
    {
        QWidget form;
        form.resize(200, 100);
        gMenuSkin.SkinColor1(0x00FF0000);   // blue frame, to find it
        gMenuSkin.SkinColor2(0x00A0A0A0);
        gMenuSkin.SkinColor3(0x00F8F8F8);
        gMenuSkin.AttachForm(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // A context menu made after attaching, with the window as parent.
        QMenu menu(&form);
        menu.addAction(QStringLiteral("浏览报告"));
        menu.addAction(QStringLiteral("删除报告"));
        menu.popup(form.mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        const QImage img = menu.grab().toImage();
        QCOMPARE(QColor(img.pixel(0, img.height() / 2)), QColor(0, 0, 255));
        QCOMPARE(QColor(img.pixel(img.width() / 2, img.height() - 4)), QColor(Qt::white));
        menu.close();
        gMenuSkin.DetachForm(&form);
        const QImage plain = menu.grab().toImage();
        QVERIFY(QColor(plain.pixel(0, plain.height() / 2)) != QColor(0, 0, 255));
    }
};

QTEST_MAIN(tst_controls)
#include "tst_controls.moc"
