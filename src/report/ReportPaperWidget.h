#pragma once
#include "report/ReportSurface.h"

#include <QWidget>

// The widget that shows the preview's page (the preview window's Picpaper).
class ReportPaperWidget : public QWidget {
    Q_OBJECT
public:
    explicit ReportPaperWidget(QWidget* parent = nullptr);
    PreviewSurface& surface() { return surface_; }
    // Takes the size of the surface's page and repaints.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PreviewSurface surface_;
};
