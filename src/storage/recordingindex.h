// The sample tables of a camera recording and the `moov` index the camera writes for them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace storage {

// Run of video chunks that hold the same number of samples (an `stsc` entry).
struct ChunkRun {
    std::uint32_t firstChunk = 0;      // 1-based
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t descriptionIndex = 1;
    bool operator==(const ChunkRun &) const = default;
};

// What a walk over the media data collects. File offsets are absolute; sizes in bytes.
struct MediaTables {
    std::vector<std::uint32_t> syncSamples;   // 1-based numbers of the IDR video samples
    std::vector<std::uint32_t> videoSizes;    // length prefix + 4
    std::vector<std::uint32_t> videoChunks;   // offset of the first sample of each video run
    std::vector<ChunkRun> videoRuns;
    std::vector<std::uint32_t> audioSizes;
    std::vector<std::uint32_t> audioChunks;   // one audio frame per chunk
    std::vector<std::uint32_t> sensorSizes;
    std::vector<std::uint32_t> sensorChunks;  // one sensor record per chunk
    bool operator==(const MediaTables &) const = default;
};

// Side of a channel file: 1 front, 2 rear (second or third channel).
constexpr int kSideFront = 1;
constexpr int kSideRear = 2;

struct VideoFormat {
    int width = 0;
    int height = 0;
};
// Picture size the index declares: front files and size class 3 are 1920 x 1080, size class 1
// is 1280 x 720, anything else 720 x 480.
VideoFormat videoFormatFor(int side, int sizeClass);

// The camera's fixed parameter sets (NAL units with their header byte) for a picture size.
std::span<const std::uint8_t> cameraSps(VideoFormat format);
std::span<const std::uint8_t> cameraPps();

// Video timescale in ticks per second: 14910 for the front, 15360 for rear files.
std::uint32_t videoTimescale(int side);
// Sum of the video sample durations in timescale ticks (the front's first frame lasts 1024
// ticks, every other frame 512).
std::uint64_t videoTicks(int side, std::size_t sampleCount);

// The whole `moov` box for the tables, byte for byte as the camera writes it.
std::vector<std::uint8_t> buildIndex(const MediaTables &tables, int side, int sizeClass);

} // namespace storage
