// merido-tool play: the playback engine without windows. Opens a recording with image
// surfaces and a silent sound output, plays it and reports what each channel showed.
#include "commands.h"

#include "graphsession.h"
#include "imagesurface.h"
#include "playbackgraph.h"

#include <QDir>

#include <chrono>
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
        std::printf("channel %d: %d frames shown, %llu dropped in %.0f ms\n", c + 1, surfaces[c].pictureCount(),
                    (unsigned long long)r->droppedFrames(), playedMs);
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
