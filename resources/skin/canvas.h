// What every drawing function of the skin gets: a painter on the bitmap, its size, the icons.
#pragma once

#include "iconlibrary.h"

#include <QPainter>
#include <QRect>

namespace skinart {

struct Canvas {
    QPainter &p;
    QRect rect; // the whole bitmap, origin (0, 0)
    const IconLibrary &icons;
};

} // namespace skinart
