#pragma once
#include "report/PrintSettings.h"

#include <QColor>

#include <memory>

class QWidget;

// The font and colour dialogs of the print layout settings. The program shows Qt's
// dialogs; tests put in answers of their own, since a real dialog would block.
class FontColorDialogs {
public:
    virtual ~FontColorDialogs() = default;
    // Shows the font dialog preset with font (face, size, colour and the four effects);
    // true with the chosen font written back, false when cancelled (font untouched).
    virtual bool chooseFont(FontSet& font, QWidget* parent) = 0;
    // Shows the colour dialog preset with color (0x00BBGGRR); false when cancelled.
    virtual bool chooseColor(qint32& color, QWidget* parent) = 0;

    // The dialogs in use; setCurrent(nullptr) goes back to Qt's.
    static FontColorDialogs& current();
    static void setCurrent(std::shared_ptr<FontColorDialogs> dialogs);
};

// Qt's font dialog with a colour button beside it (the font dialog has no colour of
// its own), and Qt's colour dialog.
class QtFontColorDialogs : public FontColorDialogs {
public:
    bool chooseFont(FontSet& font, QWidget* parent) override;
    bool chooseColor(qint32& color, QWidget* parent) override;
};

// Colours as the settings store them: red in the low byte.
QColor storedColorToQColor(qint32 color);
qint32 qcolorToStoredColor(const QColor& color);
