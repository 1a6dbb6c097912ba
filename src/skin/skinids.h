// Every skin bitmap the viewer loads, by numeric id, with its size in pixels and its role.
//
// Two namespaces share the numbers: the resource library (ResourceDll.rcc next to the
// executable, ":/skin/<id>.png") and the program's own resources compiled into the
// executable (":/own/<id>.png"). Ids 149 to 152 exist in both with different images, so
// each namespace has its own table. Buttons list normal, hover and pressed images in the
// order the skinned-button factory takes them; a slider's track and filled track have the
// control's size, because the slider takes its size from the track bitmap.
#pragma once

#include <span>

namespace skin {

struct BitmapInfo {
    int id;
    int width;       // px
    int height;      // px
    const char *role;
};

inline constexpr BitmapInfo kSkinBitmaps[] = {
    // Seek slider of the control panel; the 13 px thumb covers the 6 px that the slider
    // leaves free between the filled track and the thumb centre.
    {103, 13, 13, "seek thumb dragged"},
    {104, 13, 13, "seek thumb"},
    {105, 390, 13, "seek track"},
    {106, 390, 13, "seek track filled"},
    // Control panel decorations in front of the speed and volume sliders.
    {111, 15, 15, "panel speed icon"},
    {112, 15, 15, "panel volume icon"},
    // Speed, volume and picture sliders (85 px track, 9 px thumb).
    {115, 9, 13, "slider thumb dragged"},
    {116, 9, 13, "slider thumb"},
    {117, 85, 13, "slider track"},
    {118, 85, 13, "slider track filled"},
    // Accident report print window.
    {149, 936, 701, "print window background (magenta transparent)"},
    {150, 41, 41, "print Close pressed"},
    {151, 41, 41, "print Close normal"},
    {152, 41, 41, "print Close hover"},
    {153, 91, 87, "print Print Start pressed"},
    {154, 91, 87, "print Print Start normal"},
    {155, 91, 87, "print Print Start hover"},
    // Camera settings window.
    {157, 724, 878, "settings window background (magenta transparent)"},
    {158, 65, 28, "settings Close normal and hover"},
    {160, 65, 28, "settings Close pressed"},
    {161, 158, 36, "settings Save hover"},
    {162, 158, 36, "settings Save pressed"},
    {163, 158, 36, "settings Save normal"},
    {165, 20, 20, "settings option selected, pressed"},
    {166, 20, 20, "settings option normal"},
    {167, 20, 20, "settings option hover"},
    // 20 x 20 buttons of the main window, control panel, file list and map.
    {201, 20, 20, "title File list normal"},
    {202, 20, 20, "title File list hover"},
    {203, 20, 20, "title Fit Screen normal"},
    {204, 20, 20, "title Fit Screen hover"},
    {205, 20, 20, "title Full Screen normal"},
    {206, 20, 20, "title Full Screen hover"},
    {207, 20, 20, "title Minimization normal"},
    {208, 20, 20, "panel Next File normal"},
    {209, 20, 20, "panel Next File hover"},
    {210, 20, 20, "file list Open File normal"},
    {211, 20, 20, "file list Open File hover"},
    {212, 20, 20, "panel Play while playing (pause) normal"},
    {213, 20, 20, "panel Play while playing (pause) hover"},
    {214, 20, 20, "panel Play normal"},
    {215, 20, 20, "panel Play hover"},
    {216, 20, 20, "panel Previous file normal"},
    {217, 20, 20, "panel Previous file hover"},
    {218, 20, 20, "Close normal"},
    {219, 20, 20, "Close hover, pressed"},
    {220, 20, 20, "panel Device settings normal"},
    {221, 20, 20, "panel Device settings hover"},
    {222, 20, 20, "panel Stop normal"},
    {223, 20, 20, "panel Stop hover"},
    {224, 20, 20, "title Minimization hover"},
    {227, 20, 20, "panel Rewind normal"},
    {228, 20, 20, "panel Rewind hover"},
    {229, 20, 20, "panel Forward normal"},
    {230, 20, 20, "panel Forward hover"},
    {231, 20, 20, "panel Capture normal"},
    {232, 20, 20, "panel Capture hover"},
    {233, 20, 20, "panel Sensor information normal"},
    {234, 20, 20, "panel Sensor information hover"},
    {235, 20, 20, "panel Screen switching normal"},
    {236, 20, 20, "panel Screen switching hover"},
    {237, 20, 20, "panel Print normal"},
    {238, 20, 20, "panel Print hover"},
    // Sensor information panel.
    {239, 15, 14, "info Latitude icon"},
    {240, 15, 14, "info Longitude icon"},
    {241, 15, 14, "info Speed icon"},
    {242, 550, 290, "G-sensor graph background"},
    {243, 20, 20, "Fixed window, floating"},
    {244, 20, 20, "Fixed window, docked"},
    {245, 20, 20, "title Map normal"},
    {246, 20, 20, "title Map hover"},
    {247, 20, 20, "panel Screen Settings normal"},
    {248, 20, 20, "panel Screen Settings hover"},
    {249, 280, 106, "picture settings background"},
    {250, 32, 20, "picture settings Reset normal"},
    {251, 32, 20, "picture settings Reset hover, pressed"},
    {252, 20, 20, "title Default Screen normal"},
    {253, 20, 20, "title Default Screen hover"},
    {254, 70, 44, "info panel sensor badge"},
    {255, 20, 20, "file list Sort Descending normal"},
    {256, 20, 20, "file list Sort Descending hover"},
    {257, 20, 20, "file list Sort Ascending normal"},
    {258, 20, 20, "file list Sort Ascending hover"},
    {259, 20, 20, "panel Storage info normal"},
    {260, 20, 20, "panel Storage info hover"},
    {261, 96, 24, "map corner badge"},
    {268, 20, 20, "panel video flip normal"},
    {269, 20, 20, "panel video flip hover"},
};

inline constexpr BitmapInfo kOwnBitmaps[] = {
    {128, 64, 64, "application icon"},
    // File list column header: 141 is stretched, 140 and 142 are the item edges.
    {140, 2, 20, "list header item right edge"},
    {141, 1, 20, "list header fill"},
    {142, 2, 20, "list header first item left edge"},
    // The list's bitmap scroll bars, 12 px thick; created but never shown.
    {143, 12, 12, "hidden scroll bar up arrow"},
    {144, 12, 12, "hidden scroll bar down arrow"},
    {145, 12, 1, "hidden scroll bar vertical track"},
    {146, 12, 1, "hidden scroll bar vertical thumb"},
    {147, 12, 8, "hidden scroll bar vertical thumb grip"},
    {148, 12, 12, "hidden scroll bar left arrow"},
    {149, 12, 12, "hidden scroll bar right arrow"},
    {150, 1, 12, "hidden scroll bar horizontal track"},
    {151, 1, 12, "hidden scroll bar horizontal thumb"},
    {152, 8, 12, "hidden scroll bar horizontal thumb grip"},
};

// The bitmaps drawn with magenta RGB(255, 0, 255) as the transparent colour.
inline constexpr int kMagentaKeyedSkinIds[] = {149, 157};

constexpr const BitmapInfo *findBitmap(std::span<const BitmapInfo> table, int id)
{
    for (const BitmapInfo &b : table) {
        if (b.id == id)
            return &b;
    }
    return nullptr;
}

} // namespace skin
