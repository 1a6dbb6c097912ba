#include "seekgate.h"

namespace playback {

namespace {

// A seek that has not settled after this long is taken as settled, so that one lost
// ASYNC_DONE cannot hold every later seek back.
constexpr auto kSeekGiveUp = std::chrono::seconds(3);

} // namespace

SeekGate::SeekGate(GstElement *pipeline) : m_pipeline(ElementHandle::ref(pipeline)) {}

bool SeekGate::busyLocked() const
{
    return m_inFlight && std::chrono::steady_clock::now() - m_sentAt < kSeekGiveUp;
}

bool SeekGate::busy() const
{
    std::lock_guard lock(m_lock);
    return busyLocked() || m_waiting.has_value();
}

std::optional<std::int64_t> SeekGate::target() const
{
    std::lock_guard lock(m_lock);
    if (!busyLocked() && !m_waiting)
        return std::nullopt;
    return m_target;
}

bool SeekGate::request(const Seek &seek)
{
    {
        std::lock_guard lock(m_lock);
        m_target = seek.positionNs;
        if (busyLocked()) {
            m_waiting = seek;
            return true;
        }
        m_waiting.reset();
        m_inFlight = true;
        m_sentAt = std::chrono::steady_clock::now();
    }
    return send(seek);
}

bool SeekGate::send(const Seek &seek)
{
    const bool ok = gst_element_seek(m_pipeline.get(), seek.rate, GST_FORMAT_TIME,
                                     GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                                     seek.positionNs, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    if (!ok) {
        std::lock_guard lock(m_lock);
        m_inFlight = false;
    }
    return ok;
}

void SeekGate::settled()
{
    std::optional<Seek> next;
    {
        std::lock_guard lock(m_lock);
        if (!m_waiting) {
            m_inFlight = false;
            return;
        }
        next = std::exchange(m_waiting, std::nullopt);
        m_sentAt = std::chrono::steady_clock::now();
    }
    // A flushing seek must not be sent from the streaming thread that posted ASYNC_DONE:
    // GStreamer runs it on one of its own threads. The job keeps the gate alive until then.
    struct Job {
        std::shared_ptr<SeekGate> gate;
        Seek seek;
    };
    gst_element_call_async(
        m_pipeline.get(), [](GstElement *, gpointer data) { auto *j = static_cast<Job *>(data); j->gate->send(j->seek); },
        new Job{shared_from_this(), *next}, [](gpointer data) { delete static_cast<Job *>(data); });
}

} // namespace playback
