// The application's numbered window messages and how they travel between windows.
//
// The numbers never change meaning: windows, tests and diagnostics refer to them by value.
// Posting is asynchronous (the receiver handles the message from the event loop later);
// sending is synchronous and is used only by a skinned button towards its parent.
#pragma once

#include <QEvent>
#include <QtGlobal>

class QObject;

using WPARAM = quintptr;
using LPARAM = qintptr;
using LRESULT = qintptr;

constexpr unsigned WM_USER = 0x0400;

// Sent (synchronously) by a skinned button to its parent when clicked.
// wParam: the button's control id, which is the command code. lParam: 0.
// Receivers: every window that owns skinned buttons; an unhandled id answers -1.
constexpr unsigned WM_PLAYER_COMMAND = WM_USER + 1000; // 0x7E8

// Posted by a video screen to the main window when the user clicks it.
// wParam: 0 no screen highlighted, 1..3 the screen to highlight. lParam: 0.
constexpr unsigned WM_SCREEN_SELECTED = WM_USER + 100; // 0x464

// Posted by a bitmap slider to its notify window when the user moved it.
// wParam: the slider's control id. lParam: 1.
constexpr unsigned WM_SLIDER_MOVED = WM_USER + 101; // 0x465

// Posted to the control panel by the seek slider and by the G-sensor graph.
// wParam: 0 from the seek slider (position read from the slider), otherwise the graph's
// target. lParam: as the sender defines it.
constexpr unsigned WM_SEEK_TO = WM_USER + 102; // 0x466

// Posted through the WindowRegistry (or to a stored window) to tell what happened.
// wParam: a PlayerNotify code. lParam: 0.
// Receivers: screens, control panel, information panel, map, file list, G-sensor graph,
// picture settings; the main window ignores it.
constexpr unsigned WM_PLAYER_NOTIFY = WM_USER + 103; // 0x467

// Posted to the main window around every modal window a player window opens.
// wParam: 0 before the modal window opens (disable the player), 1 after it closed.
// lParam: 0.
constexpr unsigned WM_MODAL_STATE = WM_USER + 104; // 0x468

// Codes carried by WM_PLAYER_NOTIFY (the complete set that is sent).
enum PlayerNotify : WPARAM {
    NotifyReset = 2,          // a recording ends, or a new one or arrangement begins
    NotifyPlaying = 3,        // playback started
    NotifyPaused = 4,         // playback paused
    NotifyPlaySelected = 5,   // play the file list's selected recording
    NotifyToggleMap = 10,
    NotifyToggleFileList = 11,
    NotifyToggleGraph = 12,
    NotifyTogglePicture = 13,
    NotifyRepaintVideo = 14,  // repaint the video without erasing
};

// One application message as a Qt event. `result` is what the receiver answers to a sent
// message (LRESULT); posted messages have nobody to read it.
class AppMessage : public QEvent
{
public:
    AppMessage(unsigned message, WPARAM wParam, LPARAM lParam)
        : QEvent(eventType()), message(message), wParam(wParam), lParam(lParam)
    {}

    static QEvent::Type eventType();

    const unsigned message;
    const WPARAM wParam;
    const LPARAM lParam;
    LRESULT result = 0;
};

// Queues the message for `receiver`; a null receiver drops it. Safe from any thread.
void postAppMessage(QObject *receiver, unsigned message, WPARAM wParam, LPARAM lParam = 0);

// Delivers the message at once (UI thread only) and returns the receiver's answer;
// -1 when there is no receiver.
LRESULT sendAppMessage(QObject *receiver, unsigned message, WPARAM wParam, LPARAM lParam = 0);
