// The picture end of one channel: keeps the latest decoded picture its appsink delivered and
// draws it into the channel's destination rectangle on its video surface.
#pragma once

#include "gsthandle.h"

#include <QImage>
#include <QRect>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

class QPainter;

namespace playback {

class VideoSurface;

class ChannelRenderer {
public:
    // surface may be null (no window); it must outlive this renderer or be replaced first.
    ChannelRenderer(int channel, VideoSurface *surface);
    ~ChannelRenderer();
    ChannelRenderer(const ChannelRenderer &) = delete;
    ChannelRenderer &operator=(const ChannelRenderer &) = delete;

    int channel() const { return m_channel; }

    // UI thread, while the pipeline is built: pictures of this appsink (BGRx) become current.
    void attachSink(GstElement *appsink);
    bool hasSink() const { return bool(m_sink); }

    // UI thread. Replacing the surface takes the lock the streaming thread notifies under.
    VideoSurface *surface() const;
    void setSurface(VideoSurface *surface);

    // Where the picture is drawn in the surface, pixels; stretched, aspect ratio ignored.
    QRect destination() const { return m_destination; }
    void setDestination(const QRect &rect) { m_destination = rect; }

    // The current picture, top row first, Format_RGB32, wrapping the decoded buffer without a
    // copy (the image keeps it alive). Null before the first picture.
    QImage currentImage() const;
    // Media time of the current picture in ms, or nothing before the first picture.
    std::optional<std::int64_t> currentStreamTimeMs() const;
    // Picture size of the current caps; 0 x 0 before the first picture.
    QSize nativeSize() const;

    // Draws the current picture into the destination rectangle; false without a picture.
    bool paint(QPainter &painter) const;

    // Frames the sink rendered and dropped as late (its statistics); 0 without a sink.
    std::uint64_t renderedFrames() const;
    std::uint64_t droppedFrames() const;

private:
    static GstFlowReturn onPreroll(GstElement *sink, gpointer self);  // GStreamer streaming thread
    static GstFlowReturn onSample(GstElement *sink, gpointer self);   // GStreamer streaming thread
    void takeSample(GstSample *sample);                               // GStreamer streaming thread

    const int m_channel;
    ElementHandle m_sink;
    QRect m_destination; // UI thread

    mutable std::mutex m_lock;
    VideoSurface *m_surface = nullptr; // guarded by m_lock
    SampleHandle m_latest;             // guarded by m_lock
};

} // namespace playback
