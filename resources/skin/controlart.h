// Buttons, option buttons, sliders and small glyphs of the skin.
#pragma once

#include "canvas.h"
#include "skinpalette.h"

namespace skinart {

// The three images of a skinned button: at rest, under the mouse, held down.
enum class Look { Normal, Hover, Pressed };

// Plain buttons light up in the accent; Danger ones (close) turn red; Active ones show a
// switched-on state (a pinned window, the primary action of a window).
enum class Tone { Plain, Danger, Active };

// A 20 x 20 (or any small) icon button on the window colour base.
void iconButton(Canvas &c, const char *icon, Look look, Tone tone = Tone::Plain,
                bool filledIcon = false, QRgb base = kBase);

// A face button with an optional icon and caption; the icon sits above the caption when
// the button is taller than it is wide, else before it.
void faceButton(Canvas &c, const char *icon, const QString &caption, Look look, Tone tone,
                QRgb base);

// The settings window's option buttons: at rest, under the mouse, selected (also pressed).
enum class Option { Normal, Hover, Selected };
void optionButton(Canvas &c, Option option);

// A slider groove the size of the control, empty or filled up to the thumb.
void sliderTrack(Canvas &c, bool filled);

// A slider thumb: a pill for the narrow sliders, a round knob for the seek slider.
void sliderThumb(Canvas &c, bool dragged);

// A single icon centred on the base colour (panel and information panel icons).
void glyph(Canvas &c, const char *icon, QRgb colour, QRgb base = kBase);

} // namespace skinart
