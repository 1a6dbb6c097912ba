#include "chrome.h"

#include <QPainterPath>

namespace skinart {

void captionBand(Canvas &c, int height, const char *icon, const QString &title, int titlePx)
{
    const QRect band(0, 0, c.rect.width(), height);
    c.p.fillRect(band, QColor(kBase));
    c.p.fillRect(QRect(0, height - 1, c.rect.width(), 1), QColor(kRule));
    const qreal side = qRound(titlePx * 1.25);
    const QRectF iconBox(qRound(height * 0.3), (height - side) / 2.0, side, side);
    c.icons.paint(c.p, iconBox, icon, QColor(kAccent), 2.0);
    label(c, QRectF(iconBox.right() + side * 0.5, 0, c.rect.width(), height - 1), title, kText,
          titlePx, Qt::AlignLeft | Qt::AlignVCenter, true);
}

void windowBorder(Canvas &c, QRgb colour, int width)
{
    const QRect r = c.rect;
    const QColor col(colour);
    c.p.fillRect(QRect(0, 0, r.width(), width), col);
    c.p.fillRect(QRect(0, r.height() - width, r.width(), width), col);
    c.p.fillRect(QRect(0, 0, width, r.height()), col);
    c.p.fillRect(QRect(r.width() - width, 0, width, r.height()), col);
}

void roundedFrame(Canvas &c, qreal radius, QRgb colour)
{
    c.p.save();
    c.p.setRenderHint(QPainter::Antialiasing);
    c.p.setPen(QPen(QColor(colour), 1));
    c.p.setBrush(Qt::NoBrush);
    c.p.drawRoundedRect(QRectF(c.rect).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    c.p.restore();
}

void groupBox(Canvas &c, const QRect &r, const QString &title)
{
    c.p.save();
    c.p.setRenderHint(QPainter::Antialiasing);
    c.p.setPen(QPen(QColor(kGroupLine), 1));
    c.p.setBrush(QColor(kGroupFill));
    c.p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    // An accent tick before the title ties the groups to the window's accent.
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(QColor(kAccent));
    c.p.drawRoundedRect(QRectF(r.left() + 10, r.top() + 9, 3, 13), 1.5, 1.5);
    c.p.restore();
    label(c, QRectF(r.left() + 19, r.top() + 6, r.width() - 30, 19), title, kText, 12,
          Qt::AlignLeft | Qt::AlignVCenter, true);
}

void well(Canvas &c, const QRectF &r, qreal radius, QRgb fill)
{
    c.p.save();
    c.p.setRenderHint(QPainter::Antialiasing);
    c.p.setPen(QPen(QColor(kGroupLine), 1));
    c.p.setBrush(QColor(fill));
    c.p.drawRoundedRect(r.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
    c.p.restore();
}

void label(Canvas &c, const QRectF &box, const QString &text, QRgb colour, int px, int align, bool bold)
{
    c.p.save();
    c.p.setFont(uiFont(px, bold));
    c.p.setPen(QColor(colour));
    c.p.drawText(box, align, text);
    c.p.restore();
}

void keyCorners(Canvas &c, qreal radius)
{
    QPainterPath outside;
    outside.addRect(c.rect);
    QPainterPath inside;
    inside.addRoundedRect(QRectF(c.rect), radius, radius);
    c.p.save();
    c.p.setRenderHint(QPainter::Antialiasing, false);
    c.p.fillPath(outside.subtracted(inside), QColor(kMagenta));
    c.p.restore();
}

} // namespace skinart
