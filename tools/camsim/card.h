// Writes a card's folder tree of recordings as the camera lays it out.
#pragma once

#include "recordingwriter.h"

#include <filesystem>
#include <string>
#include <vector>

namespace camsim {

struct CardOptions {
    std::uint64_t seed = 1;
    int normal = 2, event = 1, parking = 0, user = 0; // recordings per type
    double seconds = 10;
    int channels = 3;    // 1, 2 or 3
    int rearHeight = 480;
    int powerCut = 0;    // last recordings of each type left without index
    int jobs = 1;        // recordings written in parallel
};

// Type folder of a type letter: N NOR, E EVT, P MOT, U USR.
const char *typeFolder(char type);
// "YYYYMMDD_HHMMSS_<n>CH_<type>_<F|R1|R2>.mp4"
std::string recordingFileName(const QDateTime &start, int channels, char type, int channel);

// Writes the tree under dir; files receives the paths written, in order.
bool writeCard(const std::filesystem::path &dir, const CardOptions &options,
               std::vector<std::filesystem::path> &files, std::string &error);

} // namespace camsim
