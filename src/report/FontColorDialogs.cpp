#include "report/FontColorDialogs.h"

#include "report/ReportFonts.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace {
std::shared_ptr<FontColorDialogs>& installed()
{
    static std::shared_ptr<FontColorDialogs> d;
    return d;
}

void showSwatch(QLabel* swatch, const QColor& c)
{
    swatch->setStyleSheet(QStringLiteral("background:%1;border:1px solid #808080;").arg(c.name()));
}
}

QColor storedColorToQColor(qint32 color)
{
    if (color < 0)
        return Qt::black;
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

qint32 qcolorToStoredColor(const QColor& color)
{
    return qint32(color.red() | (color.green() << 8) | (color.blue() << 16));
}

FontColorDialogs& FontColorDialogs::current()
{
    if (!installed())
        installed() = std::make_shared<QtFontColorDialogs>();
    return *installed();
}

void FontColorDialogs::setCurrent(std::shared_ptr<FontColorDialogs> dialogs) { installed() = std::move(dialogs); }

bool QtFontColorDialogs::chooseFont(FontSet& font, QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("字体"));
    auto* picker = new QFontDialog(&dialog);
    picker->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    picker->setWindowFlags(Qt::Widget);
    // The dialog lists installed faces only: it opens on the face the stored name is drawn
    // in (宋体 and 黑体 are mapped to installed faces), not on a fallback of its own.
    QFont f(ReportFonts::installedFace(font.name));
    if (std::isfinite(font.size) && font.size > 0 && font.size < 2000)
        f.setPointSizeF(font.size);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setStrikeOut(font.strikeout);
    f.setUnderline(font.underline);
    picker->setCurrentFont(f);
    const QFont shown = picker->currentFont();

    QColor colour = storedColorToQColor(font.color);
    auto* colourRow = new QHBoxLayout;
    auto* colourLabel = new QLabel(QStringLiteral("颜色："), &dialog);
    auto* swatch = new QLabel(&dialog);
    swatch->setFixedSize(48, 20);
    showSwatch(swatch, colour);
    auto* colourButton = new QPushButton(QStringLiteral("选择颜色..."), &dialog);
    colourButton->setAutoDefault(false);
    QObject::connect(colourButton, &QPushButton::clicked, &dialog, [&] {
        const QColor c = QColorDialog::getColor(colour, &dialog, QStringLiteral("颜色"));
        if (c.isValid()) {
            colour = c;
            showSwatch(swatch, c);
        }
    });
    colourRow->addWidget(colourLabel);
    colourRow->addWidget(swatch);
    colourRow->addWidget(colourButton);
    colourRow->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(picker);
    layout->addLayout(colourRow);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;

    // What the user left as the dialog showed it keeps its stored value: the stored face
    // name (not the installed face it maps to), a size the dialog cannot show exactly, a
    // weight or slant the face does not have.
    const QFont chosen = picker->currentFont();
    if (chosen.family() != shown.family())
        font.name = chosen.family();
    if (chosen.pointSizeF() > 0 && chosen.pointSizeF() != shown.pointSizeF())
        font.size = double(float(chosen.pointSizeF()));
    font.color = qcolorToStoredColor(colour);
    if (chosen.bold() != shown.bold())
        font.bold = chosen.bold();
    if (chosen.italic() != shown.italic())
        font.italic = chosen.italic();
    font.strikeout = chosen.strikeOut();
    font.underline = chosen.underline();
    return true;
}

bool QtFontColorDialogs::chooseColor(qint32& color, QWidget* parent)
{
    const QColor c = QColorDialog::getColor(storedColorToQColor(color), parent, QStringLiteral("颜色"));
    if (!c.isValid())
        return false;
    color = qcolorToStoredColor(c);
    return true;
}
