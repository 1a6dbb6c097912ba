// merido-tool play: the playback engine without windows. Opens a recording with image
// surfaces and a silent sound output, plays it and reports what each channel showed.
#include "commands.h"

#include "graphsession.h"
#include "imagesurface.h"
#include "playbackgraph.h"

#include <QDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100); // as the control panel polls
// Surface size of each screen in the default window, pixels.
const QSize kScreenSize(320, 180);

struct PlayOptions {
    QStringList files;
    double rate = 1.0;
    qint64 seekMs = -1;
    double seconds = -1; // -1: to the end
    QString grabDir;
    int seeks = 0; // timed seeks before playing
};

bool parseOptions(const QStringList &args, PlayOptions &o, QString &error)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (!a.startsWith("--")) {
            o.files << a;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const QString v = args[++i];
        bool ok = false;
        if (a == "--rate")
            o.rate = v.toDouble(&ok);
        else if (a == "--seek")
            o.seekMs = v.toLongLong(&ok);
        else if (a == "--for")
            o.seconds = v.toDouble(&ok);
        else if (a == "--seeks")
            o.seeks = v.toInt(&ok), ok = ok && o.seeks > 0;
        else if (a == "--grab")
            o.grabDir = v, ok = !v.isEmpty();
        else {
            error = "unknown option " + a;
            return false;
        }
        if (!ok || (a == "--for" && o.seconds <= 0) || (a == "--seek" && o.seekMs < 0)) {
            error = "bad value for " + a + ": " + v;
            return false;
        }
    }
    if (o.files.isEmpty() || o.files.size() > 3) {
        error = "give one to three channel files";
        return false;
    }
    return true;
}

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Pictures missing between those shown: a gap of more than 1.5 frames in media time counts
// the frames it skipped. The frame length is the most common gap.
int missingFrames(const std::vector<playback::ImageSurface::Arrival> &arrivals)
{
    std::vector<std::int64_t> times;
    for (const auto &a : arrivals)
        times.push_back(a.streamTimeMs);
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    if (times.size() < 3)
        return 0;
    std::vector<std::int64_t> gaps;
    for (std::size_t i = 1; i < times.size(); ++i)
        gaps.push_back(times[i] - times[i - 1]);
    std::vector<std::int64_t> sorted = gaps;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
    const double frame = double(std::max<std::int64_t>(1, sorted[sorted.size() / 2]));
    int missing = 0;
    for (std::int64_t g : gaps)
        if (double(g) > 1.5 * frame)
            missing += int(std::lround(double(g) / frame)) - 1;
    return missing;
}

// Seeks to positions spread over the recording and times each until the front channel shows
// the picture of its target; prints the median and 95th percentile.
void timeSeeks(playback::PlaybackGraph &graph, playback::ImageSurface &front, int count)
{
    const std::int64_t duration = graph.DurationMs();
    std::vector<double> times;
    std::uint32_t seed = 12345;
    for (int i = 0; i < count && duration > 0; ++i) {
        seed = seed * 1664525u + 1013904223u; // fixed sequence: runs compare
        const std::int64_t target = std::int64_t(seed % std::uint32_t(duration));
        front.clearArrivals();
        const auto t0 = std::chrono::steady_clock::now();
        graph.SeekMs(target);
        // The front frame lasts 34 ms: the picture shown for the target starts within that.
        for (;;) {
            const auto a = front.arrivals();
            if (std::any_of(a.begin(), a.end(), [&](const auto &e) {
                    return e.streamTimeMs <= target && e.streamTimeMs > target - 40;
                }))
                break;
            if (msSince(t0) > 10000) {
                std::printf("seek to %lld ms: no picture after 10 s\n", (long long)target);
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        times.push_back(msSince(t0));
        graph.session()->WaitUntilSettled(10000);
    }
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    std::printf("seek to picture: %zu seeks, median %.1f ms, 95th percentile %.1f ms\n", times.size(),
                times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 95 / 100)]);
}

} // namespace

int cli::cmdPlay(const QStringList &args)
{
    PlayOptions o;
    QString error;
    if (!parseOptions(args, o, error))
        return usageError("play", error);

    playback::ImageSurface surfaces[3] = {playback::ImageSurface(kScreenSize), playback::ImageSurface(kScreenSize),
                                          playback::ImageSurface(kScreenSize)};
    playback::PlaybackGraph graph;
    graph.setAudioSink("fakeaudiosink");
    graph.AttachWindows(&surfaces[0], &surfaces[1], &surfaces[2]);
    graph.parseOption = 0;

    const auto opened = std::chrono::steady_clock::now();
    const bool ok = graph.Open(o.files.value(0).toStdString(), o.files.value(1).toStdString(),
                               o.files.value(2).toStdString());
    if (!ok) {
        std::fprintf(stderr, "merido-tool play: %s: the front channel does not load\n", qPrintable(o.files[0]));
        return 1;
    }
    const auto session = graph.session();
    std::printf("opened in %.1f ms: %d channel(s), state %d, duration %lld ms\n", msSince(opened),
                session->channelCount(), graph.State(), (long long)graph.DurationMs());
    for (int c = 0; c < playback::GraphSession::kMaxChannels; ++c) {
        const playback::NativeSize size = graph.NativeVideoSize(c);
        std::printf("channel %d: %s, picture %d x %d\n", c + 1,
                    !session->renderer(c) ? "no branch" : session->renderer(c)->hasSink() ? "playing" : "shows nothing",
                    size.width, size.height);
    }

    if (o.seeks > 0) {
        timeSeeks(graph, surfaces[0], o.seeks);
        // The first open of a process also loads the GStreamer plugins; an open in a running
        // viewer does not.
        std::vector<double> opens;
        for (int i = 0; i < 10; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            graph.Open(o.files.value(0).toStdString(), o.files.value(1).toStdString(), o.files.value(2).toStdString());
            opens.push_back(msSince(t0));
        }
        std::sort(opens.begin(), opens.end());
        std::printf("open to first picture, plugins loaded: 10 opens, median %.1f ms, slowest %.1f ms\n",
                    opens[opens.size() / 2], opens.back());
        return 0;
    }
    if (o.seekMs >= 0) {
        graph.SeekMs(o.seekMs);
        session->WaitUntilSettled(10000);
    }
    if (o.rate != 1.0)
        graph.SetRate(o.rate);
    for (auto &s : surfaces)
        s.clearArrivals();
    const auto started = std::chrono::steady_clock::now();
    if (!playback::succeeded(graph.Play())) {
        std::fprintf(stderr, "merido-tool play: cannot start playback\n");
        return 1;
    }
    std::printf("rate %.2f\n", session->rate());
    for (;;) {
        std::this_thread::sleep_for(kPollInterval);
        const qint64 position = graph.PositionMs();
        const qint64 duration = graph.DurationMs();
        std::printf("position %lld duration %lld\n", (long long)position, (long long)duration);
        std::fflush(stdout);
        if (duration > 0 && position >= duration)
            break;
        if (o.seconds > 0 && msSince(started) >= o.seconds * 1000.0)
            break;
    }
    graph.Pause();
    const double playedMs = msSince(started);

    for (int c = 0; c < playback::GraphSession::kMaxChannels; ++c) {
        const playback::ChannelRenderer *r = session->renderer(c);
        if (!r)
            continue;
        std::printf("channel %d: %d frames shown, %d dropped in %.0f ms\n", c + 1, surfaces[c].pictureCount(),
                    missingFrames(surfaces[c].arrivals()), playedMs);
    }
    if (!o.grabDir.isEmpty()) {
        if (!QDir().mkpath(o.grabDir)) {
            std::fprintf(stderr, "merido-tool play: cannot create %s\n", qPrintable(o.grabDir));
            return 1;
        }
        for (int c = 0; c < playback::GraphSession::kMaxChannels; ++c) {
            QImage frame;
            if (!session->renderer(c) || !graph.GrabFrame(c, frame))
                continue;
            const QString file = QDir(o.grabDir).filePath(QString("channel%1.png").arg(c + 1));
            if (!frame.save(file, "PNG")) {
                std::fprintf(stderr, "merido-tool play: cannot write %s\n", qPrintable(file));
                return 1;
            }
            std::printf("grabbed %s (%d x %d)\n", qPrintable(file), frame.width(), frame.height());
        }
    }
    graph.Close();
    return 0;
}
