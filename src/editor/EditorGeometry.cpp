#include "editor/EditorGeometry.h"

#include <cmath>

namespace EditorGeometry {

TallScreen TallScreenDelta(int screenHeightPx)
{
    TallScreen t;
    if (screenHeightPx > 768) {
        t.d = screenHeightPx - 768;
        t.half = whole(t.d / 2.0);
    }
    return t;
}

int PhraseAvailableWidth(int layoutMode, int screenWidthPx, int picdataWidthTw, int rptWidthTw)
{
    const int widthPx = layoutMode == 1 ? screenWidthPx : 1024;
    return widthPx * kTwipsPerPixel - picdataWidthTw - rptWidthTw - 230;
}

int PhraseButtonsPerRow(int availableTw, int buttonWidthTw)
{
    const int step = buttonWidthTw + 30;
    const int p = step > 0 ? availableTw / step : 0;
    return p < 1 ? 1 : p;
}

QVector<QPoint> PhraseButtonPositions(int count, int availableTw, int buttonWidthTw, int buttonHeightTw)
{
    QVector<QPoint> out;
    const int perRow = PhraseButtonsPerRow(availableTw, buttonWidthTw);
    int x = 30, y = 30;
    for (int i = 1; i <= count; ++i) {
        out.append(QPoint(x, y));
        if (i % perRow != 0) {
            x += buttonWidthTw + 30;
        } else {
            y += buttonHeightTw + 30;
            x = 30;
        }
    }
    return out;
}

void FormResizePanels(Panels& p, const WindowSize& w, int layoutMode, int pageFlag)
{
    if (w.outerHeight > 8000) {
        p.Picpic.setHeight(w.scaleHeight - p.Picpic.top() - p.PicbottomHeight);
        p.Picdata2.setHeight(p.Picpic.height());
        p.Picdata.setHeight(w.scaleHeight - p.Picdata.top() - p.PicbottomHeight);
        p.RptPictureBox.setHeight(w.scaleHeight - p.RptPictureBox.top() - p.PicbottomHeight);
    }
    if (w.outerWidth > 9000) {
        const int room = w.scaleWidth - p.Picdata.width() - p.RptPictureBox.width() - 230;
        if (layoutMode == 1) {
            p.Picpic.setWidth(room);
            p.Picdata2.setWidth(p.Picpic.width());
            p.Pictitle.setWidth(p.Picpic.width());
            p.RptPictureBox.moveLeft(p.Picpic.left() + p.Picpic.width() + 60);
        } else if (layoutMode == 0) {
            const int limit = 120 * kTwipsPerPixel + p.Picpic.height() + 30;
            p.Picpic.setWidth(room < limit ? room : limit);
            if (pageFlag == 1)
                p.RptPictureBox.moveLeft(p.Picpic.left() + p.Picpic.width() + 60);
            else
                p.RptPictureBox.moveLeft(p.Picdata2.left() + p.Picdata2.width() + 60);
        }
    }
}

VideoArea VideoAreaFor(int picpicWidthPx, int picpicHeightPx, int picycHeightPx, int bvidOnWidthPx)
{
    VideoArea v;
    const double hAvail = picpicHeightPx - picycHeightPx - 2 - 24;
    const double wAvail = picpicWidthPx - bvidOnWidthPx - 48 - 1;
    if (hAvail * 4.0 / 3.0 < wAvail) {
        v.width = whole(hAvail / 3.0 * 4.0);
        v.height = whole(hAvail);
    } else {
        v.width = whole(wAvail);
        v.height = whole(wAvail / 4.0 * 3.0);
    }
    if (v.width < 0)
        v.width = 0;
    if (v.height < 0)
        v.height = 0;
    v.vfwWidth = v.width > 4 ? v.width - 4 : 0;
    v.vfwHeight = v.height > 4 ? v.height - 4 : 0;
    v.buttonsLeft = v.width + 24 + 1;
    return v;
}

bool SidePanelFollowsHeight(int picmcRectTopPx, int pageHeightPx) { return picmcRectTopPx + 24 < pageHeightPx; }

StorePlacement PlaceStore(int page, const QRect& pageRect, int picmcRectTopPx, int picmcRectHeightTw,
                          int picVideoWidthPx)
{
    StorePlacement s;
    const int top = pageRect.top() + picmcRectTopPx * kTwipsPerPixel + 330;
    const int height = picmcRectHeightTw - 330;
    const int width = page == 0 ? pageRect.width() - 30 : pageRect.width() - 240;
    s.picyc = QRect(pageRect.left() + 10, top, width, height);
    s.picyc2Width = page == 0 ? 495 : (picVideoWidthPx > 495 ? picVideoWidthPx : 495);
    s.picyc3Left = s.picyc2Width;
    return s;
}

QColor GradientColor(const QColor& from, const QColor& to, int i, int n)
{
    if (n <= 0)
        return from;
    auto mix = [&](int f, int t) { return t + whole(double(f - t) * i / n); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue()));
}
}
