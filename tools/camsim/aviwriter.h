// Writes a recording as the camera stores it on its own partition: one RIFF AVI with the
// front and rear video, the sound and the sensor records, and the maker's blocks.
#pragma once

#include "h264rewrite.h"

#include <QDateTime>

#include <cstdint>
#include <filesystem>
#include <string>

namespace camsim {

// The camera's stream rates (dwRate over a dwScale of 1000): front frames, rear frames,
// sensor records. The sound is 16 kHz in frames of 1024 samples (scale 1024).
constexpr std::uint32_t kAviFrontRate = 29121; // 14910 / 512 frames per second
constexpr std::uint32_t kAviRearRate = 30000;
constexpr std::uint32_t kAviTextRate = 1000;
constexpr std::uint32_t kAviRateScale = 1000;

// The partition is read in blocks of this many bytes (5 MiB); by default the camera's
// maker data lands across the first such boundary when the recording reaches it.
constexpr std::uint64_t kPartitionReadBlock = 0x500000;

struct AviOptions {
    double seconds = 10;
    std::uint64_t seed = 1;
    QDateTime start;                // local time of the first frame (the file name's time)
    char type = 'N';                // E carries an impact spike in its sensor records
    int frontHeight = 1080;         // 1080, 720 or 480 (the camera's picture sizes)
    int rearHeight = 480;
    int frontKbps = 0, rearKbps = 0; // 0: a default for the picture size
    int grain = 0;                  // sensor noise on the luma, +-grain: makes the encoder spend its rate
    bool audio = true;
    bool sensor = true;
    bool finished = true;           // false: RIFF size 0, no idx1, the header as of the first second
    std::uint32_t cutBytes = 0;     // unfinished: bytes of the last chunks that never reached the card
    std::uint64_t makerAt = kPartitionReadBlock; // a maker block spans this file offset (0: none)
};

struct AviInfo {
    std::uint32_t frontFrames = 0, rearFrames = 0, audioFrames = 0;
    std::uint32_t textChunks = 0;   // sensor records and maker data chunks
    std::uint64_t makerSpanStart = 0; // the block written across makerAt, 0 when none
    std::uint64_t fileSize = 0;
};

// The whole file in memory. False with error on an encoder failure or bad options.
bool buildAviRecording(const AviOptions &options, Bytes &file, AviInfo *info, std::string &error);
bool writeAviRecording(const std::filesystem::path &path, const AviOptions &options, AviInfo *info,
                       std::string &error);

} // namespace camsim
