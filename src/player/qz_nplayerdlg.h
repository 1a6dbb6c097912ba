// The viewer's frame and message hub: a frameless, custom-painted 820 x 790 window with a
// row of title buttons. Closing it ends the program.
#pragma once

#include "appmessages.h"

#include <QBasicTimer>
#include <QDialog>
#include <QPoint>

#include <array>
#include <functional>

class CSkinButton;

class CQZ_NPlayerDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kWidth = 820;
    static constexpr int kHeight = 790;
    static constexpr int kTitleButtonCount = 7;
    // Period of the one-shot timer that shows the windows once the modal run started (ms).
    static constexpr int kShowDelayMs = 100;

    // Title button command ids.
    enum Command : int {
        IDC_CLOSE = 16,
        IDC_FULL_SCREEN = 17,
        IDC_FIT_SCREEN = 18,
        IDC_MINIMIZE = 19,
        IDC_DEFAULT_SCREEN = 20,
        IDC_MAP = 21,
        IDC_FILE_LIST = 22,
    };

    // `ensureFilters` checks that the playback elements are installed (the real probe
    // unless a caller passes another).
    explicit CQZ_NPlayerDlg(QWidget *parent = nullptr, const std::function<bool()> &ensureFilters = {});
    ~CQZ_NPlayerDlg() override;

    // Runs the window modally until it is closed and returns its result. The window stays
    // hidden until the run has started and the show timer fired. Without the playback
    // elements it says "Not Find QZ filter" and ends as its Close button does.
    int DoModal();

    CSkinButton *titleButton(int index) const { return titleButtons[size_t(index)]; }

public Q_SLOTS:
    // A second start of the program asked for this window.
    void bringToFront();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    LRESULT onPlayerCommand(WPARAM id);
    void enterScreenMode(int targetMode);
    void returnToDefaultMode();
    void placeTitleButtonsDefault();
    void centreOnScreen();

    std::array<CSkinButton *, kTitleButtonCount> titleButtons{}; // owned (children)
    QBasicTimer showTimer; // timer 0: one shot, shows the windows
    bool filtersReady = true; // the playback elements are installed
    bool manualDrag = false;
    QPoint dragOffset; // press point relative to the window's top-left, while manualDrag
};
