// Writing KRFS card images: a new disk with an MBR, room for a FAT32 partition and the
// KRFS partition; appending files to its folders as the camera does. Used by
// merido-tool, the camera simulator and the tests; the viewer itself only reads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace krfs {

struct ImageOptions {
    uint64_t fatBytes = 64ull << 20;   // FAT32 partition; 0 leaves it out
    uint64_t krfsBytes = 64ull << 20;  // KRFS partition
    uint32_t blockSize = 64u << 10;    // allocation unit of the KRFS partition, bytes
    uint32_t dirSlots = 4096;          // files the partition can hold
    std::vector<std::string> folders{"NOR", "EVT", "MOT", "USR"};
};

// Where the partitions landed, in 512-byte sectors from the start of the disk.
struct ImageLayout {
    uint32_t fatFirstLba = 0, fatSectors = 0;
    uint32_t krfsFirstLba = 0, krfsSectors = 0;
};

// Creates (or replaces) the image file at `path` as a sparse file. The FAT32 area is
// left zeroed for a FAT formatter. False with a reason in `error` on bad options or I/O.
bool makeImage(const std::string &path, const ImageOptions &options, ImageLayout *layout, std::string *error);

struct PutOptions {
    int64_t time = 0;      // seconds since 1970-01-01 UTC
    bool closed = true;    // false: the file stays marked as still being written
};

// Fills `buffer` with the next `length` bytes of the payload; false stops the write.
using PayloadSource = std::function<bool(uint8_t *buffer, size_t length)>;

// Appends files to one image, keeping it open between files (a camera writes thousands).
class ImageWriter
{
public:
    ImageWriter();
    ~ImageWriter();
    bool open(const std::string &image, std::string *error);
    // As putFile below.
    uint32_t put(const std::string &folder, const std::string &name, uint64_t size, const PayloadSource &source,
                 const PutOptions &options, std::string *error);

private:
    struct State;
    std::unique_ptr<State> state;
};

// Appends a file of `size` bytes to `folder` of the image and returns its key
// (1 or more), or 0 with a reason in `error`. Names are unique within a folder.
uint32_t putFile(const std::string &image, const std::string &folder, const std::string &name, uint64_t size,
                 const PayloadSource &source, const PutOptions &options, std::string *error);
uint32_t putBytes(const std::string &image, const std::string &folder, const std::string &name,
                  std::span<const uint8_t> data, const PutOptions &options, std::string *error);

} // namespace krfs
