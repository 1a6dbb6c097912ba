// The window background bitmaps. Each draws the labels, frames and titles under the
// places where its window puts its controls, so the two must change together.
#pragma once

#include "canvas.h"

namespace skinart {

void settingsBackground(Canvas &c);        // camera settings window, 724 x 878
void printBackground(Canvas &c);           // accident report print window, 936 x 701
void graphBackground(Canvas &c);           // G-sensor graph, 550 x 290
void pictureSettingsBackground(Canvas &c); // picture settings, 280 x 106

} // namespace skinart
