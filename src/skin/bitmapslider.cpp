#include "bitmapslider.h"

#include "appmessages.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include <algorithm>

namespace {
// The filled part of the track stops this far left of the thumb centre, under the thumb.
constexpr int kFilledGap = 6;
} // namespace

CBitmapSlider::CBitmapSlider(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

bool CBitmapSlider::Create(const QString &text, const QRect &rect, QWidget *parent, int id)
{
    windowText = text;
    controlId = id;
    setParent(parent);
    setGeometry(rect);
    show();
    return true;
}

void CBitmapSlider::SetBitmapChannel(const QPixmap &trackImage, const QPixmap &filledImage)
{
    track = trackImage;
    filled = filledImage;
    hasFilled = !filled.isNull();
    width = track.width();
    height = track.height();
    resize(width, height);
    trackSet = !track.isNull();
    update();
}

void CBitmapSlider::SetBitmapThumb(const QPixmap &thumbImage, const QPixmap &draggedImage)
{
    thumb = thumbImage;
    draggedThumb = draggedImage;
    hasDraggedThumb = !draggedThumb.isNull();
    thumbWidth = thumb.width();
    thumbHeight = thumb.height();
    thumbSet = !thumb.isNull();
    update();
}

void CBitmapSlider::SetRange(int newMin, int newMax)
{
    min = newMin;
    max = newMax;
    SetPos(pos);
}

void CBitmapSlider::SetPos(int newPos)
{
    pos = std::max(std::min(newPos, max), min);
    update();
}

void CBitmapSlider::Enable(bool enable)
{
    setEnabled(enable);
}

void CBitmapSlider::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        enabled = isEnabled();
        update();
    }
    QWidget::changeEvent(event);
}

int CBitmapSlider::thumbCentre(int position) const
{
    const int travel = width - thumbWidth;
    if (max == min || travel <= 0)
        return thumbWidth / 2;
    return int(double(position - min) / double(max - min) * double(travel)) + thumbWidth / 2;
}

int CBitmapSlider::positionAt(int centre) const
{
    const int travel = width - thumbWidth;
    if (travel <= 0)
        return min;
    return int(double(centre - thumbWidth / 2) / double(travel) * double(max - min) + double(min));
}

void CBitmapSlider::notifyOwner()
{
    if (windowText == QLatin1String("SEEK"))
        postAppMessage(owner.data(), WM_SEEK_TO, 0, 1);
    else
        postAppMessage(owner.data(), WM_SLIDER_MOVED, WPARAM(controlId), 1);
}

void CBitmapSlider::dragTo(int mouseX)
{
    if (dragging && enabled) {
        const int half = thumbWidth / 2;
        const int centre = std::clamp(mouseX - dragOffset, half, std::max(half, width - half));
        if (centre != thumbCentre(pos)) {
            pos = std::clamp(positionAt(centre), std::min(min, max), std::max(min, max));
            notifyOwner();
        }
    }
    repaint();
}

void CBitmapSlider::mousePressEvent(QMouseEvent *event)
{
    if (!enabled || event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    dragging = true;
    // A press on the thumb keeps the grab point under the mouse; beside it the thumb jumps
    // so that its centre comes under the mouse.
    const int x = int(event->position().x());
    const int d = x - thumbCentre(pos);
    dragOffset = std::abs(d) <= thumbWidth / 2 ? d : 0;
    dragTo(x);
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent *event)
{
    dragTo(int(event->position().x()));
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (!enabled)
        return QWidget::mouseReleaseEvent(event);
    dragging = false;
    update();
}

void CBitmapSlider::keyPressEvent(QKeyEvent *event)
{
    if (!enabled)
        return QWidget::keyPressEvent(event);
    int target = 0;
    switch (event->key()) {
    case Qt::Key_PageUp: target = pos - page; break;
    case Qt::Key_PageDown: target = pos + page; break;
    case Qt::Key_End: target = max; break;
    case Qt::Key_Home: target = min; break;
    case Qt::Key_Left:
    case Qt::Key_Up: target = pos - 1; break;
    case Qt::Key_Right:
    case Qt::Key_Down: target = pos + 1; break;
    default: return QWidget::keyPressEvent(event);
    }
    SetPos(target);
    notifyOwner();
}

void CBitmapSlider::focusInEvent(QFocusEvent *event)
{
    focused = true;
    update();
    QWidget::focusInEvent(event);
}

void CBitmapSlider::focusOutEvent(QFocusEvent *event)
{
    focused = false;
    update();
    QWidget::focusOutEvent(event);
}

void CBitmapSlider::paintEvent(QPaintEvent *)
{
    // Qt paints widgets through their backing store, which is the off-screen buffer that
    // keeps the thumb from flickering over the track.
    QStylePainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int centre = thumbCentre(pos);
    if (trackSet) {
        if (!hasFilled || !enabled) {
            painter.drawPixmap(0, 0, track, 0, 0, width, height);
        } else {
            painter.drawPixmap(centre, 0, track, centre, 0, width - centre, height);
            if (centre - kFilledGap > 0)
                painter.drawPixmap(0, 0, filled, 0, 0, centre - kFilledGap, height);
        }
    }
    if (thumbSet && enabled) {
        const QPixmap &image = dragging && hasDraggedThumb ? draggedThumb : thumb;
        painter.drawPixmap(centre - thumbWidth / 2, 0, image, 0, 0, thumbWidth, thumbHeight);
    }
    if (drawFocusRect && focused && enabled) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
}
