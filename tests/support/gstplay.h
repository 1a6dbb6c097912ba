// Test helpers: playing a recording through a real GStreamer pipeline, decoding H.264.
#pragma once

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

namespace testsupport {

struct GstUnref {
    void operator()(GstElement *e) const { gst_object_unref(e); }
    void operator()(GstBus *b) const { gst_object_unref(b); }
    void operator()(GstMessage *m) const { gst_message_unref(m); }
    void operator()(GstSample *s) const { gst_sample_unref(s); }
};
template<typename T>
using GstPtr = std::unique_ptr<T, GstUnref>;

struct PlayResult {
    bool reachedEnd = false;
    QString error;
    int videoFrames = 0;
    int audioBuffers = 0;
    GstClockTime lastVideoEnd = 0; // ns: pts + duration of the last frame
    gint64 duration = -1;          // ns, as the pipeline reports it
};

namespace detail {
struct Counters {
    std::atomic<int> video{0}, audio{0};
    std::atomic<GstClockTime> lastVideoEnd{0};
};
// GStreamer streaming thread!
inline void onVideo(GstElement *, GstBuffer *buf, GstPad *, gpointer data)
{
    auto *c = static_cast<Counters *>(data);
    ++c->video;
    if (GST_BUFFER_PTS_IS_VALID(buf))
        c->lastVideoEnd = GST_BUFFER_PTS(buf) + (GST_BUFFER_DURATION_IS_VALID(buf) ? GST_BUFFER_DURATION(buf) : 0);
}
inline void onAudio(GstElement *, GstBuffer *, GstPad *, gpointer data)
{
    ++static_cast<Counters *>(data)->audio;
}
} // namespace detail

// Plays the file as fast as it decodes: every video frame through avdec_h264, every sound
// frame through avdec_aac.
inline PlayResult playToEnd(const QString &path, bool withAudio = true)
{
    gst_init(nullptr, nullptr);
    PlayResult r;
    QString desc = QString("filesrc location=\"%1\" ! qtdemux name=d "
                           "d.video_0 ! queue ! h264parse ! avdec_h264 ! fakesink name=v sync=false signal-handoffs=true ")
                       .arg(path);
    if (withAudio)
        desc += "d.audio_0 ! queue ! aacparse ! avdec_aac ! fakesink name=a sync=false signal-handoffs=true";
    GError *err = nullptr;
    GstPtr<GstElement> pipeline(gst_parse_launch(desc.toUtf8().constData(), &err));
    if (!pipeline) {
        r.error = err ? err->message : "pipeline";
        g_clear_error(&err);
        return r;
    }
    detail::Counters counters;
    GstPtr<GstElement> v(gst_bin_get_by_name(GST_BIN(pipeline.get()), "v"));
    g_signal_connect(v.get(), "handoff", G_CALLBACK(detail::onVideo), &counters);
    if (withAudio) {
        GstPtr<GstElement> a(gst_bin_get_by_name(GST_BIN(pipeline.get()), "a"));
        g_signal_connect(a.get(), "handoff", G_CALLBACK(detail::onAudio), &counters);
    }
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    GstPtr<GstMessage> msg(gst_bus_timed_pop_filtered(bus.get(), 60 * GST_SECOND,
                                                      GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    if (msg && GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_EOS) {
        r.reachedEnd = true;
    } else if (msg) {
        GError *e = nullptr;
        gst_message_parse_error(msg.get(), &e, nullptr);
        r.error = e ? e->message : "error";
        g_clear_error(&e);
    } else {
        r.error = "timed out";
    }
    gint64 duration = -1;
    if (gst_element_query_duration(pipeline.get(), GST_FORMAT_TIME, &duration))
        r.duration = duration;
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    r.videoFrames = counters.video;
    r.audioBuffers = counters.audio;
    r.lastVideoEnd = counters.lastVideoEnd;
    return r;
}

struct AviPlayResult {
    bool reachedEnd = false;
    QString error;
    int frontFrames = 0, rearFrames = 0; // decoded pictures of video_0 and video_1
    int audioBuffers = 0;                // decoded sound buffers
    gint64 duration = -1;                // ns, as the pipeline reports it
};

// Plays a camera AVI through avidemux as fast as it decodes: both video streams through
// avdec_h264, the sound through avdec_aac; the sensor text stream goes nowhere.
inline AviPlayResult playAviToEnd(const QString &path)
{
    gst_init(nullptr, nullptr);
    AviPlayResult r;
    const QString desc =
        QString("filesrc location=\"%1\" ! avidemux name=d "
                "d.video_0 ! queue ! h264parse ! avdec_h264 ! fakesink name=v0 sync=false signal-handoffs=true "
                "d.video_1 ! queue ! h264parse ! avdec_h264 ! fakesink name=v1 sync=false signal-handoffs=true "
                "d.audio_0 ! queue ! aacparse ! avdec_aac ! fakesink name=a sync=false signal-handoffs=true "
                "d.subtitle_0 ! queue ! fakesink sync=false")
            .arg(path);
    GError *err = nullptr;
    GstPtr<GstElement> pipeline(gst_parse_launch(desc.toUtf8().constData(), &err));
    if (!pipeline || err) {
        r.error = err ? err->message : "pipeline";
        g_clear_error(&err);
        return r;
    }
    detail::Counters front, rear, sound;
    const auto connect = [&](const char *name, detail::Counters &c, bool video) {
        GstPtr<GstElement> sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), name));
        g_signal_connect(sink.get(), "handoff", video ? G_CALLBACK(detail::onVideo) : G_CALLBACK(detail::onAudio), &c);
    };
    connect("v0", front, true);
    connect("v1", rear, true);
    connect("a", sound, false);
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    GstPtr<GstMessage> msg(gst_bus_timed_pop_filtered(bus.get(), 120 * GST_SECOND,
                                                      GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    if (msg && GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_EOS) {
        r.reachedEnd = true;
    } else if (msg) {
        GError *e = nullptr;
        gst_message_parse_error(msg.get(), &e, nullptr);
        r.error = e ? e->message : "error";
        g_clear_error(&e);
    } else {
        r.error = "timed out";
    }
    gst_element_query_duration(pipeline.get(), GST_FORMAT_TIME, &r.duration);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    r.frontFrames = front.video;
    r.rearFrames = rear.video;
    r.audioBuffers = sound.audio;
    return r;
}

// Decodes an H.264 byte stream given as access units; returns each frame's I420 bytes.
inline std::vector<QByteArray> decodeH264(const std::vector<QByteArray> &accessUnits, QString *error = nullptr)
{
    gst_init(nullptr, nullptr);
    std::vector<QByteArray> frames;
    GError *err = nullptr;
    GstPtr<GstElement> pipeline(gst_parse_launch(
        "appsrc name=src format=time caps=video/x-h264,stream-format=byte-stream,alignment=au "
        "! h264parse ! avdec_h264 ! video/x-raw,format=I420 ! appsink name=sink sync=false",
        &err));
    if (!pipeline) {
        if (error)
            *error = err ? err->message : "pipeline";
        g_clear_error(&err);
        return frames;
    }
    GstPtr<GstElement> src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
    GstPtr<GstElement> sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
    g_object_set(sink.get(), "max-buffers", 0u, nullptr);
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    GstClockTime pts = 0;
    for (const QByteArray &au : accessUnits) {
        GstBuffer *b = gst_buffer_new_memdup(au.constData(), gsize(au.size()));
        GST_BUFFER_PTS(b) = pts;
        GST_BUFFER_DURATION(b) = GST_SECOND / 30;
        pts += GST_SECOND / 30;
        gst_app_src_push_buffer(GST_APP_SRC(src.get()), b);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src.get()));
    while (GstPtr<GstSample> s{gst_app_sink_pull_sample(GST_APP_SINK(sink.get()))}) {
        GstMapInfo map;
        GstBuffer *b = gst_sample_get_buffer(s.get());
        if (gst_buffer_map(b, &map, GST_MAP_READ)) {
            frames.emplace_back(reinterpret_cast<const char *>(map.data), qsizetype(map.size));
            gst_buffer_unmap(b, &map);
        }
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return frames;
}

struct DecodedFrame {
    GstClockTime pts = 0; // ns
    QByteArray i420;
};

// Decodes the video track of a recording into I420 frames with their presentation times.
inline std::vector<DecodedFrame> decodeVideo(const QString &path, QString *error = nullptr)
{
    gst_init(nullptr, nullptr);
    std::vector<DecodedFrame> frames;
    GError *err = nullptr;
    const QString desc = QString("filesrc location=\"%1\" ! qtdemux ! h264parse ! avdec_h264 "
                                 "! video/x-raw,format=I420 ! appsink name=sink sync=false")
                             .arg(path);
    GstPtr<GstElement> pipeline(gst_parse_launch(desc.toUtf8().constData(), &err));
    if (!pipeline) {
        if (error)
            *error = err ? err->message : "pipeline";
        g_clear_error(&err);
        return frames;
    }
    GstPtr<GstElement> sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    while (GstPtr<GstSample> s{gst_app_sink_pull_sample(GST_APP_SINK(sink.get()))}) {
        GstBuffer *b = gst_sample_get_buffer(s.get());
        GstMapInfo map;
        if (gst_buffer_map(b, &map, GST_MAP_READ)) {
            frames.push_back({GST_BUFFER_PTS(b), QByteArray(reinterpret_cast<const char *>(map.data), qsizetype(map.size))});
            gst_buffer_unmap(b, &map);
        }
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return frames;
}

} // namespace testsupport
