// One opened recording: a GStreamer pipeline with a branch per channel on one clock, and the
// control operations on it. Created afresh by PlaybackGraph for every recording.
#pragma once

#include "channelrenderer.h"
#include "gsthandle.h"
#include "hresult.h"
#include "seekgate.h"
#include "streamparser.h"

#include <QImage>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace playback {

class VideoSurface;

// The session's state; values are fixed (callers compare numbers).
enum GraphState : int {
    GraphRunning = 0,
    GraphPaused = 1,
    GraphStopped = 2, // pipeline paused on the current picture
    GraphIdle = 3,    // no pipeline built yet
};

// Picture parameters and their ranges (the screen settings sliders).
enum PictureParam : int {
    PictureLuminanceGain = 201,   // 0..256, neutral 128
    PictureLuminanceOffset = 202, // -256..256, neutral 0
    PictureHue = 203,             // -180..180, neutral 0
    PictureSaturation = 204,      // 0..128, neutral 64
    PictureEnable = 205,          // accepted; the settings are always in effect
};

// Size of a channel's picture as the renderer reports it; -1 everywhere without a renderer.
struct NativeSize {
    int width = -1, height = -1;
    int aspectWidth = -1, aspectHeight = -1;
};

class GraphSession {
public:
    static constexpr int kMaxChannels = 3;
    static constexpr int kWindowCount = 4; // slots; the fourth is always empty

    enum class BuildOutcome { Built, FrontNotLoaded };

    // UI thread. A prepared session (state idle) for these surfaces. audioSink is the element
    // factory the front channel's sound goes to ("autoaudiosink"; "fakeaudiosink" in tests).
    GraphSession(const std::array<VideoSurface *, kWindowCount> &windows, bool parseOption, std::string audioSink);
    ~GraphSession();
    GraphSession(const GraphSession &) = delete;
    GraphSession &operator=(const GraphSession &) = delete;

    // UI thread. Loads the channel files (an empty path is an absent file) and builds the
    // pipeline; returns once the first pictures are shown (state stopped) or the preroll timed
    // out. FrontNotLoaded leaves no pipeline. Any other failure part-way keeps what was built.
    BuildOutcome Build(const std::array<std::string, kMaxChannels> &paths);
    // UI thread. Stops and releases the pipeline; state stopped. Safe to call twice.
    void Teardown();

    // Control operations, UI thread. Results as in the state table: VFW_E_WRONG_STATE when
    // the state does not allow the call (nothing changes).
    HRESULT Play();
    HRESULT Pause();
    HRESULT StopGraph();
    bool SeekMs(std::int64_t ms);
    bool StepBack(double seconds);
    bool StepForward(double seconds);
    bool SetRate(double rate);
    // Position and duration in ms; 0 when not available. The position stays at the last good
    // value while a seek settles and reads as the duration once the end is reached.
    std::int64_t PositionMs();
    std::int64_t DurationMs();
    // Hundredths of a decibel: 0 full, -10000 silent.
    bool SetVolume(int hundredthsDb);
    HRESULT SetFlip(int channel, bool on);
    HRESULT SetPictureParam(int id, int value);

    // Waits until no state change or seek is pending (UI thread; harness and tests). False when
    // it did not settle within timeoutMs.
    bool WaitUntilSettled(int timeoutMs);

    // Any thread (the sensor worker): the next sensor record of the front channel.
    HRESULT ReadSensorRecord(char *buffer, int *byteCount, int *recordIndex);

    int state() const { return m_state; } // any thread
    bool built() const { return m_built; }
    bool hasGraph() const { return bool(m_pipeline); }
    int channelCount() const { return m_channelCount; }
    int windowCount() const { return kWindowCount; }
    bool parseOption() const { return m_parseOption; }
    void setParseOption(bool option) { m_parseOption = option; }
    double rate() const { return m_rate; }
    // The rate the pipeline's segment runs at now (1.0 without a pipeline).
    double pipelineRate() const;
    // The linear gain of the volume element; -1 without a sound branch.
    double audioGain() const;
    bool hasAudio() const { return bool(m_volume); }
    const std::string &path(int channel) const { return m_paths.at(std::size_t(channel)); }
    const StreamParser *parser(int channel) const; // UI thread

    // Channel c's renderer, or null when the channel has no branch.
    ChannelRenderer *renderer(int channel) const;
    VideoSurface *window(int slot) const;
    void setWindow(int slot, VideoSurface *surface);

    // Picture size of the channel's current picture; -1 without a renderer, 0 before a picture.
    NativeSize nativeSize(int channel) const;
    // A deep copy of the channel's current picture; false without a renderer or a picture.
    bool grabFrame(int channel, QImage &out) const;

private:
    struct Branch; // the elements of one channel's video chain

    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer self); // any thread
    static void onPadAdded(GstElement *demux, GstPad *pad, gpointer branch);             // streaming thread

    bool buildAudio(GstBin *bin);
    bool buildChannel(int channel);
    std::int64_t positionNs();
    std::int64_t durationNs();
    bool seekNs(std::int64_t ns);

    std::array<VideoSurface *, kWindowCount> m_windows{};
    std::array<std::string, kMaxChannels> m_paths;
    std::array<std::unique_ptr<StreamParser>, kMaxChannels> m_parsers;
    std::array<std::unique_ptr<ChannelRenderer>, kMaxChannels> m_renderers;
    std::array<std::unique_ptr<Branch>, kMaxChannels> m_branches;
    std::string m_audioSink;
    bool m_parseOption = true;

    ElementHandle m_pipeline;
    BusHandle m_bus;
    ElementHandle m_audioIn; // first element of the sound chain; linked to the front's audio pad
    ElementHandle m_volume;
    std::shared_ptr<SeekGate> m_seeks;

    std::atomic<int> m_state{GraphIdle};
    bool m_built = false;
    int m_channelCount = 0;
    double m_rate = 1.0;        // asked for; clamped at the next Play
    double m_appliedRate = 1.0; // the pipeline's segment rate
    std::int64_t m_durationCache = 0; // ns; 0 = not read yet
    std::int64_t m_lastPosition = 0;  // ns; the last good position answer
    std::atomic<bool> m_atEnd{false}; // set by the bus handler on EOS, cleared by seeks

    mutable std::mutex m_sensorLock; // the sensor worker reads m_parsers[0] under it
};

// The volume slider's curve: position 0..100 to hundredths of a decibel (0 full, -10000 silent).
int volumeFromSliderPosition(int position);
// Hundredths of a decibel as linear gain; -10000 and below is silence (0).
double gainFromHundredthsDb(int hundredthsDb);

} // namespace playback
