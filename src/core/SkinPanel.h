#pragma once
#include <QFont>
#include <QPainter>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

// A painted panel: the toolbar, data panels, caption strips and status bars of the windows.
// It fills itself with its back colour and then runs its drawings in the order they were
// added. Drawings read the theme palette each time they run, so a panel always shows the
// current skin after update(). Child widgets (buttons, edits) sit on top as usual.
//
// Like a picture box, setting the back colour clears the drawings; the theme routines set
// the colour first and then add their drawings:
//   auto* Picdata = new PaintPanel(this);
//   Picdata->setGeometry(8, 40, 400, 300);
//   Skin::SetBackColor(Picdata, Palette::gPanelBackColor);
//   Skin::DrawDataFrame(Picdata);                 // adds the "frame" drawing and repaints
//   // a drawing of the window's own (e.g. a frame with a gap):
//   Picdata2->setDrawing(QStringLiteral("frame"), [](QPainter& p, const QSize& s, const QFont&) {
//       p.fillRect(198, 0, s.width() - 198, 1, Palette::ToQColor(Palette::gLineColor)); });
//   connect(Picdata, &PaintPanel::Resize, this, &FrmX::Picdata_Resize);
//
// A drawing added again under the same key replaces the earlier one (so resize handlers can
// simply call the routine again). Drawings run in pixel coordinates, origin at the top left.
class PaintPanel : public QWidget {
    Q_OBJECT
public:
    using Drawing = std::function<void(QPainter& p, const QSize& size, const QFont& font)>;

    explicit PaintPanel(QWidget* parent = nullptr);

    // Back colour (0x00BBGGRR); clears the drawings like a picture box does.
    void setBackColor(qint32 color);
    qint32 backColor() const;
    bool hasBackColor() const { return backColor_.has_value(); }

    // Removes every drawing (the picture box's Cls).
    void cls();

    void setDrawing(const QString& key, Drawing drawing);
    QStringList drawings() const;

    // The panel as it paints itself (without child widgets), for checks and thumbnails.
    QImage renderImage() const;

signals:
    // The panel's size changed (its resize handler).
    void Resize();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void paintSurface(QPainter& p) const;

    std::optional<qint32> backColor_;
    std::vector<std::pair<QString, Drawing>> drawings_;
};
