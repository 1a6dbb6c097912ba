// Loading a full card: selectSource + fillListAll over 10,000 recording files in card
// folders and over 10,000 files on a KRFS partition, against `find` over the same tree.
// Built in the release preset; run build/release/bin/bench_catalogue.
#include "krfsimage.h"
#include "recordingcatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kRecordings = 3334; // 3 files each (front and two rear): 10,002 files
constexpr const char *kTypes[4][2] = {{"NOR", "N"}, {"EVT", "E"}, {"MOT", "P"}, {"USR", "U"}};

struct Fixture {
    QTemporaryDir dir;
    QString card;
    std::string image;
};

// Recording names as the camera writes them: one per minute from 2023-10-15 00:00:00,
// the type cycling through the four folders.
QString recordingName(int i, const char *letter, const char *channel)
{
    const int minutes = i % (24 * 60), day = 15 + i / (24 * 60);
    return QString::asprintf("202310%02d_%02d%02d00_3CH_%s_%s.mp4", day, minutes / 60, minutes % 60, letter, channel);
}

Fixture &fixture()
{
    static std::unique_ptr<Fixture> f = [] {
        auto fx = std::make_unique<Fixture>();
        fx->card = fx->dir.filePath(QStringLiteral("card"));
        fx->image = fx->dir.filePath(QStringLiteral("card.img")).toStdString();
        for (const auto &t : kTypes) {
            QDir().mkpath(fx->card + '/' + t[0] + "/FRONT");
            QDir().mkpath(fx->card + '/' + t[0] + "/REAR");
        }
        krfs::ImageOptions o;
        o.fatBytes = 0;
        o.krfsBytes = 64 << 20;
        o.blockSize = 4096;
        o.dirSlots = 10100;
        std::string error;
        krfs::ImageWriter writer;
        if (!krfs::makeImage(fx->image, o, nullptr, &error) || !writer.open(fx->image, &error))
            std::fprintf(stderr, "%s\n", error.c_str());
        const uint8_t payload[1] = {0};
        for (int i = 0; i < kRecordings; ++i) {
            const auto &t = kTypes[i % 4];
            const QString base = fx->card + '/' + t[0];
            for (const char *channel : {"F", "R1", "R2"}) {
                const QString name = recordingName(i, t[1], channel);
                QFile file(base + (channel[0] == 'F' ? "/FRONT/" : "/REAR/") + name);
                file.open(QIODevice::WriteOnly);
                // The partition holds one file per recording and channel as well.
                writer.put(t[0], name.toStdString(), 1, [&](uint8_t *b, size_t n) { return std::memcpy(b, payload, n), true; },
                           {1697328000 + i * 60, true}, &error);
            }
        }
        return fx;
    }();
    return *f;
}

void configure(RecordingCatalogue &c)
{
    for (const auto &t : kTypes)
        c.addFolderName(QString::fromLatin1(t[0]));
    c.addExtension(QStringLiteral("mp4"));
    c.recurseDrive = true;
}

void loadAndFill(benchmark::State &state, int kind)
{
    Fixture &f = fixture();
    RecordingCatalogue c;
    configure(c);
    DriveEntry d;
    d.kind = kind;
    d.mountPoint = f.card;
    d.physicalPath = f.image;
    c.drives = {d};
    struct CountingView : RecordingListView {
        int rows = 0;
        void clear() override { rows = 0; }
        void setRedraw(bool) override {}
        void appendRow(const QString &, const QString &, const QString &, const QString &) override { ++rows; }
    } view;
    for (auto _ : state) {
        if (!c.selectSource(0))
            state.SkipWithError("selectSource failed");
        benchmark::DoNotOptimize(c.fillListAll(view));
    }
    state.counters["entries"] = c.entryCount();
    state.counters["rows"] = view.rows;
}

void BM_CardFolders(benchmark::State &state) { loadAndFill(state, DriveRemovable); }
void BM_KrfsPartition(benchmark::State &state) { loadAndFill(state, DriveKrfs); }

// The operating system's own walk of the same card tree, for scale.
void BM_FindSameTree(benchmark::State &state)
{
    const QByteArray command = "find " + QFile::encodeName(fixture().card) + " -type f -name '*.mp4'";
    long lines = 0;
    for (auto _ : state) {
        FILE *p = popen(command.constData(), "r");
        lines = 0;
        char buffer[512];
        while (p && fgets(buffer, sizeof buffer, p))
            ++lines;
        if (p)
            pclose(p);
    }
    state.counters["files"] = double(lines);
}

BENCHMARK(BM_CardFolders)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrfsPartition)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindSameTree)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
