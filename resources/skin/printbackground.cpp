#include "backgrounds.h"
#include "chrome.h"

namespace skinart {

namespace {

// Where the print window puts its controls (window pixels).
constexpr QRect kPreview(15, 74, 909, 524);    // the still frame is scaled into it
constexpr QRect kDetails(20, 605, 790, 88);    // the multi-line details edit box
constexpr int kCaptionHeight = 68;             // the Close button (874, 20, 41 x 41) sits in it
constexpr qreal kCornerRadius = 12;

} // namespace

void printBackground(Canvas &c)
{
    c.p.fillRect(c.rect, QColor(kPanel));
    c.p.fillRect(QRect(0, 0, c.rect.width(), kCaptionHeight), QColor(kBase));
    c.p.fillRect(QRect(0, kCaptionHeight - 1, c.rect.width(), 1), QColor(kRule));
    c.icons.paint(c.p, QRectF(22, 18, 32, 32), "printer", QColor(kAccent), 1.8);
    label(c, QRectF(70, 12, 500, 28), QStringLiteral("Accident Report"), kText, 22,
          Qt::AlignLeft | Qt::AlignVCenter, true);
    label(c, QRectF(71, 40, 700, 18),
          QStringLiteral("The report prints this still frame, the map and the details typed below."),
          kTextDim, 12);

    well(c, QRectF(kPreview), 2);
    const QRectF mark(kPreview.center().x() - 28, kPreview.center().y() - 44, 56, 56);
    c.icons.paint(c.p, mark, "camera", QColor(kTextFaint), 1.4);
    label(c, QRectF(kPreview.left(), mark.bottom() + 8, kPreview.width(), 20),
          QStringLiteral("No still frame"), kTextFaint, 14, Qt::AlignHCenter | Qt::AlignTop);

    // The edit box draws its own border; the well gives it a one-pixel margin.
    well(c, QRectF(kDetails).adjusted(-1, -1, 1, 1), 2);

    roundedFrame(c, kCornerRadius, kGroupLine);
    keyCorners(c, kCornerRadius);
}

} // namespace skinart
