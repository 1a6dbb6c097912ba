#include "streamparser.h"

#include "avitextstream.h"
#include "gsthandle.h"
#include "sensortrack.h"
#include "sourceselector.h"


#include <gst/video/video.h>

#include <atomic>
#include <cstring>

namespace playback {

namespace {

// How long a probe may take to preroll the first picture before the file counts as unplayable.
constexpr GstClockTime kProbeTimeout = 10 * GST_SECOND;

// Shared with the demuxer's callbacks for the life of the probe pipeline.
struct ProbeState {
    GstElement *videoIn = nullptr; // first element of the video chain; owned by the pipeline
    std::atomic<bool> videoLinked{false};
    std::atomic<AudioKind> audio{AudioKind::None};
};

AudioKind audioKindOf(const GstStructure *s)
{
    const char *name = gst_structure_get_name(s);
    if (!std::strcmp(name, "audio/x-raw"))
        return AudioKind::Pcm;
    int version = 0;
    if (!std::strcmp(name, "audio/mpeg") && gst_structure_get_int(s, "mpegversion", &version)
        && (version == 4 || version == 2))
        return AudioKind::Aac;
    return AudioKind::Other;
}

// GStreamer streaming thread.
void onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *state = static_cast<ProbeState *>(data);
    CapsHandle caps(gst_pad_get_current_caps(pad));
    if (!caps)
        caps.reset(gst_pad_query_caps(pad, nullptr));
    if (!caps || gst_caps_is_empty(caps.get()) || gst_caps_is_any(caps.get()))
        return;
    const GstStructure *s = gst_caps_get_structure(caps.get(), 0);
    const char *name = gst_structure_get_name(s);
    if (!std::strcmp(name, "video/x-h264") && !state->videoLinked) {
        PadHandle sink(gst_element_get_static_pad(state->videoIn, "sink"));
        if (gst_pad_link(pad, sink.get()) == GST_PAD_LINK_OK)
            state->videoLinked = true;
    } else if (g_str_has_prefix(name, "audio/") && state->audio == AudioKind::None) {
        state->audio = audioKindOf(s);
    }
}

// GStreamer streaming thread: without a video track the preroll would never finish.
void onNoMorePads(GstElement *demux, gpointer data)
{
    auto *state = static_cast<ProbeState *>(data);
    if (!state->videoLinked)
        gst_element_post_message(demux, gst_message_new_application(GST_OBJECT(demux),
                                                                      gst_structure_new_empty("no-video")));
}

} // namespace

Container sniffContainer(const QByteArray &head)
{
    auto at = [&](int i, const char *tag) { return head.size() >= i + 4 && head.mid(i, 4) == tag; };
    if (at(0, "RIFF") && at(8, "AVI "))
        return Container::Avi;
    if (at(4, "ftyp") || at(44, "mdat"))
        return Container::Mp4;
    return Container::None;
}

HRESULT StreamParser::Load(const std::string &path)
{
    m_path = path;
    m_loaded = false;
    m_info = {};
    m_error.clear();
    {
        std::lock_guard lock(m_recordLock);
        m_records.reset();
        m_nextRecord = 0;
    }
    auto fail = [&](const std::string &why) {
        m_error = why;
        return VFW_E_INVALID_FILE_FORMAT;
    };
    if (path.empty())
        return fail("no file");
    m_info.container = sniffContainer(SourceSelector::readHead(path, 64));
    if (m_info.container == Container::None)
        return fail("not an MP4 or AVI file");

    gst_init(nullptr, nullptr);
    ElementHandle pipeline(gst_pipeline_new("probe"));
    ElementHandle src = SourceSelector::makeElement(path);
    ElementHandle demux(gst_element_factory_make(m_info.container == Container::Avi ? "avidemux" : "qtdemux", nullptr));
    ElementHandle parse(gst_element_factory_make("h264parse", nullptr));
    ElementHandle decode(gst_element_factory_make("avdec_h264", nullptr));
    ElementHandle sink(gst_element_factory_make("fakesink", nullptr));
    if (!pipeline || !src || !demux || !parse || !decode || !sink)
        return fail("missing GStreamer elements");
    g_object_set(sink.get(), "sync", FALSE, nullptr);
    GstBin *bin = GST_BIN(pipeline.get());
    for (const ElementHandle *e : {&src, &demux, &parse, &decode, &sink})
        gst_bin_add(bin, e->get()); // the bin takes its own reference
    if (!gst_element_link(src.get(), demux.get()) || !gst_element_link_many(parse.get(), decode.get(), sink.get(), nullptr))
        return fail("cannot link the probe");

    ProbeState state;
    state.videoIn = parse.get();
    const gulong padAdded = g_signal_connect(demux.get(), "pad-added", G_CALLBACK(onPadAdded), &state);
    const gulong noMorePads = g_signal_connect(demux.get(), "no-more-pads", G_CALLBACK(onNoMorePads), &state);

    BusHandle bus(gst_element_get_bus(pipeline.get()));
    std::string why;
    if (gst_element_set_state(pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        why = "cannot start";
    } else {
        MessageHandle msg(gst_bus_timed_pop_filtered(
            bus.get(), kProbeTimeout,
            GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_APPLICATION)));
        if (!msg) {
            why = "no picture in time";
        } else if (GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_ERROR) {
            GErrorHandle err;
            gst_message_parse_error(msg.get(), err.out(), nullptr);
            why = err.message();
        } else if (GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_APPLICATION || !state.videoLinked) {
            why = "no H.264 video track";
        }
    }
    if (why.empty()) {
        PadHandle pad(gst_element_get_static_pad(sink.get(), "sink"));
        CapsHandle caps(gst_pad_get_current_caps(pad.get()));
        GstVideoInfo vi;
        if (caps && gst_video_info_from_caps(&vi, caps.get())) {
            m_info.width = GST_VIDEO_INFO_WIDTH(&vi);
            m_info.height = GST_VIDEO_INFO_HEIGHT(&vi);
        }
        gint64 duration = -1;
        if (gst_element_query_duration(pipeline.get(), GST_FORMAT_TIME, &duration))
            m_info.durationNs = duration;
        m_info.audio = state.audio;
    }
    // Stopping joins the streaming threads, so the callbacks cannot run after this.
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    g_signal_handler_disconnect(demux.get(), padAdded);
    g_signal_handler_disconnect(demux.get(), noMorePads);
    if (!why.empty())
        return fail(why);
    m_loaded = true;
    return S_OK;
}

void StreamParser::SetParseOption(bool option)
{
    m_parseOption = option;
}

HRESULT StreamParser::ReadSensorRecord(char *buffer, int *byteCount, int *recordIndex)
{
    if (!buffer || !byteCount || !recordIndex)
        return E_POINTER;
    std::lock_guard lock(m_recordLock);
    if (!m_records) {
        // Read once, on the worker's first call, so that Open does not wait for it.
        std::string error;
        if (m_info.container == Container::Avi) {
            // Through the selector: an AVI may live on the card's partition.
            if (const auto f = SourceSelector::openFile(m_path))
                m_records = readAviTextRecords(*f, error);
        } else if (m_info.container == Container::Mp4) {
            m_records = storage::readSensorRecords(m_path, error);
        }
        if (!m_records)
            m_records.emplace();
    }
    if (m_nextRecord >= m_records->size())
        return VFW_E_NOT_FOUND;
    const QByteArray &record = (*m_records)[m_nextRecord];
    if (*byteCount < 0 || record.size() > *byteCount)
        return E_INVALIDARG;
    std::memcpy(buffer, record.constData(), std::size_t(record.size()));
    *byteCount = int(record.size());
    *recordIndex = int(m_nextRecord);
    ++m_nextRecord;
    return S_OK;
}

} // namespace playback
