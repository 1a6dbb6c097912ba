// Lets one flushing seek run at a time on a pipeline: a seek asked for while another is still
// prerolling waits, and only the latest waiting one is sent once the first has settled.
#pragma once

#include "gsthandle.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

namespace playback {

class SeekGate : public std::enable_shared_from_this<SeekGate> {
public:
    struct Seek {
        std::int64_t positionNs = 0; // media time
        double rate = 1.0;
    };

    explicit SeekGate(GstElement *pipeline);

    // UI thread. Sends the seek now, or keeps it as the one to send next. False when the
    // pipeline refused a seek sent now.
    bool request(const Seek &seek);
    // GStreamer thread (the bus sync handler, on ASYNC_DONE): the running seek has settled.
    void settled();
    // Any thread: a seek is running or waiting.
    bool busy() const;
    // The position the last requested seek goes to, while one is busy.
    std::optional<std::int64_t> target() const;

private:
    bool send(const Seek &seek);
    bool busyLocked() const;

    ElementHandle m_pipeline;
    mutable std::mutex m_lock;
    bool m_inFlight = false;                          // guarded by m_lock
    std::chrono::steady_clock::time_point m_sentAt;   // guarded by m_lock
    std::optional<Seek> m_waiting;                    // guarded by m_lock
    std::int64_t m_target = 0;                        // guarded by m_lock; ns
};

} // namespace playback
