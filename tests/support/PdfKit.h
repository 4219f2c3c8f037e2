#pragma once
// Reading printed PDFs back with poppler's tools.
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

namespace kit {

// Runs a program and gives its standard output; empty when it did not finish in a minute.
QString runTool(const QString& program, const QStringList& args);
// The page count pdfinfo reports; -1 when it reports none.
int pdfPages(const QString& pdf);
// The text of a page (0 = all) without any white space; raw keeps the order the texts were drawn in.
QString pdfText(const QString& pdf, int page = 0, bool raw = false);
// Every word of the document with its box in points (pdftotext -bbox).
QString pdfWordBoxes(const QString& pdf);
// Text read from a PDF with the ideographs its faces draw: Qt names each embedded glyph by
// the lowest character the face maps to it, and the Noto CJK faces draw radicals and
// ideographs alike (⻅ and 见, ⼀ and 一), so their text reads back as radicals. The page
// shows the ideograph; pdfText and pdfWordBoxes read it so.
QString ideographs(QString text);
// A page rendered at 100 dots per inch into prefix + ".png".
QImage pdfPageImage(const QString& pdf, int page, const QString& prefix);
// The part crop (pixels of that resolution) of a page rendered at dpi dots per inch.
QImage pdfPageImage(const QString& pdf, int page, const QString& prefix, int dpi, const QRect& crop);
// The thickest run of pixels that match, down each column of the image: a line's
// thickness in pixels of the image's resolution.
int thickestRun(const QImage& img, const std::function<bool(QRgb)>& matches);
}
