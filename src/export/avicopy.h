// Copies a camera AVI recording out of a block source into a file: blanks the maker's
// "LBMS"/"LBDJ" blocks on the way and, when the camera never finalized the recording,
// appends a rebuilt "idx1" index and corrects the headers from what the copy saw.
#pragma once

#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <vector>

class QFileDevice;

// Reads up to `capacity` bytes into `buffer`; returns the count, 0 or less at the end.
using AviBlockReader = std::function<int(uint8_t *buffer, int capacity)>;

struct AviIndexEntry {
    uint32_t id;     // chunk id as stored (little-endian fourcc)
    uint32_t flags;  // 0x10 key frame / audio / text, 0 otherwise
    uint32_t offset; // relative to the "movi" code; the first chunk is at 4
    uint32_t size;   // payload bytes
};

// What the copy learned about the recording.
struct AviCopySummary {
    uint64_t bytesCopied = 0;
    bool finalized = false; // the RIFF size matched: copied as it was, nothing appended
    bool repaired = false;  // an index was appended and the headers rewritten
    uint64_t droppedTail = 0; // repaired: bytes of a cut-off last chunk not kept before the index
    uint64_t outputBytes = 0; // size of the file written
    uint32_t videoChunks = 0;
    uint32_t videoChunks0 = 0, videoChunks1 = 0;
    uint32_t largestVideo0 = 0, largestVideo1 = 0;
    uint32_t audioSum = 0, largestAudio = 0; // sum of size / 2 per chunk (bytes)
    uint32_t textChunks = 0, largestText = 0;
    std::vector<AviIndexEntry> index;
};

class AviCopy
{
public:
    // Reads are made in blocks of this many bytes (5 MiB), as the partition is read.
    static constexpr int kBlockBytes = 0x500000;
    // A chunk size above this counts as 0 (a damaged size field).
    static constexpr uint32_t kMaxChunkSize = 0x6000000;
    // The rebuilt index grows as needed up to this many entries (64 MiB; a camera writes
    // about 80 chunks a second, so over 14 hours). A file of nothing but 8-byte chunk
    // headers would otherwise ask for twice its own size in memory; later chunks are
    // counted but not indexed.
    static constexpr size_t kMaxIndexEntries = size_t(1) << 22;

    // Copies everything `read` delivers into `out` (open for reading and writing, empty).
    // False when writing fails; `summary` tells what was found and done.
    static bool copy(const AviBlockReader &read, QFileDevice &out, AviCopySummary *summary = nullptr);
};
