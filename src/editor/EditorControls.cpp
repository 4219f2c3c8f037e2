#include "editor/EditorControls.h"

#include "core/Palette.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

EdPicture::EdPicture(QWidget* parent)
    : QWidget(parent)
{
}

void EdPicture::setPicture(const QImage& img)
{
    image_ = img;
    update();
}

void EdPicture::Cls()
{
    image_ = QImage();
    update();
}

void EdPicture::mousePressEvent(QMouseEvent* e)
{
    int button = 0;
    switch (e->button()) {
    case Qt::LeftButton: button = 1; break;
    case Qt::RightButton: button = 2; break;
    case Qt::MiddleButton: button = 4; break;
    default: break;
    }
    const Qt::KeyboardModifiers m = e->modifiers();
    const int shift = (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
    emit MouseDown(button, shift, int(e->position().x()), int(e->position().y()));
    e->accept();
}

void EdPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (!image_.isNull())
        p.drawImage(rect(), image_);   // stretched, the aspect ratio is not kept
    p.setPen(EditorColors::line());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void nameElement(QObject* control, const QString& array, int index)
{
    control->setObjectName(QStringLiteral("%1(%2)").arg(array).arg(index));
}

namespace EditorColors {
using namespace Palette;
QColor line() { return ToQColor(gLineColor); }
QColor captionFrom() { return ToQColor(gCaptionColorFrom); }
QColor captionTo() { return ToQColor(gCaptionColorTo); }
QColor statusFrom() { return ToQColor(gStatusColorFrom); }
QColor statusTo() { return ToQColor(gStatusColorTo); }
QColor formBack() { return ToQColor(gFormBackColor); }
QColor toolBack() { return ToQColor(gToolBackColor); }
QColor panelBack() { return ToQColor(gPanelBackColor); }
int captionHeight() { return gCaptionHeight > 0 ? gCaptionHeight : 21; }
}
