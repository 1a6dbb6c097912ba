// Window furniture shared by the background bitmaps: bands, frames, groups, labels.
#pragma once

#include "canvas.h"
#include "skinpalette.h"

#include <QString>

namespace skinart {

// A caption band across the top of the bitmap with an accent icon and a bold title.
void captionBand(Canvas &c, int height, const char *icon, const QString &title, int titlePx);

// A border of the given width along the bitmap's edges.
void windowBorder(Canvas &c, QRgb colour, int width);

// A 1 px outline along a rounded window edge (use with keyCorners of the same radius).
void roundedFrame(Canvas &c, qreal radius, QRgb colour);

// A framed option group with its title in the top-left corner.
void groupBox(Canvas &c, const QRect &r, const QString &title);

// A recessed area (preview, plot, slider well).
void well(Canvas &c, const QRectF &r, qreal radius, QRgb fill = kWell);

// Text in a box, Liberation Sans of px pixels.
void label(Canvas &c, const QRectF &box, const QString &text, QRgb colour = kText, int px = 12,
           int align = Qt::AlignLeft | Qt::AlignVCenter, bool bold = false);

// Rounds the bitmap's corners: everything outside a rounded rectangle becomes magenta, the
// colour the viewer leaves transparent. Drawn last, without antialiasing, so no pixel is a
// blend of magenta and the window.
void keyCorners(Canvas &c, qreal radius);

} // namespace skinart
