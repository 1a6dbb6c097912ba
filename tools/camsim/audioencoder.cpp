#include "audioencoder.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace camsim {

namespace {

struct GstUnref {
    void operator()(GstElement *e) const { gst_object_unref(e); }
    void operator()(GstSample *s) const { gst_sample_unref(s); }
    void operator()(GstMessage *m) const { gst_message_unref(m); }
    void operator()(GstBus *b) const { gst_object_unref(b); }
};
template<typename T>
using GstPtr = std::unique_ptr<T, GstUnref>;

// Interleaved stereo S16LE, frameCount * 1024 samples per channel.
std::vector<std::int16_t> synthesize(int frameCount)
{
    const int samples = frameCount * kAudioFrameSamples;
    std::vector<std::int16_t> pcm(std::size_t(samples) * 2);
    for (int i = 0; i < samples; ++i) {
        const double t = double(i) / kAudioRate;
        double s = 0.08 * std::sin(2 * std::numbers::pi * 110 * t);
        if (std::fmod(t, 1.0) < 0.1) // beep at every whole second
            s += 0.3 * std::sin(2 * std::numbers::pi * 880 * t);
        const auto v = std::int16_t(std::lround(s * 32767));
        pcm[std::size_t(2 * i)] = v;
        pcm[std::size_t(2 * i + 1)] = std::int16_t(v / 2);
    }
    return pcm;
}

} // namespace

bool encodeAudio(int frameCount, std::vector<Bytes> &frames, std::string &error)
{
    frames.clear();
    if (frameCount <= 0)
        return true;
    gst_init(nullptr, nullptr);
    GError *err = nullptr;
    GstPtr<GstElement> pipeline(gst_parse_launch(
        "appsrc name=src format=time ! audioconvert ! voaacenc bitrate=24000 ! audio/mpeg,stream-format=raw ! appsink name=sink sync=false",
        &err));
    if (!pipeline) {
        error = err ? err->message : "pipeline";
        g_clear_error(&err);
        return false;
    }
    GstPtr<GstElement> src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
    GstPtr<GstElement> sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
    GstCaps *caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING,
                                        "interleaved", "rate", G_TYPE_INT, kAudioRate, "channels", G_TYPE_INT, 2,
                                        "channel-mask", GST_TYPE_BITMASK, guint64(0x3), nullptr);
    gst_app_src_set_caps(GST_APP_SRC(src.get()), caps);
    gst_caps_unref(caps);
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);

    const std::vector<std::int16_t> pcm = synthesize(frameCount);
    GstBuffer *buffer = gst_buffer_new_memdup(pcm.data(), pcm.size() * sizeof(std::int16_t));
    GST_BUFFER_PTS(buffer) = 0;
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(std::uint64_t(frameCount) * kAudioFrameSamples, GST_SECOND, kAudioRate);
    gst_app_src_push_buffer(GST_APP_SRC(src.get()), buffer); // takes the buffer
    gst_app_src_end_of_stream(GST_APP_SRC(src.get()));

    for (;;) {
        GstPtr<GstSample> sample(gst_app_sink_pull_sample(GST_APP_SINK(sink.get())));
        if (!sample)
            break; // end of stream
        GstBuffer *b = gst_sample_get_buffer(sample.get());
        GstMapInfo map;
        if (b && gst_buffer_map(b, &map, GST_MAP_READ)) {
            frames.emplace_back(map.data, map.data + map.size);
            gst_buffer_unmap(b, &map);
        }
    }
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    GstPtr<GstMessage> msg(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    if (msg) {
        GError *e = nullptr;
        gst_message_parse_error(msg.get(), &e, nullptr);
        error = std::string("audio encoder: ") + (e ? e->message : "failed");
        g_clear_error(&e);
        return false;
    }
    if (int(frames.size()) > frameCount)
        frames.resize(std::size_t(frameCount));
    return true;
}

} // namespace camsim
