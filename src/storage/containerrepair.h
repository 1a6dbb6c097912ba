// Checking a camera recording for its index and rebuilding a missing one in place.
#pragma once

#include "recordingindex.h"

#include <cstdint>
#include <filesystem>
#include <span>

namespace storage {

// Offsets the camera uses: the media-data box starts at 40 and its records at 48.
constexpr std::uint64_t kMediaDataOffset = 40;
constexpr std::uint64_t kFirstRecordOffset = 48;

// Random access to the bytes of a recording.
class RecordingSource {
public:
    virtual ~RecordingSource() = default;
    // Reads up to out.size() bytes at offset; returns how many were read (short at the end).
    virtual std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
};

// A recording held in memory (tests, fuzzing).
class MemorySource : public RecordingSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> data) : m_data(data) {}
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override;

private:
    std::span<const std::uint8_t> m_data;
};

struct ScanResult {
    MediaTables tables;
    // Where the media data ends (before rounding): the first byte the index may overwrite.
    std::uint64_t end = kFirstRecordOffset;
    bool endedAtFileEnd = false;

    bool empty() const
    {
        return tables.videoSizes.empty() && tables.audioSizes.empty() && tables.sensorSizes.empty();
    }
};

// Walks the records from offset 48 and collects the sample tables.
ScanResult scanMediaData(const RecordingSource &source);

// Whether the box after the media data is the index ("moov"); false when unreadable.
bool hasIndex(const RecordingSource &source);

enum class RepairOutcome {
    Repaired,       // a new index was written
    Intact,         // the index is there; nothing written
    CannotOpen,     // missing, unreadable or read-only
    NotRecording,   // no media-data box at offset 40
    NothingToIndex, // no video sample, audio frame or sensor record before the first unusable byte
    WriteFailed,    // the index could not be written
};
const char *repairOutcomeText(RepairOutcome outcome);

RepairOutcome repairRecordingOutcome(const std::filesystem::path &path, int side, int sizeClass);

// Rebuilds the index of the recording at path when it lacks one. side: 1 front, 2 rear;
// sizeClass 0..3 as the catalogue computes it. True when a new index was written; false when
// the file has an index, cannot be opened for writing, is not a camera recording or holds
// nothing to index. The file is never shortened.
bool repairRecording(const std::filesystem::path &path, int side, int sizeClass);

} // namespace storage
