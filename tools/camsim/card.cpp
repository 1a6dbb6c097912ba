#include "card.h"

#include "krfsimage.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <thread>

namespace camsim {

const char *typeFolder(char type)
{
    switch (type) {
    case 'E': return "EVT";
    case 'P': return "MOT";
    case 'U': return "USR";
    default: return "NOR";
    }
}

std::string recordingFileName(const QDateTime &start, int channels, char type, int channel)
{
    static const char *suffix[] = {"F", "R1", "R2"};
    return start.toString("yyyyMMdd_HHmmss").toStdString() + "_" + std::to_string(channels) + "CH_"
        + std::string(1, type) + "_" + suffix[std::clamp(channel, 0, 2)] + ".mp4";
}

bool writeCard(const std::filesystem::path &dir, const CardOptions &o, std::vector<std::filesystem::path> &files,
               std::string &error)
{
    struct Job {
        std::filesystem::path path;
        RecordingOptions options;
    };
    std::vector<Job> jobs;
    // Recordings follow each other on one timeline from a seed-dependent morning.
    QDateTime when(QDate(2023, 10, 15), QTime(8 + int(o.seed % 10), int(o.seed * 7 % 60), 0));
    int index = 0;
    for (const auto &[type, count] : {std::pair{'N', o.normal}, {'E', o.event}, {'P', o.parking}, {'U', o.user}}) {
        for (int i = 0; i < count; ++i, ++index) {
            const bool cut = i >= count - o.powerCut;
            for (int channel = 0; channel < o.channels; ++channel) {
                RecordingOptions r;
                r.side = channel == 0 ? storage::kSideFront : storage::kSideRear;
                r.channel = channel;
                r.rearHeight = o.rearHeight;
                r.seconds = o.seconds;
                r.seed = o.seed * 1000 + std::uint64_t(index);
                r.start = when;
                r.type = type;
                r.ending = cut ? Ending::PowerCut : Ending::Finished;
                const auto folder = dir / typeFolder(type) / (channel == 0 ? "FRONT" : "REAR");
                jobs.push_back({folder / recordingFileName(when, o.channels, type, channel), r});
            }
            when = when.addSecs(std::int64_t(std::ceil(o.seconds)));
        }
    }
    for (const Job &j : jobs) {
        std::error_code ec;
        std::filesystem::create_directories(j.path.parent_path(), ec);
        if (ec) {
            error = "cannot create " + j.path.parent_path().string();
            return false;
        }
    }

    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex errorLock;
    auto work = [&] {
        for (std::size_t i; !failed && (i = next++) < jobs.size();) {
            std::string e;
            if (!writeRecording(jobs[i].path, jobs[i].options, nullptr, e)) {
                const std::lock_guard lock(errorLock);
                error = e;
                failed = true;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < std::max(1, o.jobs); ++t)
        threads.emplace_back(work);
    work();
    for (auto &t : threads)
        t.join();
    for (const Job &j : jobs)
        files.push_back(j.path);
    return !failed;
}

std::string aviFileName(const QDateTime &start, char type)
{
    return start.toString("yyyyMMdd_HHmmss").toStdString() + "_2CH_" + std::string(1, type) + "_F.avi";
}

bool writeKrfsCard(const std::filesystem::path &image, const KrfsCardOptions &o, std::vector<KrfsFile> &files,
                   std::string &error)
{
    // The camera's clock runs 9 h ahead of UTC (as its GPS sentences show); the partition
    // stores UTC seconds.
    constexpr int kUtcOffsetSeconds = 9 * 3600;
    // Recordings are written to files beside the image first, so the partition can be
    // sized to what they hold without keeping them all in memory.
    const std::filesystem::path parts = image.string() + ".parts";
    std::error_code ec;
    std::filesystem::create_directories(parts, ec);
    if (ec) {
        error = "cannot create " + parts.string();
        return false;
    }
    struct Cleanup {
        std::filesystem::path dir;
        ~Cleanup()
        {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
    } cleanup{parts};

    QDateTime when(QDate(2023, 10, 15), QTime(8 + int(o.seed % 10), int(o.seed * 7 % 60), 0));
    std::vector<std::filesystem::path> sources;
    std::uint64_t total = 0;
    int index = 0;
    for (const auto &[type, count] : {std::pair{'N', o.normal}, {'E', o.event}, {'P', o.parking}, {'U', o.user}}) {
        for (int i = 0; i < count; ++i, ++index) {
            AviOptions a;
            a.seconds = o.seconds;
            a.seed = o.seed * 1000 + std::uint64_t(index);
            a.start = when;
            a.type = type;
            a.frontHeight = o.frontHeight;
            a.rearHeight = o.rearHeight;
            a.frontKbps = o.frontKbps;
            a.rearKbps = o.rearKbps;
            a.grain = o.grain;
            a.finished = i < count - o.unfinished;
            a.cutBytes = o.cutBytes;
            KrfsFile f;
            f.folder = typeFolder(type);
            f.name = aviFileName(when, type);
            f.time = QDateTime(when.date(), when.time(), Qt::UTC).toSecsSinceEpoch() - kUtcOffsetSeconds;
            f.finished = a.finished;
            const std::filesystem::path part = parts / std::to_string(index);
            AviInfo info;
            if (!writeAviRecording(part, a, &info, error))
                return false;
            f.bytes = info.fileSize;
            total += f.bytes;
            files.push_back(f);
            sources.push_back(part);
            std::fprintf(stderr, "camsim: %s/%s %llu bytes\n", f.folder.c_str(), f.name.c_str(),
                         (unsigned long long)f.bytes);
            when = when.addSecs(std::int64_t(std::ceil(o.seconds)));
        }
    }

    krfs::ImageOptions io;
    io.fatBytes = 0;
    io.blockSize = o.blockKiB << 10;
    io.dirSlots = std::max<std::uint32_t>(64, std::uint32_t(files.size()) * 2);
    // Every file rounds up to whole blocks; the directory and superblock need a few MiB.
    const std::uint64_t mib = 1ull << 20;
    io.krfsBytes = ((total + files.size() * io.blockSize + 4 * mib) + mib - 1) / mib * mib;
    if (!krfs::makeImage(image.string(), io, nullptr, &error))
        return false;
    krfs::ImageWriter writer;
    if (!writer.open(image.string(), &error))
        return false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        KrfsFile &f = files[i];
        std::ifstream in(sources[i], std::ios::binary);
        krfs::PutOptions put;
        put.time = f.time;
        put.closed = f.finished; // a power loss leaves the record marked as being written
        f.key = writer.put(
            f.folder, f.name, f.bytes,
            [&in](std::uint8_t *buffer, std::size_t length) {
                return bool(in.read(reinterpret_cast<char *>(buffer), std::streamsize(length)));
            },
            put, &error);
        if (f.key == 0)
            return false;
    }
    return true;
}

} // namespace camsim
