#include "report/ReportPaperWidget.h"

#include <QPaintEvent>
#include <QPainter>

ReportPaperWidget::ReportPaperWidget(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    refresh();
}

void ReportPaperWidget::refresh()
{
    setFixedSize(surface_.image().size());
    update();
}

void ReportPaperWidget::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.drawImage(event->rect(), surface_.image(), event->rect());
}
