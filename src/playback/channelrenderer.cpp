#include "channelrenderer.h"

#include "videosurface.h"

#include <QPainter>

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

namespace playback {

namespace {

// Keeps a mapped frame and its sample alive for as long as a QImage wraps the pixels.
struct MappedFrame {
    GstVideoFrame frame;
    SampleHandle sample;
};

void releaseMappedFrame(void *p)
{
    auto *m = static_cast<MappedFrame *>(p);
    gst_video_frame_unmap(&m->frame);
    delete m;
}

std::uint64_t sinkStat(GstElement *sink, const char *field)
{
    if (!sink)
        return 0;
    GstStructure *stats = nullptr;
    g_object_get(sink, "stats", &stats, nullptr);
    guint64 value = 0;
    if (stats) {
        gst_structure_get_uint64(stats, field, &value);
        gst_structure_free(stats);
    }
    return value;
}

} // namespace

ChannelRenderer::ChannelRenderer(int channel, VideoSurface *surface) : m_channel(channel), m_surface(surface)
{
    if (surface)
        m_destination = QRect(QPoint(0, 0), surface->clientSize());
}

ChannelRenderer::~ChannelRenderer()
{
    // The pipeline is stopped before its renderers go, so no callback is running; the
    // callbacks are cleared all the same in case the sink outlives this object.
    if (m_sink) {
        GstAppSinkCallbacks none{};
        gst_app_sink_set_callbacks(GST_APP_SINK(m_sink.get()), &none, nullptr, nullptr);
    }
}

void ChannelRenderer::attachSink(GstElement *appsink)
{
    m_sink = ElementHandle::ref(appsink);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_preroll = [](GstAppSink *s, gpointer self) { return onPreroll(GST_ELEMENT(s), self); };
    callbacks.new_sample = [](GstAppSink *s, gpointer self) { return onSample(GST_ELEMENT(s), self); };
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, this, nullptr);
}

GstFlowReturn ChannelRenderer::onPreroll(GstElement *sink, gpointer self)
{
    SampleHandle sample(gst_app_sink_pull_preroll(GST_APP_SINK(sink)));
    static_cast<ChannelRenderer *>(self)->takeSample(sample.get());
    return GST_FLOW_OK;
}

GstFlowReturn ChannelRenderer::onSample(GstElement *sink, gpointer self)
{
    SampleHandle sample(gst_app_sink_pull_sample(GST_APP_SINK(sink)));
    static_cast<ChannelRenderer *>(self)->takeSample(sample.get());
    return GST_FLOW_OK;
}

void ChannelRenderer::takeSample(GstSample *sample)
{
    if (!sample)
        return;
    std::int64_t streamMs = -1;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    const GstSegment *segment = gst_sample_get_segment(sample);
    if (buffer && segment && GST_BUFFER_PTS_IS_VALID(buffer)) {
        const guint64 t = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        if (t != GST_CLOCK_TIME_NONE)
            streamMs = std::int64_t(t / GST_MSECOND);
    }
    std::lock_guard lock(m_lock);
    m_latest = SampleHandle::ref(sample);
    if (m_surface)
        m_surface->pictureReady(streamMs);
}

VideoSurface *ChannelRenderer::surface() const
{
    std::lock_guard lock(m_lock);
    return m_surface;
}

void ChannelRenderer::setSurface(VideoSurface *surface)
{
    std::lock_guard lock(m_lock);
    m_surface = surface;
}

QImage ChannelRenderer::currentImage() const
{
    SampleHandle sample;
    {
        std::lock_guard lock(m_lock);
        sample = m_latest;
    }
    if (!sample)
        return {};
    GstVideoInfo info;
    GstCaps *caps = gst_sample_get_caps(sample.get());
    GstBuffer *buffer = gst_sample_get_buffer(sample.get());
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx)
        return {};
    auto *mapped = new MappedFrame{{}, sample};
    if (!gst_video_frame_map(&mapped->frame, &info, buffer, GST_MAP_READ)) {
        delete mapped;
        return {};
    }
    // BGRx in memory is 0xffRRGGBB as a little-endian 32-bit word: Qt's RGB32.
    return QImage(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, 0)),
                  GST_VIDEO_FRAME_WIDTH(&mapped->frame), GST_VIDEO_FRAME_HEIGHT(&mapped->frame),
                  GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, 0), QImage::Format_RGB32, releaseMappedFrame, mapped);
}

std::optional<std::int64_t> ChannelRenderer::currentStreamTimeMs() const
{
    std::lock_guard lock(m_lock);
    if (!m_latest)
        return std::nullopt;
    GstBuffer *buffer = gst_sample_get_buffer(m_latest.get());
    const GstSegment *segment = gst_sample_get_segment(m_latest.get());
    if (!buffer || !segment || !GST_BUFFER_PTS_IS_VALID(buffer))
        return std::nullopt;
    const guint64 t = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (t == GST_CLOCK_TIME_NONE)
        return std::nullopt;
    return std::int64_t(t / GST_MSECOND);
}

QSize ChannelRenderer::nativeSize() const
{
    std::lock_guard lock(m_lock);
    GstVideoInfo info;
    GstCaps *caps = m_latest ? gst_sample_get_caps(m_latest.get()) : nullptr;
    if (!caps || !gst_video_info_from_caps(&info, caps))
        return {0, 0};
    return {GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)};
}

bool ChannelRenderer::paint(QPainter &painter) const
{
    const QImage image = currentImage();
    if (image.isNull())
        return false;
    painter.drawImage(m_destination, image);
    return true;
}

std::uint64_t ChannelRenderer::renderedFrames() const
{
    return sinkStat(m_sink.get(), "rendered");
}

std::uint64_t ChannelRenderer::droppedFrames() const
{
    return sinkStat(m_sink.get(), "dropped");
}

} // namespace playback
