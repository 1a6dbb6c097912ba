// The playback engine: the video surfaces of the three screens, the current GraphSession and
// each channel's zoom. Lives as long as the program; one GraphSession per opened recording.
#pragma once

#include "graphsession.h"
#include "hresult.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class QPainter;

namespace playback {

class VideoSurface;

class PlaybackGraph {
public:
    // Zoom steps and limits, pixels added on each side of the picture.
    static constexpr int kZoomStep = 20;
    static constexpr int kZoomMax = 960;
    static constexpr int kZoomMin = -960;

    PlaybackGraph();
    ~PlaybackGraph();
    PlaybackGraph(const PlaybackGraph &) = delete;
    PlaybackGraph &operator=(const PlaybackGraph &) = delete;

    // All operations run on the UI thread except State() and session(), which the sensor worker
    // may call. Without a session the results are: State -1; PositionMs, DurationMs, StepBack,
    // StepForward 0 / false; Stop, SetVolumeFromSlider, SetFlip, GrabFrame true (GrabFrame then
    // leaves the image untouched); the others E_FAIL / false / -1.

    // Stores the surfaces of screens 1..3 (the fourth slot stays empty); the first call also
    // creates the first, idle session. The surfaces must outlive the engine or be rebound.
    void AttachWindows(VideoSurface *w0, VideoSurface *w1, VideoSurface *w2);
    // Replaces the current session by one built for the recording; an empty path is an absent
    // file. False (and no session left) without a first surface, without a front path, or
    // when the front file does not load.
    bool Open(const std::string &path0, const std::string &path1 = {}, const std::string &path2 = {});
    void Close();

    HRESULT Play();
    HRESULT Pause();
    bool Stop();
    int State() const;
    std::int64_t PositionMs();
    std::int64_t DurationMs();
    bool SeekMs(std::int64_t ms);
    bool StepBack(double seconds);
    bool StepForward(double seconds);
    bool SetRate(double rate);
    bool SetVolumeFromSlider(int position);
    HRESULT SetFlip(int channel, bool on);
    HRESULT SetPictureParam(int id, int value);
    NativeSize NativeVideoSize(int channel) const;

    // Zoom and pan change only where the picture is drawn, never the decoded picture. window
    // gives the client size they are computed against. Results: the channel's zoom afterwards.
    int ZoomIn(int channel, VideoSurface *window);
    int ZoomOut(int channel, VideoSurface *window);
    int ResetZoom(int channel, VideoSurface *window);
    void PaintPanned(int channel, VideoSurface *window, QPainter *dc, int panX, int panY);
    int SetVideoRect(int channel, int x, int y, int width, int height);
    // Draws the channel's current picture with dc, or into its surface's canvas when dc is null.
    HRESULT Repaint(int channel, QPainter *dc);
    HRESULT RepaintAll();
    HRESULT RebindWindows(VideoSurface *w0, VideoSurface *w1, VideoSurface *w2);
    // A copy of the channel's current picture (top row first, 32 bits a pixel) with flip and
    // picture settings applied.
    bool GrabFrame(int channel, QImage &out) const;

    // Handed to the first stream parser of every new session; the control panel sets it to 0
    // before each open.
    std::uint8_t parseOption = 1;

    int zoom(int channel) const;
    // Any thread: the current session, kept alive for as long as the caller holds it.
    std::shared_ptr<GraphSession> session() const;
    // The sound output's element factory; takes effect at the next Open.
    void setAudioSink(std::string factory) { m_audioSink = std::move(factory); }

private:
    void replaceSession(std::shared_ptr<GraphSession> next);
    void placeZoomed(int channel, VideoSurface *window);

    int m_slotCount = GraphSession::kWindowCount;
    std::array<VideoSurface *, GraphSession::kWindowCount> m_windows{};
    std::array<int, GraphSession::kWindowCount> m_zoom{};
    std::string m_audioSink = "autoaudiosink";

    // Written on the UI thread only; the lock makes the pointer itself safe to copy from the
    // sensor worker while the UI thread replaces it. The UI thread reads it without the lock.
    mutable std::mutex m_sessionLock;
    std::shared_ptr<GraphSession> m_current;
};

} // namespace playback
