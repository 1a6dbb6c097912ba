#include "card.h"

#include <atomic>
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

} // namespace camsim
