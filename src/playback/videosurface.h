// The drawing area of one video screen as the engine sees it: a widget in the program, an
// image in tests and in merido-tool.
#pragma once

#include <QSize>

#include <cstdint>

class QImage;

namespace playback {

class VideoSurface {
public:
    virtual ~VideoSurface() = default;

    // UI thread: the client size in pixels; zoom and pan are computed against it.
    virtual QSize clientSize() const = 0;

    // GStreamer streaming thread: a new picture of the channel drawn into this surface became
    // current; streamTimeMs is its media time (ms from the start of the recording). Must only
    // hand the news on (count it, queue a repaint); never paint or block here.
    virtual void pictureReady(std::int64_t streamTimeMs) = 0;

    // UI thread: an off-screen image the engine may paint into directly when no painter is
    // given, or null when the surface paints itself on its own repaint (a widget).
    virtual QImage *canvas() { return nullptr; }
};

} // namespace playback
