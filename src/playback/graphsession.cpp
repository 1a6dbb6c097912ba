#include "graphsession.h"

#include "sourceselector.h"
#include "videosurface.h"

#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

namespace playback {

namespace {

// How long Build waits for the first pictures before it reports the session as built anyway.
constexpr GstClockTime kPrerollTimeout = 10 * GST_SECOND;
// A sink that renders a picture later than this drops it (ns); the decoder then skips ahead.
constexpr gint64 kMaxLateness = 20 * GST_MSECOND;

constexpr std::int64_t kNsPerMs = 1000000;

ElementHandle makeElement(const char *factory, const char *name = nullptr)
{
    return ElementHandle(gst_element_factory_make(factory, name));
}

// The channel bin ("channel1".."channel3") an element lives in, as 0..2; -1 outside them.
int channelOf(GstObject *object)
{
    for (GstObject *o = object; o; o = GST_OBJECT_PARENT(o)) {
        const char *name = GST_OBJECT_NAME(o);
        if (name && std::strncmp(name, "channel", 7) == 0 && name[7] >= '1' && name[7] <= '3' && name[8] == 0)
            return name[7] - '1';
    }
    return -1;
}

} // namespace

struct GraphSession::Branch {
    int channel = 0;
    GstElement *videoIn = nullptr; // first element of the video chain; owned by the bin
    GstElement *audioIn = nullptr; // front channel only: first element of the sound chain
    std::atomic<bool> videoLinked{false};
    std::atomic<bool> audioLinked{false};
    ElementHandle flip;
    ElementHandle balance;
};

int volumeFromSliderPosition(int position)
{
    const float f = float(std::clamp(position, 0, 100)) / 100.0f;
    return int(1000.0 * std::log10(1e-10 + double(f) * (1.0 - 1e-10)));
}

double gainFromHundredthsDb(int hundredthsDb)
{
    if (hundredthsDb <= -10000)
        return 0.0;
    // Hundredths of a decibel: dB = v / 100, amplitude = 10^(dB / 20).
    return std::pow(10.0, double(std::min(hundredthsDb, 0)) / 2000.0);
}

GraphSession::GraphSession(const std::array<VideoSurface *, kWindowCount> &windows, bool parseOption,
                           std::string audioSink)
    : m_windows(windows), m_audioSink(std::move(audioSink)), m_parseOption(parseOption)
{
    gst_init(nullptr, nullptr);
}

GraphSession::~GraphSession()
{
    Teardown();
}

GraphSession::BuildOutcome GraphSession::Build(const std::array<std::string, kMaxChannels> &paths)
{
    if (m_built)
        Teardown();
    if (paths[0].empty())
        return BuildOutcome::FrontNotLoaded;
    m_paths = paths;

    std::array<std::unique_ptr<StreamParser>, kMaxChannels> parsers;
    m_channelCount = 0;
    for (int i = 0; i < kMaxChannels; ++i) {
        parsers[std::size_t(i)] = std::make_unique<StreamParser>();
        StreamParser &p = *parsers[std::size_t(i)];
        if (i == 0)
            p.SetParseOption(m_parseOption);
        if (paths[std::size_t(i)].empty())
            continue;
        if (p.Load(paths[std::size_t(i)]) == S_OK)
            ++m_channelCount;
        else
            std::printf("channel %d not loaded: %s: %s\n", i + 1, paths[std::size_t(i)].c_str(), p.error().c_str());
    }
    const bool frontLoaded = parsers[0]->loaded();
    {
        std::lock_guard lock(m_sensorLock);
        m_parsers = std::move(parsers);
    }
    if (!frontLoaded)
        return BuildOutcome::FrontNotLoaded;

    m_pipeline.reset(gst_pipeline_new("recording"));
    m_bus.reset(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_sync_handler(m_bus.get(), &GraphSession::onBusMessage, this, nullptr);
    m_seeks = std::make_shared<SeekGate>(m_pipeline.get());

    // One channel file: one branch even with three windows. Otherwise a branch for each of the
    // first channelCount channels in front, second, third order; a channel whose file did not
    // load gets a renderer that shows nothing.
    const int requested = m_channelCount == 1 ? 1 : kWindowCount;
    for (int i = 0; i < kMaxChannels; ++i)
        if (i < requested && i < m_channelCount)
            buildChannel(i);

    m_durationCache = 0;
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE)
        gst_element_get_state(m_pipeline.get(), nullptr, nullptr, kPrerollTimeout);
    m_state = GraphStopped;
    m_rate = 1.0;
    m_appliedRate = 1.0;
    m_lastPosition = 0;
    m_atEnd = false;
    durationNs();
    m_built = true;
    return BuildOutcome::Built;
}

bool GraphSession::buildChannel(int channel)
{
    const auto c = std::size_t(channel);
    m_renderers[c] = std::make_unique<ChannelRenderer>(channel, m_windows[c]);
    const StreamParser &parser = *m_parsers[c];
    if (!parser.loaded())
        return false;

    const std::string binName = "channel" + std::to_string(channel + 1);
    ElementHandle bin(gst_bin_new(binName.c_str()));
    ElementHandle src = SourceSelector::makeElement(parser.path());
    ElementHandle demux = makeElement(parser.info().container == Container::Avi ? "avidemux" : "qtdemux");
    ElementHandle queue = makeElement("queue");
    ElementHandle parse = makeElement("h264parse");
    ElementHandle decode = makeElement("avdec_h264");
    ElementHandle flip = makeElement("videoflip");
    ElementHandle balance = makeElement("videobalance");
    ElementHandle convert = makeElement("videoconvert");
    ElementHandle filter = makeElement("capsfilter");
    ElementHandle sink = makeElement("appsink");
    const std::array<ElementHandle *, 10> chain{&src, &demux, &queue, &parse, &decode, &flip, &balance, &convert,
                                                 &filter, &sink};
    for (const ElementHandle *e : chain)
        if (!*e) {
            std::printf("channel %d: missing GStreamer element\n", channel + 1);
            return false;
        }
    CapsHandle caps(gst_caps_from_string("video/x-raw,format=BGRx"));
    g_object_set(filter.get(), "caps", caps.get(), nullptr);
    g_object_set(sink.get(), "sync", TRUE, "qos", TRUE, "max-lateness", kMaxLateness, "max-buffers", 1u, "drop",
                 FALSE, "wait-on-eos", FALSE, nullptr);

    GstBin *b = GST_BIN(bin.get());
    for (const ElementHandle *e : chain)
        gst_bin_add(b, e->get()); // the bin takes its own reference
    if (!gst_element_link(src.get(), demux.get())
        || !gst_element_link_many(queue.get(), parse.get(), decode.get(), flip.get(), balance.get(), convert.get(),
                                  filter.get(), sink.get(), nullptr)) {
        std::printf("channel %d: cannot link the video chain\n", channel + 1);
        return false;
    }

    auto branch = std::make_unique<Branch>();
    branch->channel = channel;
    branch->videoIn = queue.get();
    branch->flip = flip;
    branch->balance = balance;
    if (channel == 0 && buildAudio(b))
        branch->audioIn = m_audioIn.get();
    g_signal_connect(demux.get(), "pad-added", G_CALLBACK(&GraphSession::onPadAdded), branch.get());
    m_branches[c] = std::move(branch);

    gst_bin_add(GST_BIN(m_pipeline.get()), bin.get());
    m_renderers[c]->attachSink(sink.get());
    return true;
}

bool GraphSession::buildAudio(GstBin *bin)
{
    const AudioKind kind = m_parsers[0]->info().audio;
    if (kind != AudioKind::Aac && kind != AudioKind::Pcm)
        return false;
    ElementHandle sink = makeElement(m_audioSink.c_str());
    if (!sink) {
        std::printf("no audio sink \"%s\": playing without sound\n", m_audioSink.c_str());
        return false;
    }
    std::vector<ElementHandle> chain;
    chain.push_back(makeElement("queue"));
    // PCM goes straight on; compressed sound needs the AAC decoder.
    if (kind == AudioKind::Aac) {
        chain.push_back(makeElement("aacparse"));
        chain.push_back(makeElement("avdec_aac"));
    }
    ElementHandle volume = makeElement("volume");
    for (const char *f : {"audioconvert", "scaletempo", "audioconvert", "audioresample"})
        chain.push_back(makeElement(f));
    chain.push_back(volume);
    chain.push_back(sink);
    for (const ElementHandle &e : chain)
        if (!e) {
            std::printf("audio decoder missing: playing without sound\n");
            return false;
        }
    for (const ElementHandle &e : chain)
        gst_bin_add(bin, e.get());
    for (std::size_t i = 0; i + 1 < chain.size(); ++i)
        if (!gst_element_link(chain[i].get(), chain[i + 1].get())) {
            std::printf("cannot link the sound chain: playing without sound\n");
            for (const ElementHandle &e : chain)
                gst_bin_remove(bin, e.get());
            return false;
        }
    m_audioIn = chain.front();
    m_volume = volume;
    return true;
}

void GraphSession::onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *branch = static_cast<Branch *>(data);
    CapsHandle caps(gst_pad_get_current_caps(pad));
    if (!caps)
        caps.reset(gst_pad_query_caps(pad, nullptr));
    if (!caps || gst_caps_is_empty(caps.get()) || gst_caps_is_any(caps.get()))
        return;
    const char *name = gst_structure_get_name(gst_caps_get_structure(caps.get(), 0));
    GstElement *target = nullptr;
    std::atomic<bool> *linked = nullptr;
    if (!std::strcmp(name, "video/x-h264")) {
        target = branch->videoIn;
        linked = &branch->videoLinked;
    } else if (g_str_has_prefix(name, "audio/") && branch->audioIn) {
        target = branch->audioIn;
        linked = &branch->audioLinked;
    }
    if (!target || linked->exchange(true))
        return; // further tracks of a kind stay unlinked
    PadHandle sink(gst_element_get_static_pad(target, "sink"));
    if (gst_pad_link(pad, sink.get()) != GST_PAD_LINK_OK)
        std::printf("channel %d: cannot link %s\n", branch->channel + 1, name);
}

GstBusSyncReply GraphSession::onBusMessage(GstBus *, GstMessage *message, gpointer data)
{
    auto *self = static_cast<GraphSession *>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        self->m_atEnd = true;
        break;
    case GST_MESSAGE_ASYNC_DONE:
        if (self->m_seeks)
            self->m_seeks->settled();
        break;
    case GST_MESSAGE_ERROR: {
        // A broken channel stops only itself: its demuxer ends the branch with EOS, and the
        // other channels play on. Errors are diagnostics, never shown to the user.
        GErrorHandle err;
        gst_message_parse_error(message, err.out(), nullptr);
        std::printf("channel %d: %s\n", channelOf(GST_MESSAGE_SRC(message)) + 1, err.message());
        break;
    }
    default:
        break;
    }
    // Nothing reads the bus: every message ends here. Dropping it is the handler's unref.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void GraphSession::Teardown()
{
    if (m_pipeline) {
        // Going to NULL joins every streaming thread, so no callback runs after this.
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
        gst_bus_set_sync_handler(m_bus.get(), nullptr, nullptr, nullptr);
    }
    for (auto &r : m_renderers)
        r.reset();
    for (auto &b : m_branches)
        b.reset();
    m_audioIn.reset();
    m_volume.reset();
    m_seeks.reset();
    m_bus.reset();
    m_pipeline.reset();
    {
        std::lock_guard lock(m_sensorLock);
        for (auto &p : m_parsers)
            p.reset();
    }
    m_state = GraphStopped;
    m_built = false;
    m_durationCache = 0;
}

HRESULT GraphSession::Play()
{
    if (m_state != GraphPaused && m_state != GraphStopped)
        return VFW_E_WRONG_STATE;
    if (!m_pipeline)
        return E_UNEXPECTED;
    const std::int64_t duration = durationNs();
    const bool atEnd = duration > 0 && positionNs() >= duration;
    if (m_rate != 1.0)
        m_rate = std::clamp(m_rate, 0.5, 2.0);
    if (atEnd || m_rate != m_appliedRate) {
        // A rate change is a flushing seek at the position with the new rate.
        m_appliedRate = m_rate;
        seekNs(atEnd ? 0 : positionNs());
    }
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return E_FAIL;
    m_state = GraphRunning;
    return S_OK;
}

HRESULT GraphSession::Pause()
{
    if (m_state != GraphRunning)
        return S_OK;
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return E_FAIL;
    m_state = GraphPaused;
    return S_OK;
}

HRESULT GraphSession::StopGraph()
{
    if (m_state != GraphRunning && m_state != GraphPaused)
        return VFW_E_WRONG_STATE;
    // Stopped keeps the pipeline paused on its picture, so the screens keep showing it.
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return E_FAIL;
    m_state = GraphStopped;
    return S_OK;
}

bool GraphSession::seekNs(std::int64_t ns)
{
    const std::int64_t duration = durationNs();
    ns = std::max<std::int64_t>(0, duration > 0 ? std::min(ns, duration) : ns);
    m_atEnd = false;
    m_lastPosition = ns;
    return m_seeks->request({ns, m_appliedRate});
}

bool GraphSession::SeekMs(std::int64_t ms)
{
    if (!m_pipeline)
        return true;
    return seekNs(std::clamp<std::int64_t>(ms, 0, INT64_MAX / kNsPerMs) * kNsPerMs);
}

bool GraphSession::StepBack(double seconds)
{
    if ((m_state != GraphRunning && m_state != GraphPaused) || !m_pipeline || !std::isfinite(seconds))
        return false;
    return seekNs(positionNs() - std::int64_t(seconds * double(GST_SECOND)));
}

bool GraphSession::StepForward(double seconds)
{
    if ((m_state != GraphRunning && m_state != GraphPaused) || !m_pipeline || !std::isfinite(seconds))
        return false;
    return seekNs(positionNs() + std::int64_t(seconds * double(GST_SECOND)));
}

bool GraphSession::SetRate(double rate)
{
    if (!std::isfinite(rate))
        return false;
    const bool wasRunning = m_state == GraphRunning;
    Pause();
    m_rate = rate;
    if (wasRunning)
        return succeeded(Play());
    return true;
}

std::int64_t GraphSession::positionNs()
{
    if (!m_pipeline)
        return 0;
    if (const auto target = m_seeks->target())
        return *target;
    const std::int64_t duration = durationNs();
    if (m_atEnd && duration > 0)
        return duration;
    gint64 p = -1;
    if (gst_element_query_position(m_pipeline.get(), GST_FORMAT_TIME, &p) && p >= 0)
        m_lastPosition = duration > 0 ? std::min<std::int64_t>(p, duration) : p;
    return m_lastPosition;
}

std::int64_t GraphSession::durationNs()
{
    if (m_durationCache > 0 || !m_pipeline)
        return m_durationCache;
    gint64 d = -1;
    if (gst_element_query_duration(m_pipeline.get(), GST_FORMAT_TIME, &d) && d > 0)
        m_durationCache = d;
    return m_durationCache;
}

std::int64_t GraphSession::PositionMs()
{
    return positionNs() / kNsPerMs;
}

std::int64_t GraphSession::DurationMs()
{
    return durationNs() / kNsPerMs;
}

bool GraphSession::SetVolume(int hundredthsDb)
{
    if (m_volume)
        g_object_set(m_volume.get(), "volume", gainFromHundredthsDb(hundredthsDb), nullptr);
    return true;
}

double GraphSession::audioGain() const
{
    if (!m_volume)
        return -1;
    double gain = 0;
    g_object_get(m_volume.get(), "volume", &gain, nullptr);
    return gain;
}

HRESULT GraphSession::SetFlip(int channel, bool on)
{
    if (channel < 0 || channel >= kMaxChannels)
        return E_INVALIDARG;
    const Branch *b = m_branches[std::size_t(channel)].get();
    if (!b)
        return E_FAIL;
    g_object_set(b->flip.get(), "video-direction", on ? GST_VIDEO_ORIENTATION_VERT : GST_VIDEO_ORIENTATION_IDENTITY,
                 nullptr);
    return S_OK;
}

HRESULT GraphSession::SetPictureParam(int id, int value)
{
    const char *property = nullptr;
    double v = 0, lo = 0, hi = 0;
    switch (id) {
    case PictureLuminanceGain: // neutral 128 -> contrast 1
        property = "contrast", v = value / 128.0, lo = 0, hi = 2;
        break;
    case PictureLuminanceOffset: // neutral 0 -> brightness 0
        property = "brightness", v = value / 256.0, lo = -1, hi = 1;
        break;
    case PictureHue:
        property = "hue", v = value / 180.0, lo = -1, hi = 1;
        break;
    case PictureSaturation: // neutral 64 -> saturation 1
        property = "saturation", v = value / 64.0, lo = 0, hi = 2;
        break;
    case PictureEnable:
        break;
    default:
        return E_INVALIDARG;
    }
    bool any = false;
    for (const auto &b : m_branches) {
        if (!b)
            continue;
        any = true;
        if (property)
            g_object_set(b->balance.get(), property, std::clamp(v, lo, hi), nullptr);
    }
    return any ? S_OK : E_FAIL;
}

bool GraphSession::WaitUntilSettled(int timeoutMs)
{
    if (!m_pipeline)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        const bool changing =
            gst_element_get_state(m_pipeline.get(), nullptr, nullptr, 20 * GST_MSECOND) == GST_STATE_CHANGE_ASYNC;
        if (!changing && !m_seeks->busy())
            return true;
        if (!changing)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

HRESULT GraphSession::ReadSensorRecord(char *buffer, int *byteCount, int *recordIndex)
{
    std::lock_guard lock(m_sensorLock);
    if (!m_parsers[0])
        return E_FAIL;
    return m_parsers[0]->ReadSensorRecord(buffer, byteCount, recordIndex);
}

double GraphSession::pipelineRate() const
{
    if (!m_pipeline)
        return 1.0;
    GstHandle<GstQuery> q(gst_query_new_segment(GST_FORMAT_TIME));
    gdouble rate = 1.0;
    if (gst_element_query(m_pipeline.get(), q.get()))
        gst_query_parse_segment(q.get(), &rate, nullptr, nullptr, nullptr);
    return rate;
}

const StreamParser *GraphSession::parser(int channel) const
{
    return channel >= 0 && channel < kMaxChannels ? m_parsers[std::size_t(channel)].get() : nullptr;
}

ChannelRenderer *GraphSession::renderer(int channel) const
{
    return channel >= 0 && channel < kMaxChannels ? m_renderers[std::size_t(channel)].get() : nullptr;
}

VideoSurface *GraphSession::window(int slot) const
{
    return slot >= 0 && slot < kWindowCount ? m_windows[std::size_t(slot)] : nullptr;
}

void GraphSession::setWindow(int slot, VideoSurface *surface)
{
    if (slot < 0 || slot >= kWindowCount)
        return;
    m_windows[std::size_t(slot)] = surface;
    if (ChannelRenderer *r = renderer(slot))
        r->setSurface(surface);
}

NativeSize GraphSession::nativeSize(int channel) const
{
    const ChannelRenderer *r = renderer(channel);
    if (!r)
        return {};
    const QSize s = r->nativeSize();
    return {s.width(), s.height(), s.width(), s.height()};
}

bool GraphSession::grabFrame(int channel, QImage &out) const
{
    const ChannelRenderer *r = renderer(channel);
    if (!r)
        return false;
    const QImage image = r->currentImage();
    if (image.isNull())
        return false;
    out = image.copy(); // detached from the decoder's buffer
    return true;
}

} // namespace playback
