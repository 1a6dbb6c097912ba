// camsim: writes recordings and card trees as the dash camera writes them.
#include "card.h"
#include "drive.h"
#include "recordingwriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

namespace {

const char *kUsage =
    "Usage:\n"
    "  camsim card DIR [--seed N] [--normal N] [--event N] [--parking N] [--user N]\n"
    "                  [--seconds S] [--channels 1|2|3] [--rear 480|720] [--power-cut N] [--jobs N]\n"
    "  camsim mp4 FILE [--side 1|2] [--channel 0|1|2] [--rear 480|720] [--seconds S] [--seed N]\n"
    "                  [--type N|E|P|U] [--start YYYYMMDDHHMMSS] [--ending finished|power-cut|no-index]\n"
    "                  [--no-audio] [--no-sensor] [--bitrate KBPS] [--info]\n"
    "  camsim avi FILE [--seconds S] [--seed N] [--type N|E|P|U] [--start YYYYMMDDHHMMSS]\n"
    "                  [--front 1080|720|480] [--rear 1080|720|480] [--front-kbps K] [--rear-kbps K]\n"
    "                  [--grain LEVEL] [--ending finished|unfinished] [--cut BYTES] [--maker-at OFFSET] [--no-audio] [--no-sensor] [--info]\n"
    "      the partition's AVI recording (front and rear in one file)\n"
    "  camsim krfs IMAGE [--seed N] [--normal N] [--event N] [--parking N] [--user N] [--seconds S]\n"
    "                  [--front 1080|720|480] [--rear 1080|720|480] [--front-kbps K] [--rear-kbps K]\n"
    "                  [--grain LEVEL] [--unfinished N] [--cut BYTES] [--block KiB]\n"
    "      a card image whose KRFS partition holds AVI recordings; prints FOLDER/NAME, key, bytes\n"
    "  camsim records FILE [--kind g|s8|s10] [--count N] [--seed N]\n"
    "      sensor records, each as a 16-bit big-endian length and the record\n";

struct Args {
    std::map<std::string, std::string> values;
    bool parse(int argc, char **argv, int from, std::initializer_list<const char *> flags)
    {
        for (int i = from; i < argc; ++i) {
            const std::string a = argv[i];
            if (a.rfind("--", 0) != 0)
                return false;
            bool isFlag = false;
            for (const char *f : flags)
                isFlag |= a == f;
            if (isFlag)
                values[a] = "1";
            else if (i + 1 < argc)
                values[a] = argv[++i];
            else
                return false;
        }
        return true;
    }
    bool has(const std::string &k) const { return values.count(k) != 0; }
    long long number(const std::string &k, long long def) const
    {
        auto it = values.find(k);
        return it == values.end() ? def : std::atoll(it->second.c_str());
    }
    double real(const std::string &k, double def) const
    {
        auto it = values.find(k);
        return it == values.end() ? def : std::atof(it->second.c_str());
    }
    std::string text(const std::string &k, const std::string &def) const
    {
        auto it = values.find(k);
        return it == values.end() ? def : it->second;
    }
};

int fail(const std::string &message)
{
    std::fprintf(stderr, "camsim: %s\n", message.c_str());
    return 1;
}

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

// The options both kinds of card share: the seed, recordings per type, their length (s).
template <class CardOptions>
void readCardCounts(const Args &a, CardOptions &o)
{
    o.seed = std::uint64_t(a.number("--seed", 1));
    o.normal = int(a.number("--normal", 2));
    o.event = int(a.number("--event", 1));
    o.parking = int(a.number("--parking", 0));
    o.user = int(a.number("--user", 0));
    o.seconds = a.real("--seconds", 10);
}

int cmdCard(const char *dir, const Args &a)
{
    camsim::CardOptions o;
    readCardCounts(a, o);
    o.channels = int(a.number("--channels", 3));
    o.rearHeight = int(a.number("--rear", 480));
    o.powerCut = int(a.number("--power-cut", 0));
    o.jobs = int(a.number("--jobs", 1));
    if (o.channels < 1 || o.channels > 3 || (o.rearHeight != 480 && o.rearHeight != 720) || o.seconds <= 0
        || o.seconds > 3600 || o.normal < 0 || o.event < 0 || o.parking < 0 || o.user < 0 || o.powerCut < 0)
        return usage();
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<std::filesystem::path> files;
    std::string error;
    if (!camsim::writeCard(dir, o, files, error))
        return fail(error);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    for (const auto &f : files)
        std::printf("%s\n", f.c_str());
    std::fprintf(stderr, "camsim: %zu files in %.2f s\n", files.size(), s);
    return 0;
}

int cmdMp4(const char *file, const Args &a)
{
    camsim::RecordingOptions o;
    o.side = int(a.number("--side", 1));
    o.channel = int(a.number("--channel", o.side == 1 ? 0 : 1));
    o.rearHeight = int(a.number("--rear", 480));
    o.seconds = a.real("--seconds", 10);
    o.seed = std::uint64_t(a.number("--seed", 1));
    o.type = a.text("--type", "N")[0];
    o.audio = !a.has("--no-audio");
    o.sensor = !a.has("--no-sensor");
    o.bitrateKbps = int(a.number("--bitrate", 0));
    o.start = QDateTime::fromString(QString::fromStdString(a.text("--start", "20231015142530")), "yyyyMMddHHmmss");
    const std::string ending = a.text("--ending", "finished");
    o.ending = ending == "power-cut" ? camsim::Ending::PowerCut
        : ending == "no-index"       ? camsim::Ending::SizeNoIndex
                                     : camsim::Ending::Finished;
    if ((o.side != 1 && o.side != 2) || (o.rearHeight != 480 && o.rearHeight != 720) || o.seconds <= 0
        || o.seconds > 3600 || !o.start.isValid() || std::strchr("NEPU", o.type) == nullptr
        || (ending != "finished" && ending != "power-cut" && ending != "no-index"))
        return usage();
    camsim::RecordingInfo info;
    std::string error;
    if (!camsim::writeRecording(file, o, &info, error))
        return fail(error);
    if (a.has("--info")) {
        const auto &t = info.tables;
        std::printf("video %zu\nsync %zu\nvideo-chunks %zu\nruns %zu\naudio %zu\nsensor %zu\nsize-class %d\n"
                    "width %d\nheight %d\nmedia-end %llu\nfile-size %llu\n",
                    t.videoSizes.size(), t.syncSamples.size(), t.videoChunks.size(), t.videoRuns.size(),
                    t.audioSizes.size(), t.sensorSizes.size(), info.sizeClass, info.width, info.height,
                    (unsigned long long)info.mediaEnd, (unsigned long long)info.fileSize);
    }
    return 0;
}

bool validHeight(long long h)
{
    return h == 1080 || h == 720 || h == 480;
}

int cmdAvi(const char *file, const Args &a)
{
    camsim::AviOptions o;
    o.seconds = a.real("--seconds", 10);
    o.seed = std::uint64_t(a.number("--seed", 1));
    o.type = a.text("--type", "N")[0];
    o.start = QDateTime::fromString(QString::fromStdString(a.text("--start", "20231015142530")), "yyyyMMddHHmmss");
    o.frontHeight = int(a.number("--front", 1080));
    o.rearHeight = int(a.number("--rear", 480));
    o.frontKbps = int(a.number("--front-kbps", 0));
    o.rearKbps = int(a.number("--rear-kbps", 0));
    o.grain = int(a.number("--grain", 0));
    o.cutBytes = std::uint32_t(std::clamp<long long>(a.number("--cut", 0), 0, 1 << 30));
    o.audio = !a.has("--no-audio");
    o.sensor = !a.has("--no-sensor");
    o.makerAt = std::uint64_t(a.number("--maker-at", std::int64_t(camsim::kPartitionReadBlock)));
    const std::string ending = a.text("--ending", "finished");
    o.finished = ending == "finished";
    if (!validHeight(o.frontHeight) || !validHeight(o.rearHeight) || o.seconds <= 0 || o.seconds > 3600
        || !o.start.isValid() || std::strchr("NEPU", o.type) == nullptr || o.frontKbps < 0 || o.rearKbps < 0
        || o.grain < 0 || o.grain > 64 || (ending != "finished" && ending != "unfinished"))
        return usage();
    camsim::AviInfo info;
    std::string error;
    if (!camsim::writeAviRecording(file, o, &info, error))
        return fail(error);
    if (a.has("--info"))
        std::printf("front %u\nrear %u\naudio %u\ntext %u\nmaker-span %llu\nfile-size %llu\n", info.frontFrames,
                    info.rearFrames, info.audioFrames, info.textChunks, (unsigned long long)info.makerSpanStart,
                    (unsigned long long)info.fileSize);
    return 0;
}

int cmdKrfs(const char *image, const Args &a)
{
    camsim::KrfsCardOptions o;
    readCardCounts(a, o);
    o.frontHeight = int(a.number("--front", 1080));
    o.rearHeight = int(a.number("--rear", 480));
    o.frontKbps = int(a.number("--front-kbps", 0));
    o.rearKbps = int(a.number("--rear-kbps", 0));
    o.grain = int(a.number("--grain", 0));
    o.unfinished = int(a.number("--unfinished", 0));
    o.cutBytes = std::uint32_t(std::clamp<long long>(a.number("--cut", 0), 0, 1 << 30));
    const long long block = a.number("--block", 64);
    o.blockKiB = std::uint32_t(block);
    if (!validHeight(o.frontHeight) || !validHeight(o.rearHeight) || o.seconds <= 0 || o.seconds > 3600
        || o.normal < 0 || o.event < 0 || o.parking < 0 || o.user < 0 || o.unfinished < 0 || o.frontKbps < 0
        || o.rearKbps < 0 || o.grain < 0 || o.grain > 64 || block < 4 || block > 8192 || (block & (block - 1)) != 0)
        return usage();
    std::vector<camsim::KrfsFile> files;
    std::string error;
    if (!camsim::writeKrfsCard(image, o, files, error))
        return fail(error);
    for (const auto &f : files)
        std::printf("%s/%s\t%u\t%llu\n", f.folder.c_str(), f.name.c_str(), f.key, (unsigned long long)f.bytes);
    return 0;
}

int cmdRecords(const char *file, const Args &a)
{
    const std::string kind = a.text("--kind", "g");
    const int count = int(a.number("--count", 10));
    if ((kind != "g" && kind != "s8" && kind != "s10") || count < 0)
        return usage();
    camsim::Drive drive(std::uint64_t(a.number("--seed", 1)));
    const QDateTime utc(QDate(2023, 10, 15), QTime(5, 25, 30), Qt::UTC);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < count; ++i) {
        const camsim::DriveFix &f = drive.at(i);
        camsim::Bytes r = kind == "g" ? camsim::gpsSensorRecord(f, utc.addSecs(i))
            : kind == "s8"            ? camsim::packedSensorRecord(8, f.ax, f.ay, f.az)
                                      : camsim::packedSensorRecord(10, f.ax * 4, f.ay * 4, f.az * 4);
        const char len[2] = {char(r.size() >> 8), char(r.size() & 0xFF)};
        out.write(len, 2);
        out.write(reinterpret_cast<const char *>(r.data()), std::streamsize(r.size()));
    }
    return out ? 0 : fail(std::string("cannot write ") + file);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    Args a;
    if (!a.parse(argc, argv, 3, {"--no-audio", "--no-sensor", "--info"}))
        return usage();
    if (command == "card")
        return cmdCard(argv[2], a);
    if (command == "mp4")
        return cmdMp4(argv[2], a);
    if (command == "avi")
        return cmdAvi(argv[2], a);
    if (command == "krfs")
        return cmdKrfs(argv[2], a);
    if (command == "records")
        return cmdRecords(argv[2], a);
    return usage();
}

// In sanitizer builds: GLib and GStreamer keep process-wide allocations until exit.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libgstreamer-1.0.so\n";
}

extern "C" const char *__lsan_default_options()
{
    return "print_suppressions=0";
}
