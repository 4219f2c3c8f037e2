#pragma once
#include <QColor>
#include <QSize>

class QPainter;
class QWidget;

// What the main window and the login window take from the theme.
namespace FrmMainSkin {
int SkinId();
int CaptionHeight();
QColor LineColor();
QColor CaptionColorFrom();
QColor CaptionColorTo();
QColor StatusColorFrom();
QColor StatusColorTo();
QColor ToolBackColor();
// Fills the palette for a skin (after skinid has been written).
void SetSkin(int id);
void AttachMenuSkin(QWidget* window);
void DetachMenuSkin(QWidget* window);

// The status-bar gradient: row 0 StatusColorTo, row H-1 StatusColorFrom,
// then the left, right and bottom edges in LineColor.
void DrawStatusBar(QPainter& p, const QSize& size, const QColor& from, const QColor& to, const QColor& line);
// The login title strip: rows 1..N (N = height - 2) from CaptionColorTo to
// CaptionColorFrom, row height-1 in LineColor; row 0 untouched.
void DrawTitleStrip(QPainter& p, const QSize& size, const QColor& from, const QColor& to, const QColor& line);
}
