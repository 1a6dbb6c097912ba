#include "skinheaderctrl.h"

#include "skinresources.h"

#include <QPainter>

namespace {
constexpr int kRightEdge = 140;
constexpr int kBody = 141;
constexpr int kFirstLeftEdge = 142;
} // namespace

CSkinHeaderCtrl::CSkinHeaderCtrl(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsMovable(true);
    setFirstSectionMovable(true);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignCenter);
    setMinimumHeight(kHeight);
}

QSize CSkinHeaderCtrl::sizeHint() const
{
    return {QHeaderView::sizeHint().width(), kHeight};
}

void CSkinHeaderCtrl::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(viewport());
        painter.fillRect(viewport()->rect(), Qt::black);
        const QPixmap body = ownBitmap(kBody);
        if (!body.isNull())
            painter.drawPixmap(QRect(2, 0, viewport()->width() - 2, kHeight), body);
    }
    QHeaderView::paintEvent(event);
}

void CSkinHeaderCtrl::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    painter->save();
    const QPixmap body = ownBitmap(kBody);
    const QPixmap rightEdge = ownBitmap(kRightEdge);
    const bool first = visualIndex(logicalIndex) == 0;
    if (first)
        painter->drawPixmap(QRect(rect.left(), rect.top(), 2, kHeight), ownBitmap(kFirstLeftEdge));
    else
        painter->drawPixmap(QRect(rect.left(), rect.top(), 1, kHeight), body, QRect(0, 0, 1, body.height()));
    const int left = rect.left() + (first ? 2 : 1);
    painter->drawPixmap(QRect(left, rect.top(), rect.right() - 1 - left, kHeight), body);
    painter->drawPixmap(QRect(rect.right() - 1, rect.top(), 2, kHeight), rightEdge);

    QFont font(QStringLiteral("Sevenet 7"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(14);
    painter->setFont(font);
    painter->setPen(Qt::white);
    const QRect textRect = rect.adjusted(2, 2, -2, -2);
    const QString title = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    painter->drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine,
                      QFontMetrics(font).elidedText(title, Qt::ElideRight, textRect.width()));
    painter->restore();
}
