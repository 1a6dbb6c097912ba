// Colours and fonts of the skin: one dark look shared by every bitmap.
#pragma once

#include <QColor>
#include <QFont>

namespace skinart {

// Window bodies. The viewer fills its windows with kBase or kPanel itself, so bitmaps
// that sit on a window take that window's colour at their edges.
inline constexpr QRgb kBase = qRgb(16, 16, 16);
inline constexpr QRgb kPanel = qRgb(28, 28, 40);
inline constexpr QRgb kBorder = qRgb(32, 33, 38);    // the 3 px window border of the file list and map
inline constexpr QRgb kCaption = qRgb(20, 20, 26);   // caption bands of tool windows
inline constexpr QRgb kRule = qRgb(48, 50, 66);      // separators under captions
inline constexpr QRgb kGroupFill = qRgb(34, 35, 50); // framed option groups
inline constexpr QRgb kGroupLine = qRgb(58, 61, 84);
inline constexpr QRgb kWell = qRgb(12, 12, 16);      // recessed areas: previews, plot, slider wells
inline constexpr QRgb kMapFill = qRgb(28, 31, 40);   // the map control's own fill

// Text and icons.
inline constexpr QRgb kText = qRgb(220, 220, 220);
inline constexpr QRgb kTextDim = qRgb(150, 156, 176);
inline constexpr QRgb kTextFaint = qRgb(96, 102, 124);
inline constexpr QRgb kIcon = qRgb(188, 192, 204);

// Accent (the storage window's usage bars use the same cyan) and states.
inline constexpr QRgb kAccent = qRgb(80, 200, 220);
inline constexpr QRgb kAccentBright = qRgb(150, 232, 244);
inline constexpr QRgb kAccentDim = qRgb(46, 128, 144);
inline constexpr QRgb kAccentDeep = qRgb(22, 74, 86);
inline constexpr QRgb kPlateHover = qRgb(44, 48, 66);
inline constexpr QRgb kPlatePressed = qRgb(10, 12, 16);
inline constexpr QRgb kFace = qRgb(44, 46, 62);      // text buttons at rest
inline constexpr QRgb kFaceLine = qRgb(74, 78, 104);
inline constexpr QRgb kDanger = qRgb(200, 54, 48);
inline constexpr QRgb kDangerDeep = qRgb(120, 28, 26);

// Sliders.
inline constexpr QRgb kGroove = qRgb(58, 61, 78);
inline constexpr QRgb kThumb = qRgb(226, 230, 238);
inline constexpr QRgb kThumbLine = qRgb(112, 118, 140);

// Drawn where a window bitmap is meant to be transparent.
inline constexpr QRgb kMagenta = qRgb(255, 0, 255);

// The viewer's interface font (fontconfig maps Arial to Liberation Sans), size in px.
inline QFont uiFont(int pixelSize, bool bold = false)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

} // namespace skinart
