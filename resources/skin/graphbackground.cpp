#include "backgrounds.h"
#include "chrome.h"

namespace skinart {

namespace {

// The graph window's geometry (client pixels). The plot maps 0..60 000 ms onto x 50..547
// and draws the axes around the baseline y = 165, 78 px per half scale (512 counts of a
// 10-bit sample, about 4 g as the information panel converts it); the cursor runs from
// y 81 to 247, so the plot area is drawn down to there.
constexpr int kPlotLeft = 50;
constexpr int kPlotRight = 547;
constexpr int kPlotTop = 79;
constexpr int kPlotBottom = 247;
constexpr int kBaseline = 165;
constexpr int kHalfScale = 78;
constexpr int kCaptionBand = 40; // dragging the window works in this band
constexpr int kBorderWidth = 3; // as the file list and map windows

struct Axis {
    const char *name;
    QRgb colour; // the pen colours of the plot
};
constexpr Axis kAxes[] = {{"X", qRgb(0, 255, 0)}, {"Y", qRgb(255, 0, 0)}, {"Z", qRgb(0, 0, 255)}};

int timeToX(int ms)
{
    return ms * (kPlotRight - kPlotLeft) / 60000 + kPlotLeft;
}

} // namespace

void graphBackground(Canvas &c)
{
    c.p.fillRect(c.rect, QColor(kPanel));
    captionBand(c, kCaptionBand, "activity", QStringLiteral("G-SENSOR"), 14);

    // Legend in the caption band, left of the close button at x 520.
    int x = 318;
    for (const Axis &a : kAxes) {
        c.p.fillRect(QRect(x, 19, 14, 3), QColor(a.colour));
        label(c, QRectF(x + 19, 10, 40, 20), QStringLiteral("%1 axis").arg(QLatin1String(a.name)),
              kTextDim, 11);
        x += 64;
    }

    label(c, QRectF(kPlotLeft, kCaptionBand + 6, 400, 26),
          QStringLiteral("Acceleration over the first minute of the recording"), kTextDim, 11);

    const QRect plot(QPoint(kPlotLeft, kPlotTop), QPoint(kPlotRight, kPlotBottom));
    c.p.fillRect(plot, QColor(kWell));

    // Horizontal lines at 0, +-2 g and +-4 g with their values on the left.
    const int steps[] = {2, 1, 0, -1, -2};
    for (int step : steps) {
        const int y = kBaseline - step * kHalfScale / 2;
        const QColor line = step == 0 ? QColor(kTextFaint) : QColor(kRule);
        c.p.setPen(QPen(line, 1, step == 0 ? Qt::SolidLine : Qt::DotLine));
        c.p.drawLine(kPlotLeft, y, kPlotRight, y);
        const QString value = step == 0 ? QStringLiteral("0 g")
                                        : QStringLiteral("%1%2 g").arg(QLatin1String(step > 0 ? "+" : "")).arg(step * 2);
        label(c, QRectF(6, y - 8, kPlotLeft - 12, 16), value, kTextDim, 11,
              Qt::AlignRight | Qt::AlignVCenter);
    }

    // Vertical lines every 10 s with their times below the plot.
    for (int s = 0; s <= 60; s += 10) {
        const int tx = timeToX(s * 1000);
        if (s > 0 && s < 60) {
            c.p.setPen(QPen(QColor(kRule), 1, Qt::DotLine));
            c.p.drawLine(tx, kPlotTop, tx, kPlotBottom);
        }
        const int align = s == 0 ? Qt::AlignLeft : s == 60 ? Qt::AlignRight : Qt::AlignHCenter;
        const QRectF box = s == 60 ? QRectF(tx - 60, kPlotBottom + 4, 60, 16)
                         : s == 0  ? QRectF(tx, kPlotBottom + 4, 60, 16)
                                   : QRectF(tx - 30, kPlotBottom + 4, 60, 16);
        label(c, box, QStringLiteral("%1 s").arg(s), kTextDim, 11, align | Qt::AlignTop);
    }
    c.p.setPen(QPen(QColor(kGroupLine), 1));
    c.p.setBrush(Qt::NoBrush);
    c.p.drawRect(plot.adjusted(0, 0, -1, -1));

    label(c, QRectF(kPlotLeft, kPlotBottom + 20, kPlotRight - kPlotLeft - 4, 18),
          QStringLiteral("Click or drag in the graph to seek"), kTextFaint, 11,
          Qt::AlignRight | Qt::AlignVCenter);

    windowBorder(c, kBorder, kBorderWidth);
}

} // namespace skinart
