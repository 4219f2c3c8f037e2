#pragma once
// Steps the reference data tests share: a fresh program folder whose windows
// open without a modal loop, clicks on list rows, and the state of a window.
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/SkinPanel.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "refdata/DictionaryWindow.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <memory>

namespace refkit {

// A fresh program folder with the shipped skin; opened windows are shown
// without a modal loop, so a test drives them and presses Quit.
inline std::unique_ptr<TestFolder> freshFolder()
{
    auto folder = std::make_unique<TestFolder>();
    Palette::LoadSkin();
    Opener::setHook([](QDialog* w) {
        w->show();
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w);
        return 0;
    });
    return folder;
}

// Clicks a row of a window's list (row 0 = first record), as the user does.
inline void clickRow(DictionaryWindow& w, int row)
{
    DictGrid* g = w.MSHFlexGrid1;
    const QRect r = g->visualItemRect(g->item(row, 0));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
}

// Which of New, Update, Delete, Save are enabled, as "NUDS" with '-' for off.
inline QString buttons(const DictionaryWindow& w)
{
    auto on = [](const QvButton* b, char c) { return b && b->isEnabled() ? QLatin1Char(c) : QLatin1Char('-'); };
    return QString() + on(w.ButtnNew, 'N') + on(w.ButtnUpdate, 'U') + on(w.ButtnDel, 'D') + on(w.ButtnSave, 'S');
}

// The texts of a list row.
inline QStringList rowTexts(const DictionaryWindow& w, int row)
{
    QStringList t;
    for (int c = 0; c < w.MSHFlexGrid1->columnCount(); ++c)
        t << w.MSHFlexGrid1->cell(row, c);
    return t;
}

// Types a text at the caret of a line edit (any characters, emoji too).
inline void typeText(QLineEdit* e, const QString& text)
{
    e->setFocus();
    e->insert(text);
}

// Picks entry i of a combo box's list with the keys, as the user does.
inline void pick(QComboBox* c, int i)
{
    c->setFocus();
    c->setCurrentIndex(i - 1);
    QTest::keyClick(c, Qt::Key_Down);
}

inline void answerNext(MessageBox::Answer a) { MessageBox::queueAnswer(a); }
using corekit::lastText;
using corekit::lastTitle;
using corekit::queryInt;
}
