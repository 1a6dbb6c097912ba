// Decorations that are neither buttons nor backgrounds: badges of the information panel
// and the map, and the program's own bitmaps (list header, scroll bars, icon).
#pragma once

#include "canvas.h"

namespace skinart {

void sensorBadge(Canvas &c);  // information panel, left of the value cells
void mapBadge(Canvas &c);     // map control, top-right corner

void headerFill(Canvas &c);      // list header, stretched along the items
void headerRightEdge(Canvas &c); // right edge of every header item
void headerLeftEdge(Canvas &c);  // left edge of the first header item

enum class ScrollPart { Track, Thumb, Grip };
void scrollArrow(Canvas &c, const char *chevron);
void scrollPart(Canvas &c, ScrollPart part, Qt::Orientation orientation);

void applicationIcon(Canvas &c);

} // namespace skinart
