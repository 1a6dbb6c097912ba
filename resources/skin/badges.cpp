#include "badges.h"
#include "chrome.h"

namespace skinart {

void sensorBadge(Canvas &c)
{
    // The value cells of the panel are framed from y 8 to 48 and the badge is drawn at
    // y 5, so its frame runs from 3 to 43 inside the bitmap and lines up with them.
    c.p.fillRect(c.rect, QColor(kBase));
    const QRectF frame(0.5, 3.5, c.rect.width() - 5, 40);
    c.p.setRenderHint(QPainter::Antialiasing);
    c.p.setPen(QPen(QColor(51, 51, 51), 1));
    c.p.setBrush(QColor(kCaption));
    c.p.drawRoundedRect(frame, 4, 4);
    c.icons.paint(c.p, QRectF(frame.center().x() - 9, 7, 18, 18), "locate-fixed", QColor(kAccent), 2.0);
    label(c, QRectF(frame.left(), 26, frame.width(), 14), QStringLiteral("SENSORS"), kTextDim, 9,
          Qt::AlignHCenter | Qt::AlignVCenter, true);
}

void mapBadge(Canvas &c)
{
    c.p.fillRect(c.rect, QColor(kMapFill));
    c.p.setRenderHint(QPainter::Antialiasing);
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(QColor(kBase));
    // Square where it meets the map's top and right edges (the part beyond the bitmap
    // is clipped), rounded at the bottom-left.
    c.p.drawRoundedRect(QRectF(0, -8, c.rect.width() + 8, c.rect.height() + 8), 8, 8);
    c.icons.paint(c.p, QRectF(9, 4, 16, 16), "map-pinned", QColor(kAccent), 2.0);
    label(c, QRectF(30, 0, c.rect.width() - 34, c.rect.height()), QStringLiteral("MAP VIEW"),
          kTextDim, 10, Qt::AlignLeft | Qt::AlignVCenter, true);
}

namespace {

// The header reads as a raised band: light top, darker bottom, a dark line under it.
void headerColumn(Canvas &c, int x)
{
    QLinearGradient g(0, 0, 0, c.rect.height());
    g.setColorAt(0, QColor(62, 66, 86));
    g.setColorAt(1, QColor(38, 40, 54));
    c.p.fillRect(QRect(x, 0, 1, c.rect.height()), g);
    c.p.fillRect(QRect(x, 0, 1, 1), QColor(84, 90, 116));
    c.p.fillRect(QRect(x, c.rect.height() - 1, 1, 1), QColor(kWell));
}

} // namespace

void headerFill(Canvas &c)
{
    headerColumn(c, 0);
}

void headerRightEdge(Canvas &c)
{
    // A groove between two items: a dark line, then a light one.
    headerColumn(c, 0);
    c.p.fillRect(QRect(0, 3, 1, c.rect.height() - 6), QColor(kWell));
    c.p.fillRect(QRect(1, 0, 1, c.rect.height()), QColor(74, 78, 102));
}

void headerLeftEdge(Canvas &c)
{
    c.p.fillRect(QRect(0, 0, 1, c.rect.height()), QColor(kWell));
    headerColumn(c, 1);
}

void scrollArrow(Canvas &c, const char *chevron)
{
    c.p.fillRect(c.rect, QColor(kCaption));
    c.icons.paint(c.p, QRectF(c.rect).adjusted(1, 1, -1, -1), chevron, QColor(kIcon), 2.6);
}

void scrollPart(Canvas &c, ScrollPart part, Qt::Orientation orientation)
{
    const bool vertical = orientation == Qt::Vertical;
    const int thick = vertical ? c.rect.width() : c.rect.height();
    const int length = vertical ? c.rect.height() : c.rect.width();
    auto across = [&](int from, int count, QRgb colour) {
        c.p.fillRect(vertical ? QRect(from, 0, count, length) : QRect(0, from, length, count), QColor(colour));
    };
    switch (part) {
    case ScrollPart::Track:
        across(0, thick, kWell);
        break;
    case ScrollPart::Thumb:
        across(0, thick, kWell);
        across(2, thick - 4, kGroove);
        break;
    case ScrollPart::Grip:
        across(0, thick, kWell);
        across(2, thick - 4, kGroove);
        for (int i = 1; i < length - 1; i += 3) {
            const QRect line = vertical ? QRect(4, i, thick - 8, 1) : QRect(i, 4, 1, thick - 8);
            c.p.fillRect(line, QColor(kTextFaint));
        }
        break;
    }
}

void applicationIcon(Canvas &c)
{
    c.p.fillRect(c.rect, Qt::transparent);
    c.p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(c.rect).adjusted(2, 2, -2, -2);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(40, 44, 64));
    g.setColorAt(1, QColor(kBase));
    c.p.setPen(QPen(QColor(kAccentDim), 2));
    c.p.setBrush(g);
    c.p.drawRoundedRect(r.adjusted(1, 1, -1, -1), r.width() * 0.2, r.width() * 0.2);
    const qreal side = r.width() * 0.62;
    QRectF box(0, 0, side, side);
    box.moveCenter(r.center());
    c.icons.paint(c.p, box, "video", QColor(kAccent), 2.0);
    // The recording light of a dash camera.
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(QColor(kDanger));
    c.p.drawEllipse(QPointF(r.left() + r.width() * 0.78, r.top() + r.height() * 0.22), r.width() * 0.07,
                    r.width() * 0.07);
}

} // namespace skinart
