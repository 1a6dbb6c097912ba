// A video surface backed by an image: what tests and merido-tool draw into.
#pragma once

#include "videosurface.h"

#include <QImage>

#include <chrono>
#include <mutex>
#include <vector>

namespace playback {

class ImageSurface : public VideoSurface {
public:
    // One picture as it arrived: when (steady clock) and its media time in ms.
    struct Arrival {
        std::chrono::steady_clock::time_point at;
        std::int64_t streamTimeMs = 0;
    };

    explicit ImageSurface(QSize size);

    QSize clientSize() const override;
    void pictureReady(std::int64_t streamTimeMs) override; // GStreamer streaming thread
    QImage *canvas() override;

    // Pictures that arrived since construction or the last clearArrivals(); any thread.
    int pictureCount() const;
    std::vector<Arrival> arrivals() const;
    void clearArrivals();

private:
    QImage m_canvas; // UI thread
    mutable std::mutex m_lock;
    std::vector<Arrival> m_arrivals; // guarded by m_lock
};

} // namespace playback
