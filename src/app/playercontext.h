// The process-wide player state every window reaches through PlayerContext::Get() instead
// of being handed pointers. Windows keep no copies: they call the accessor each time.
#pragma once

#include "playbackgraph.h"
#include "recordingcatalogue.h"

class QAbstractItemView;

enum ScreenMode : int {
    ScreenModeDefault = 0, // the 820 x 790 main window with docked tool windows
    ScreenModeFit = 1,     // one screen fitted to the display
    ScreenModeFull = 2,    // one screen over the whole display
};

class PlayerContext
{
public:
    // Constructed on the first call, which happens on the UI thread while the main window
    // is created; destroyed at process exit. Workers call it only after start-up.
    static PlayerContext &Get();

    PlayerContext(const PlayerContext &) = delete;
    PlayerContext &operator=(const PlayerContext &) = delete;

    // The playback engine: the screens' surfaces, the current recording's session, zoom.
    // Its operations run on the UI thread; the sensor worker only calls State() and session().
    playback::PlaybackGraph playbackGraph;

    // The sources and recordings. Built with the configured folders, extensions, switches
    // and texts of ViewerConfig::Get(), which start-up has loaded by then.
    RecordingCatalogue catalogue;
    // The file list window's list; set by that window, read by the control panel. Not owned.
    QAbstractItemView *fileListControl = nullptr;
    // 1 while the map view holds a position for the playback time; read by the info panel.
    int gpsValid = 0;
    int screenMode = ScreenModeDefault;

private:
    PlayerContext();
};
