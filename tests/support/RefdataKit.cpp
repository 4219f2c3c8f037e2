#include "support/RefdataKit.h"

#include "core/QvButton.h"
#include "platform/Opener.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

namespace kit {

std::unique_ptr<TestFolder> refdataFolder()
{
    auto folder = freshFolder(QDate(2025, 3, 4), QSize(1024, 768));
    Opener::setHook([](QDialog* w) {
        w->show();
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w);
        return 0;
    });
    return folder;
}

void clickRow(DictionaryWindow& w, int row)
{
    DictGrid* g = w.MSHFlexGrid1;
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualItemRect(g->item(row, 0)).center());
}

QString buttons(const DictionaryWindow& w)
{
    auto on = [](const QvButton* b, char c) { return b && b->isEnabled() ? QLatin1Char(c) : QLatin1Char('-'); };
    return QString() + on(w.ButtnNew, 'N') + on(w.ButtnUpdate, 'U') + on(w.ButtnDel, 'D') + on(w.ButtnSave, 'S');
}

QStringList rowTexts(const DictionaryWindow& w, int row)
{
    QStringList t;
    for (int c = 0; c < w.MSHFlexGrid1->columnCount(); ++c)
        t << w.MSHFlexGrid1->cell(row, c);
    return t;
}

void typeText(QLineEdit* e, const QString& text)
{
    e->setFocus();
    if (!e->hasSelectedText())
        e->end(false);
    e->insert(text);
}

void pick(QComboBox* c, int i)
{
    c->setFocus();
    c->setCurrentIndex(i - 1);
    QTest::keyClick(c, Qt::Key_Down);
}

}
