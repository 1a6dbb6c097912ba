#include "controlart.h"


namespace skinart {

namespace {

QColor mix(QRgb a, QRgb b, qreal t)
{
    return QColor::fromRgbF(qRed(a) / 255.0 * (1 - t) + qRed(b) / 255.0 * t,
                            qGreen(a) / 255.0 * (1 - t) + qGreen(b) / 255.0 * t,
                            qBlue(a) / 255.0 * (1 - t) + qBlue(b) / 255.0 * t);
}

struct Paint {
    QColor fill;    // plate; transparent for none
    QColor line;    // plate outline; transparent for none
    QColor content; // icon and caption
    qreal shift;    // px the content moves down when held
};

// Icon buttons sit directly on the window: no plate at rest.
Paint iconPaint(Look look, Tone tone)
{
    const QColor none(Qt::transparent);
    switch (look) {
    case Look::Normal:
        if (tone == Tone::Active)
            return {QColor(kAccentDeep), none, QColor(kAccentBright), 0};
        return {none, none, QColor(kIcon), 0};
    case Look::Hover:
        if (tone == Tone::Danger)
            return {QColor(kDanger), none, QColor(Qt::white), 0};
        return {QColor(kPlateHover), mix(kPlateHover, kAccent, 0.45), QColor(kAccent), 0};
    case Look::Pressed:
        if (tone == Tone::Danger)
            return {QColor(kDangerDeep), none, mix(kText, kDanger, 0.3), 1};
        return {QColor(kPlatePressed), QColor(kAccentDeep), QColor(kAccentDim), 1};
    }
    return {};
}

// Face buttons always have a plate.
Paint facePaint(Look look, Tone tone)
{
    switch (tone) {
    case Tone::Active:
        switch (look) {
        case Look::Normal: return {QColor(kAccentDim), QColor(kAccent), QColor(Qt::white), 0};
        case Look::Hover: return {QColor(kAccent), QColor(kAccentBright), QColor(kPlatePressed), 0};
        case Look::Pressed: return {QColor(kAccentDeep), QColor(kAccentDim), mix(kText, kAccent, 0.5), 1};
        }
        break;
    case Tone::Danger:
        switch (look) {
        case Look::Normal: return {QColor(kFace), QColor(kFaceLine), QColor(kText), 0};
        case Look::Hover: return {QColor(kDanger), mix(kDanger, kText, 0.35), QColor(Qt::white), 0};
        case Look::Pressed: return {QColor(kDangerDeep), QColor(kDanger), mix(kText, kDanger, 0.3), 1};
        }
        break;
    case Tone::Plain:
        switch (look) {
        case Look::Normal: return {QColor(kFace), QColor(kFaceLine), QColor(kText), 0};
        case Look::Hover: return {mix(kFace, kAccent, 0.18), QColor(kAccent), QColor(kAccentBright), 0};
        case Look::Pressed: return {QColor(kPlatePressed), QColor(kAccentDeep), QColor(kAccentDim), 1};
        }
        break;
    }
    return {};
}

void plate(QPainter &p, const QRectF &r, qreal radius, const Paint &paint)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (paint.line.alpha())
        p.setPen(QPen(paint.line, 1));
    else
        p.setPen(Qt::NoPen);
    p.setBrush(paint.fill.alpha() ? QBrush(paint.fill) : QBrush(Qt::NoBrush));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

} // namespace

void iconButton(Canvas &c, const char *icon, Look look, Tone tone, bool filledIcon, QRgb base)
{
    c.p.fillRect(c.rect, QColor(base));
    const Paint paint = iconPaint(look, tone);
    plate(c.p, QRectF(c.rect).adjusted(1, 1, -1, -1), 4, paint);
    // 14 px icons in a 20 px button leave 3 px around them.
    const qreal side = qMin(c.rect.width(), c.rect.height()) - 6;
    QRectF box(0, 0, side, side);
    box.moveCenter(QRectF(c.rect).center() + QPointF(0, paint.shift));
    c.icons.paint(c.p, box, icon, paint.content, filledIcon ? 1.6 : 2.2, filledIcon);
}

void faceButton(Canvas &c, const char *icon, const QString &caption, Look look, Tone tone,
                QRgb base)
{
    c.p.fillRect(c.rect, QColor(base));
    const Paint paint = facePaint(look, tone);
    const QRectF r = QRectF(c.rect).adjusted(1, 1, -1, -1);
    plate(c.p, r, qMin(6.0, r.height() / 4), paint);
    if (look == Look::Normal) {
        // A faint top light makes the resting face read as raised.
        c.p.setPen(QPen(QColor(255, 255, 255, 22), 1));
        c.p.drawLine(QPointF(r.left() + 4, r.top() + 1.5), QPointF(r.right() - 4, r.top() + 1.5));
    }
    const QRectF inner = r.translated(0, paint.shift);
    const bool tall = c.rect.height() > c.rect.width() * 0.9 && !caption.isEmpty();
    c.p.setPen(paint.content);
    if (caption.isEmpty()) {
        const qreal side = qMin(r.width(), r.height()) * 0.56;
        QRectF box(0, 0, side, side);
        box.moveCenter(inner.center());
        c.icons.paint(c.p, box, icon, paint.content, 2.2);
    } else if (tall) {
        const qreal side = r.width() * 0.42;
        QRectF box(0, 0, side, side);
        box.moveCenter(QPointF(inner.center().x(), inner.top() + inner.height() * 0.40));
        c.icons.paint(c.p, box, icon, paint.content, 1.8);
        c.p.setFont(uiFont(11, true));
        c.p.drawText(QRectF(inner.left(), box.bottom() + 6, inner.width(), 16),
                     Qt::AlignHCenter | Qt::AlignTop, caption);
    } else {
        const QFont font = uiFont(qBound(11, int(r.height() * 0.42), 15), true);
        c.p.setFont(font);
        const qreal textWidth = QFontMetricsF(font).horizontalAdvance(caption);
        const qreal side = icon ? qRound(r.height() * 0.5) : 0;
        const qreal gap = icon ? 7 : 0;
        const qreal left = inner.center().x() - (side + gap + textWidth) / 2;
        if (icon) {
            const QRectF box(left, inner.center().y() - side / 2, side, side);
            c.icons.paint(c.p, box, icon, paint.content, 2.2);
        }
        c.p.drawText(QRectF(left + side + gap, inner.top(), textWidth + 2, inner.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, caption);
    }
}

void optionButton(Canvas &c, Option option)
{
    c.p.fillRect(c.rect, QColor(kGroupFill));
    c.p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(c.rect).center();
    const QColor ring = option == Option::Normal ? QColor(kTextFaint) : QColor(kAccent);
    const QColor well = option == Option::Hover ? mix(kWell, kAccent, 0.22) : QColor(kWell);
    c.p.setPen(QPen(ring, 1.6));
    c.p.setBrush(well);
    c.p.drawEllipse(centre, 7, 7);
    if (option == Option::Selected) {
        c.p.setPen(Qt::NoPen);
        c.p.setBrush(QColor(kAccent));
        c.p.drawEllipse(centre, 3.6, 3.6);
    } else if (option == Option::Hover) {
        c.p.setPen(Qt::NoPen);
        c.p.setBrush(QColor(kAccentDim));
        c.p.drawEllipse(centre, 2.4, 2.4);
    }
}

void sliderTrack(Canvas &c, bool filled)
{
    c.p.fillRect(c.rect, QColor(kBase));
    c.p.setRenderHint(QPainter::Antialiasing);
    // A 4 px groove on the vertical middle of the 13 px control, rounded at both ends.
    const QRectF groove(0.5, (c.rect.height() - 4) / 2.0, c.rect.width() - 1, 4);
    c.p.setPen(Qt::NoPen);
    if (filled) {
        QLinearGradient g(groove.topLeft(), groove.topRight());
        g.setColorAt(0, QColor(kAccentDim));
        g.setColorAt(1, QColor(kAccent));
        c.p.setBrush(g);
    } else {
        c.p.setBrush(QColor(kGroove));
    }
    c.p.drawRoundedRect(groove, 2, 2);
    if (!filled) {
        // A shadow line along the top edge sinks the empty groove in.
        c.p.setPen(QPen(QColor(0, 0, 0, 90), 1));
        c.p.drawLine(QPointF(groove.left() + 2, groove.top() + 0.5),
                     QPointF(groove.right() - 2, groove.top() + 0.5));
    }
}

void sliderThumb(Canvas &c, bool dragged)
{
    c.p.fillRect(c.rect, QColor(kBase));
    c.p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(c.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor face = dragged ? QColor(kAccent) : QColor(kThumb);
    const QColor line = dragged ? QColor(kAccentBright) : QColor(kThumbLine);
    c.p.setPen(QPen(line, 1));
    c.p.setBrush(face);
    if (c.rect.width() == c.rect.height()) {
        c.p.drawEllipse(r);
        c.p.setPen(Qt::NoPen);
        c.p.setBrush(dragged ? QColor(Qt::white) : QColor(kAccentDim));
        c.p.drawEllipse(r.center(), 2, 2);
    } else {
        c.p.drawRoundedRect(r, 3, 3);
        c.p.setPen(QPen(dragged ? QColor(Qt::white) : QColor(kThumbLine), 1));
        const qreal x = r.center().x();
        c.p.drawLine(QPointF(x, r.top() + 3.5), QPointF(x, r.bottom() - 3.5));
    }
}

void glyph(Canvas &c, const char *icon, QRgb colour, QRgb base)
{
    c.p.fillRect(c.rect, QColor(base));
    const qreal side = qMin(c.rect.width(), c.rect.height()) - 1;
    QRectF box(0, 0, side, side);
    box.moveCenter(QRectF(c.rect).center());
    c.icons.paint(c.p, box, icon, QColor(colour), 2.2);
}

} // namespace skinart
