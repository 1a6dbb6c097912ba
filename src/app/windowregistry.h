// Process-wide list of the player's windows by their fixed ids, through which windows find
// each other and post each other messages. It does not own the windows.
#pragma once

#include "appmessages.h"

#include <QPointer>
#include <QWidget>

#include <vector>

// The fixed window ids (the dialog-template ids of the player's windows).
enum WindowId : int {
    IDD_MAIN = 102,
    IDD_SCREEN1 = 129,
    IDD_SCREEN2 = 130,
    IDD_SCREEN3 = 169,
    IDD_CONTROL_PANEL = 135,
    IDD_INFO_PANEL = 136,
    IDD_MAP = 137,
    IDD_FILE_LIST = 139,
    IDD_GSENSOR_GRAPH = 155,
    IDD_PICTURE_SETTINGS = 159,
};

class WindowRegistry
{
public:
    static WindowRegistry &Get();

    // Replaces any entry with the same id, then appends (window, id).
    void Register(int id, QWidget *window);
    // The window registered under id, or null. An entry whose window has been destroyed
    // reads as null and is removed on the way.
    QWidget *Find(int id);
    // Posts message(wParam, 0) to the window under id; nothing when there is none.
    void Post(int id, unsigned message, WPARAM wParam);

    int entryCount() const { return int(entries.size()); }
    void clear() { entries.clear(); }

private:
    struct Entry {
        QPointer<QWidget> window; // null once the window is destroyed
        int id;
    };
    std::vector<Entry> entries; // UI thread only
};
