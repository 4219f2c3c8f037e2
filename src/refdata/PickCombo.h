#pragma once
#include <QComboBox>
#include <QVector>

#include <optional>

class RecordSet;

// A list box whose edit area also takes typed text (the body part and category
// boxes of the template windows). An entry counts as chosen only when the user
// picked it from the list or the window chose it (choose()); typing leaves no
// entry chosen, even a name that is on the list, and Enter picks nothing.
//
// Click is raised whenever an entry is chosen, by the user or by choose(), with
// its index (-1 when choose() leaves none chosen).
//
// Locked, the box keeps its text and its list but takes no input: no typing,
// no drop-down, no keys or wheel that change the entry. It stays enabled, so its
// text can still be selected and copied.
class PickCombo : public QComboBox {
    Q_OBJECT
public:
    explicit PickCombo(QWidget* parent = nullptr);

    // The chosen entry, -1 when none.
    int chosen() const { return chosen_; }
    // Chooses an entry (-1: none) and raises Click.
    void choose(int index);
    // Sets the edit area's text; no entry stays chosen.
    void setTypedText(const QString& text);
    // Empties the list and the text; no entry chosen. Raises no Click.
    void clearEntries();
    // Adds an entry for each row of a listing whose column 0 is the entry's
    // number and column 1 its name; the numbers go to ids, in step with the list.
    void addEntries(const RecordSet& rows, QVector<qint64>& ids);
    // Chooses the first entry numbered id (when given), else the first entry
    // with the box's text; neither on the list leaves the box as it is.
    void chooseByIdOrText(const QVector<qint64>& ids, std::optional<qint64> id);

    void setLocked(bool locked);
    bool isLocked() const { return locked_; }

    void showPopup() override;

signals:
    void Click(int index);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    int chosen_ = -1;
    bool locked_ = false;
};
