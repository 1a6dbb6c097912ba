#include "skinrecipes.h"

#include "backgrounds.h"
#include "badges.h"
#include "controlart.h"

namespace skinart {

namespace {

using L = Look;
using T = Tone;

// Media transport icons read better filled.
constexpr bool kFilled = true;

constexpr Recipe kSkin[] = {
    {103, [](Canvas &c) { sliderThumb(c, true); }},
    {104, [](Canvas &c) { sliderThumb(c, false); }},
    {105, [](Canvas &c) { sliderTrack(c, false); }},
    {106, [](Canvas &c) { sliderTrack(c, true); }},
    {111, [](Canvas &c) { glyph(c, "gauge", kTextDim); }},
    {112, [](Canvas &c) { glyph(c, "volume-2", kTextDim); }},
    {115, [](Canvas &c) { sliderThumb(c, true); }},
    {116, [](Canvas &c) { sliderThumb(c, false); }},
    {117, [](Canvas &c) { sliderTrack(c, false); }},
    {118, [](Canvas &c) { sliderTrack(c, true); }},

    {149, printBackground},
    {150, [](Canvas &c) { faceButton(c, "x", {}, L::Pressed, T::Danger, kBase); }},
    {151, [](Canvas &c) { faceButton(c, "x", {}, L::Normal, T::Danger, kBase); }},
    {152, [](Canvas &c) { faceButton(c, "x", {}, L::Hover, T::Danger, kBase); }},
    {153, [](Canvas &c) { faceButton(c, "printer", QStringLiteral("PRINT START"), L::Pressed, T::Active, kPanel); }},
    {154, [](Canvas &c) { faceButton(c, "printer", QStringLiteral("PRINT START"), L::Normal, T::Active, kPanel); }},
    {155, [](Canvas &c) { faceButton(c, "printer", QStringLiteral("PRINT START"), L::Hover, T::Active, kPanel); }},

    {157, settingsBackground},
    {158, [](Canvas &c) { faceButton(c, "x", QStringLiteral("Close"), L::Normal, T::Danger, kBase); }},
    {160, [](Canvas &c) { faceButton(c, "x", QStringLiteral("Close"), L::Pressed, T::Danger, kBase); }},
    {161, [](Canvas &c) { faceButton(c, "save", QStringLiteral("SAVE"), L::Hover, T::Active, kPanel); }},
    {162, [](Canvas &c) { faceButton(c, "save", QStringLiteral("SAVE"), L::Pressed, T::Active, kPanel); }},
    {163, [](Canvas &c) { faceButton(c, "save", QStringLiteral("SAVE"), L::Normal, T::Active, kPanel); }},
    {165, [](Canvas &c) { optionButton(c, Option::Selected); }},
    {166, [](Canvas &c) { optionButton(c, Option::Normal); }},
    {167, [](Canvas &c) { optionButton(c, Option::Hover); }},

    {201, [](Canvas &c) { iconButton(c, "list-video", L::Normal); }},
    {202, [](Canvas &c) { iconButton(c, "list-video", L::Hover); }},
    {203, [](Canvas &c) { iconButton(c, "scan", L::Normal); }},
    {204, [](Canvas &c) { iconButton(c, "scan", L::Hover); }},
    {205, [](Canvas &c) { iconButton(c, "maximize", L::Normal); }},
    {206, [](Canvas &c) { iconButton(c, "maximize", L::Hover); }},
    {207, [](Canvas &c) { iconButton(c, "minus", L::Normal); }},
    {208, [](Canvas &c) { iconButton(c, "skip-forward", L::Normal, T::Plain, kFilled); }},
    {209, [](Canvas &c) { iconButton(c, "skip-forward", L::Hover, T::Plain, kFilled); }},
    {210, [](Canvas &c) { iconButton(c, "folder-open", L::Normal); }},
    {211, [](Canvas &c) { iconButton(c, "folder-open", L::Hover); }},
    {212, [](Canvas &c) { iconButton(c, "pause", L::Normal, T::Plain, kFilled); }},
    {213, [](Canvas &c) { iconButton(c, "pause", L::Hover, T::Plain, kFilled); }},
    {214, [](Canvas &c) { iconButton(c, "play", L::Normal, T::Plain, kFilled); }},
    {215, [](Canvas &c) { iconButton(c, "play", L::Hover, T::Plain, kFilled); }},
    {216, [](Canvas &c) { iconButton(c, "skip-back", L::Normal, T::Plain, kFilled); }},
    {217, [](Canvas &c) { iconButton(c, "skip-back", L::Hover, T::Plain, kFilled); }},
    {218, [](Canvas &c) { iconButton(c, "x", L::Normal, T::Danger); }},
    {219, [](Canvas &c) { iconButton(c, "x", L::Hover, T::Danger); }},
    {220, [](Canvas &c) { iconButton(c, "settings", L::Normal); }},
    {221, [](Canvas &c) { iconButton(c, "settings", L::Hover); }},
    {222, [](Canvas &c) { iconButton(c, "square", L::Normal, T::Plain, kFilled); }},
    {223, [](Canvas &c) { iconButton(c, "square", L::Hover, T::Plain, kFilled); }},
    {224, [](Canvas &c) { iconButton(c, "minus", L::Hover); }},
    {227, [](Canvas &c) { iconButton(c, "rewind", L::Normal, T::Plain, kFilled); }},
    {228, [](Canvas &c) { iconButton(c, "rewind", L::Hover, T::Plain, kFilled); }},
    {229, [](Canvas &c) { iconButton(c, "fast-forward", L::Normal, T::Plain, kFilled); }},
    {230, [](Canvas &c) { iconButton(c, "fast-forward", L::Hover, T::Plain, kFilled); }},
    {231, [](Canvas &c) { iconButton(c, "camera", L::Normal); }},
    {232, [](Canvas &c) { iconButton(c, "camera", L::Hover); }},
    {233, [](Canvas &c) { iconButton(c, "activity", L::Normal); }},
    {234, [](Canvas &c) { iconButton(c, "activity", L::Hover); }},
    {235, [](Canvas &c) { iconButton(c, "arrow-right-left", L::Normal); }},
    {236, [](Canvas &c) { iconButton(c, "arrow-right-left", L::Hover); }},
    {237, [](Canvas &c) { iconButton(c, "printer", L::Normal); }},
    {238, [](Canvas &c) { iconButton(c, "printer", L::Hover); }},

    {239, [](Canvas &c) { glyph(c, "move-vertical", kAccent); }},
    {240, [](Canvas &c) { glyph(c, "move-horizontal", kAccent); }},
    {241, [](Canvas &c) { glyph(c, "gauge", kAccent); }},
    {242, graphBackground},
    // Docked shows 244 and presses to 243, floating the reverse: each image shows a state.
    {243, [](Canvas &c) { iconButton(c, "pin-off", L::Normal); }},
    {244, [](Canvas &c) { iconButton(c, "pin", L::Normal, T::Active); }},
    {245, [](Canvas &c) { iconButton(c, "map", L::Normal); }},
    {246, [](Canvas &c) { iconButton(c, "map", L::Hover); }},
    {247, [](Canvas &c) { iconButton(c, "sliders-horizontal", L::Normal); }},
    {248, [](Canvas &c) { iconButton(c, "sliders-horizontal", L::Hover); }},
    {249, pictureSettingsBackground},
    {250, [](Canvas &c) { faceButton(c, "rotate-ccw", {}, L::Normal, T::Plain, kPanel); }},
    {251, [](Canvas &c) { faceButton(c, "rotate-ccw", {}, L::Hover, T::Plain, kPanel); }},
    {252, [](Canvas &c) { iconButton(c, "minimize-2", L::Normal); }},
    {253, [](Canvas &c) { iconButton(c, "minimize-2", L::Hover); }},
    {254, sensorBadge},
    {255, [](Canvas &c) { iconButton(c, "arrow-down-wide-narrow", L::Normal); }},
    {256, [](Canvas &c) { iconButton(c, "arrow-down-wide-narrow", L::Hover); }},
    {257, [](Canvas &c) { iconButton(c, "arrow-up-narrow-wide", L::Normal); }},
    {258, [](Canvas &c) { iconButton(c, "arrow-up-narrow-wide", L::Hover); }},
    {259, [](Canvas &c) { iconButton(c, "hard-drive", L::Normal); }},
    {260, [](Canvas &c) { iconButton(c, "hard-drive", L::Hover); }},
    {261, mapBadge},
    {268, [](Canvas &c) { iconButton(c, "flip-horizontal-2", L::Normal); }},
    {269, [](Canvas &c) { iconButton(c, "flip-horizontal-2", L::Hover); }},
};

constexpr Recipe kOwn[] = {
    {128, applicationIcon, true},
    {140, headerRightEdge},
    {141, headerFill},
    {142, headerLeftEdge},
    {143, [](Canvas &c) { scrollArrow(c, "chevron-up"); }},
    {144, [](Canvas &c) { scrollArrow(c, "chevron-down"); }},
    {145, [](Canvas &c) { scrollPart(c, ScrollPart::Track, Qt::Vertical); }},
    {146, [](Canvas &c) { scrollPart(c, ScrollPart::Thumb, Qt::Vertical); }},
    {147, [](Canvas &c) { scrollPart(c, ScrollPart::Grip, Qt::Vertical); }},
    {148, [](Canvas &c) { scrollArrow(c, "chevron-left"); }},
    {149, [](Canvas &c) { scrollArrow(c, "chevron-right"); }},
    {150, [](Canvas &c) { scrollPart(c, ScrollPart::Track, Qt::Horizontal); }},
    {151, [](Canvas &c) { scrollPart(c, ScrollPart::Thumb, Qt::Horizontal); }},
    {152, [](Canvas &c) { scrollPart(c, ScrollPart::Grip, Qt::Horizontal); }},
};

} // namespace

std::span<const Recipe> skinRecipes()
{
    return kSkin;
}

std::span<const Recipe> ownRecipes()
{
    return kOwn;
}

const Recipe *findRecipe(std::span<const Recipe> table, int id)
{
    for (const Recipe &r : table) {
        if (r.id == id)
            return &r;
    }
    return nullptr;
}

} // namespace skinart
