// Writes one channel file of a recording in the camera's MP4 layout.
#pragma once

#include "recordingindex.h"

#include <QDateTime>

#include <cstdint>
#include <filesystem>
#include <string>

namespace camsim {

// How the recording ended.
enum class Ending {
    Finished,     // size field and index written
    PowerCut,     // size field 0, no index, the last record possibly cut short
    SizeNoIndex,  // size field written, index missing
};

struct RecordingOptions {
    int side = storage::kSideFront; // 1 front, 2 rear
    int channel = 0;                 // 0 front, 1 second, 2 third
    int rearHeight = 480;            // 480 or 720
    double seconds = 10;
    std::uint64_t seed = 1;
    QDateTime start;                 // local time of the first frame (the file name's time)
    char type = 'N';                 // N, E, P, U: E carries an impact spike
    bool audio = true;
    bool sensor = true;
    Ending ending = Ending::Finished;
    int bitrateKbps = 0;             // 0: a default for the picture size
};

struct RecordingInfo {
    storage::MediaTables tables;    // what the index holds (or would hold)
    int sizeClass = 0;              // size class the index's picture size stands for
    int width = 0, height = 0;
    std::uint64_t mediaEnd = 0;     // end of the last record
    std::uint64_t fileSize = 0;
};

// Frame rate of a side as a fraction: front 14910 / 512, rear 15360 / 512.
std::uint32_t frameTicks(int side, int frame); // start of frame in timescale ticks

bool writeRecording(const std::filesystem::path &path, const RecordingOptions &options, RecordingInfo *info,
                    std::string &error);

} // namespace camsim
