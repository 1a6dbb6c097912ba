// Writes a card's folder tree of recordings as the camera lays it out.
#pragma once

#include "aviwriter.h"
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

struct KrfsCardOptions {
    std::uint64_t seed = 1;
    int normal = 2, event = 1, parking = 0, user = 0; // recordings per type
    double seconds = 10;
    int frontHeight = 1080, rearHeight = 480;
    int frontKbps = 0, rearKbps = 0; // 0: the camera's default for the picture size
    int grain = 0;                   // sensor noise (see AviOptions)
    int unfinished = 0;              // last recordings of each type cut by a power loss
    std::uint32_t cutBytes = 0;      // bytes an unfinished recording lost at its end
    std::uint32_t blockKiB = 64;     // allocation unit of the partition
};

// "YYYYMMDD_HHMMSS_2CH_<type>_F.avi": one file holds front and rear.
std::string aviFileName(const QDateTime &start, char type);

struct KrfsFile {
    std::string folder, name;
    std::uint32_t key = 0;
    std::uint64_t bytes = 0;
    std::int64_t time = 0; // seconds since 1970 UTC
    bool finished = true;
};

// Writes a card image whose KRFS partition holds AVI recordings as the camera stores them
// (an unfinished one stays marked as being written). The partition is sized to fit.
bool writeKrfsCard(const std::filesystem::path &image, const KrfsCardOptions &options, std::vector<KrfsFile> &files,
                   std::string &error);

} // namespace camsim
