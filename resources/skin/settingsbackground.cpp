#include "backgrounds.h"
#include "chrome.h"

namespace skinart {

namespace {

// Where the settings window places its 20 x 20 option buttons (top-left, window pixels),
// in button number order, and the text shown to the right of each.
struct OptionLabel {
    int x, y;
    const char *text;
};

constexpr OptionLabel kOptionLabels[] = {
    {40, 209, "Level 1"}, {131, 209, "Level 2"}, {246, 209, "Level 3"},          // 0-2 LCD brightness
    {246, 373, "Low"}, {131, 373, "Middle"}, {40, 373, "High"},                 // 3-5 G sensor
    {596, 373, "Low"}, {482, 373, "Middle"}, {390, 373, "High"},                // 6-8 motion
    {144, 451, "Off"}, {39, 451, "On"},                                         // 9-10 LDWS
    {375, 451, "Off"}, {269, 451, "On"},                                        // 11-12 FCWS
    {604, 451, "Off"}, {500, 451, "On"},                                        // 13-14 FVSA
    {144, 286, "Off"}, {39, 286, "On"},                                         // 15-16 voice guide
    {375, 286, "Off"}, {269, 286, "On"},                                        // 17-18 voice recording
    {604, 286, "Off"}, {500, 286, "On"},                                        // 19-20 night vision
    {375, 528, "Off"}, {269, 528, "On"},                                        // 21-22 parking LED
    {145, 528, "Off"}, {40, 528, "On"},                                         // 23-24 parking mode
    {66, 608, "11.8 V / 23.8 V"}, {279, 608, "12.0 V / 24.0 V"},                // 25-29 shutdown
    {492, 608, "12.2 V / 24.2 V"}, {66, 642, "12.4 V / 24.4 V"},
    {279, 642, "Not used"},
    {389, 209, "Low"}, {482, 209, "Middle"}, {596, 209, "High"},                // 30-32 volume
    {65, 91, "Screen off after 30 seconds"}, {397, 91, "Screen off after 3 minutes"}, // 33-36
    {397, 121, "Screen always on"}, {65, 121, "Display clock after 30 seconds"},
    {375, 751, "Off"}, {269, 751, "On"},                                        // 37-38 DST
};

// The option groups: columns are the full width, two halves or three thirds of the window
// inside a 20 px margin. Each group's title sits 32 px above its first row of buttons; the
// groups end 12 px before the next one starts, so the gaps between them are even although
// the rows of buttons are not.
struct Group {
    int left, right, top, bottom;
    const char *title;
};

constexpr int kFullL = 20, kFullR = 704;
constexpr int kHalfR = 356, kHalf2L = 368;
constexpr int kThirdR = 240, kThird2L = 252, kThird2R = 472, kThird3L = 484;

constexpr Group kGroups[] = {
    {kFullL, kFullR, 52, 165, "Screen Mode"},
    {kFullL, kHalfR, 177, 242, "LCD Brightness"},
    {kHalf2L, kFullR, 177, 242, "Audio Volume"},
    {kFullL, kThirdR, 254, 329, "Voice Guide"},
    {kThird2L, kThird2R, 254, 329, "Voice Recording"},
    {kThird3L, kFullR, 254, 329, "Night Vision"},
    {kFullL, kHalfR, 341, 407, "G-Sensor Sensitivity"},
    {kHalf2L, kFullR, 341, 407, "Motion Sensitivity"},
    {kFullL, kThirdR, 419, 484, "LDWS  Lane Departure"},
    {kThird2L, kThird2R, 419, 484, "FCWS  Forward Collision"},
    {kThird3L, kFullR, 419, 484, "FVSA  Front Vehicle Start"},
    {kFullL, kThirdR, 496, 564, "Parking Mode"},
    {kThird2L, kThird2R, 496, 564, "Parking LED"},
    {kFullL, kFullR, 576, 670, "Low-Voltage Power Shutdown"},
    {kFullL, kFullR, 682, 783, "Time"},
};

constexpr int kOptionSize = 20;
constexpr QRect kTimeZoneList(180, 714, 450, 20);
constexpr int kTitleBand = 40;
constexpr qreal kCornerRadius = 10;

} // namespace

void settingsBackground(Canvas &c)
{
    c.p.fillRect(c.rect, QColor(kPanel));
    captionBand(c, kTitleBand, "settings", QStringLiteral("DEVICE SETTINGS"), 16);
    label(c, QRectF(232, 0, 400, kTitleBand - 1), QStringLiteral("SETUP\\setup.ini on the memory card"),
          kTextFaint, 11, Qt::AlignLeft | Qt::AlignVCenter);

    for (const Group &g : kGroups)
        groupBox(c, QRect(QPoint(g.left, g.top), QPoint(g.right, g.bottom)), QString::fromLatin1(g.title));

    for (const OptionLabel &o : kOptionLabels)
        label(c, QRectF(o.x + kOptionSize + 6, o.y, 220, kOptionSize), QString::fromLatin1(o.text));

    // The third slot of the parking row holds a note instead of a group.
    label(c, QRectF(kThird3L + 6, 496, kFullR - kThird3L - 12, 68),
          QStringLiteral("Save writes these settings to the card.\nClose leaves the card unchanged."),
          kTextFaint, 11, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap);

    // Time zone: the window's drop-down list sits in the well; DST options below it.
    label(c, QRectF(40, kTimeZoneList.top(), 130, kTimeZoneList.height()), QStringLiteral("Time zone"));
    well(c, QRectF(kTimeZoneList).adjusted(-1, -1, 1, 1), 2);
    label(c, QRectF(40, 751, 220, kOptionSize), QStringLiteral("Daylight saving time"));

    roundedFrame(c, kCornerRadius, kGroupLine);
    keyCorners(c, kCornerRadius);
}

} // namespace skinart
