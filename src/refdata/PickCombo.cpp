#include "refdata/PickCombo.h"

#include "core/Database.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QWheelEvent>

PickCombo::PickCombo(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    // Leaving the edit area or pressing Enter must not choose the entry whose
    // name was typed: only a pick from the list chooses.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    connect(this, &QComboBox::activated, this, [this](int index) {
        chosen_ = index;
        emit Click(index);
    });
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { chosen_ = -1; });
}

void PickCombo::choose(int index)
{
    if (index < -1 || index >= count())
        index = -1;
    {
        QSignalBlocker quiet(this);
        setCurrentIndex(index);
    }
    chosen_ = index;
    emit Click(index);
}

void PickCombo::setTypedText(const QString& text)
{
    QSignalBlocker quiet(this);
    setCurrentIndex(-1);
    setEditText(text);
    lineEdit()->setCursorPosition(0);
    chosen_ = -1;
}

void PickCombo::clearEntries()
{
    QSignalBlocker quiet(this);
    clear();
    setEditText(QString());
    chosen_ = -1;
}

void PickCombo::setLocked(bool locked)
{
    locked_ = locked;
    lineEdit()->setReadOnly(locked);
}

void PickCombo::showPopup()
{
    if (!locked_)
        QComboBox::showPopup();
}

void PickCombo::keyPressEvent(QKeyEvent* e)
{
    // Locked: the keys that step through the list do nothing; the others go to
    // the read-only edit area (moving, selecting, copying).
    const int k = e->key();
    if (locked_ && (k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_PageUp || k == Qt::Key_PageDown)) {
        e->accept();
        return;
    }
    QComboBox::keyPressEvent(e);
}

void PickCombo::wheelEvent(QWheelEvent* e)
{
    if (locked_) {
        e->ignore();
        return;
    }
    QComboBox::wheelEvent(e);
}

void PickCombo::addEntries(const RecordSet& rows, QVector<qint64>& ids)
{
    for (int i = 0; i < rows.recordCount(); ++i) {
        addItem(rows.text(i, 1));
        ids.append(rows.value(i, 0).toLongLong());
    }
}

void PickCombo::chooseByIdOrText(const QVector<qint64>& ids, std::optional<qint64> id)
{
    const QString text = currentText();
    int byName = -1;
    for (int i = 0; i < count(); ++i) {
        if (id && ids.value(i) == *id) {
            choose(i);
            return;
        }
        if (byName < 0 && itemText(i) == text)
            byName = i;
    }
    if (byName >= 0)
        choose(byName);
}
