#include "backgrounds.h"
#include "chrome.h"

namespace skinart {

namespace {

// The picture settings window places its four 85 x 13 sliders here (top-left, client
// pixels); their track bitmaps have the window colour kBase at the edges, so each sits
// in a well of that colour.
struct SliderLabel {
    int x, y;
    const char *text;
};
constexpr SliderLabel kSliders[] = {
    {28, 40, "Brightness"}, // luminance offset
    {152, 40, "Contrast"},  // luminance gain
    {28, 75, "Saturation"},
    {152, 75, "Hue"},
};
constexpr QSize kSlider(85, 13);
constexpr int kCaptionBand = 22; // the Close button (255, 0, 20 x 20) sits in it

} // namespace

void pictureSettingsBackground(Canvas &c)
{
    c.p.fillRect(c.rect, QColor(kPanel));
    captionBand(c, kCaptionBand, "sliders-horizontal", QStringLiteral("Picture Settings"), 11);

    for (const SliderLabel &s : kSliders) {
        const QRect slider(QPoint(s.x, s.y), kSlider);
        label(c, QRectF(s.x, s.y - 15, kSlider.width(), 13), QString::fromLatin1(s.text), kTextDim, 11,
              Qt::AlignLeft | Qt::AlignVCenter);
        well(c, QRectF(slider).adjusted(-4, -3, 4, 3), 4, kBase);
    }
    // Sides and bottom only: the Close button sits on the top edge.
    const QRect r = c.rect;
    c.p.fillRect(QRect(0, 0, 1, r.height()), QColor(kBorder));
    c.p.fillRect(QRect(r.width() - 1, 0, 1, r.height()), QColor(kBorder));
    c.p.fillRect(QRect(0, r.height() - 1, r.width(), 1), QColor(kBorder));
}

} // namespace skinart
