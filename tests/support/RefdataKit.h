#pragma once
// Steps the tests of the reference data windows share (the rest are in CoreKit.h).
#include "support/CoreKit.h"

#include "core/QvButton.h"
#include "core/SkinPanel.h"
#include "platform/MessageBox.h"
#include "refdata/DictionaryWindow.h"

#include <QString>
#include <QStringList>
#include <memory>

class QComboBox;
class QLineEdit;

namespace kit {

// A fresh program folder (saved skin, today 2025-03-04, a 1024x768 screen) in
// which opened windows are shown and activated without a modal loop, so a test
// drives them and presses Quit.
std::unique_ptr<TestFolder> refdataFolder();

// Clicks a row of a dictionary window's list (row 0 = first record).
void clickRow(DictionaryWindow& w, int row);
// Which of New, Update, Delete, Save are enabled, as "NUDS" with '-' for off.
QString buttons(const DictionaryWindow& w);
// The texts of a list row.
QStringList rowTexts(const DictionaryWindow& w, int row);
// Types a text into a line edit (any characters, emoji too): in place of the
// selected text, or after the text.
void typeText(QLineEdit* e, const QString& text);
// Picks entry i of a combo box's list with the keys, as the user does.
void pick(QComboBox* c, int i);

}
