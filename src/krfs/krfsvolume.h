// An opened KRFS partition: the disk it lies on, its checked superblock and its
// directory, read once at open. Shared by the C API (reading) and the image writer.
#pragma once

#include "krfsformat.h"

#include <optional>
#include <string>
#include <vector>

namespace krfs {

// A whole disk: a block device node or an image file. Owns the descriptor.
class Disk
{
public:
    Disk() = default;
    Disk(const Disk &) = delete;
    Disk &operator=(const Disk &) = delete;
    Disk(Disk &&other) noexcept;
    Disk &operator=(Disk &&other) noexcept;
    ~Disk();

    // Opens `path` (read-only unless `writable`) and learns its size. False for
    // anything that is neither a regular file nor a block device.
    bool open(const std::string &path, bool writable);
    uint64_t size() const { return bytes; } // bytes

    // Exact reads and writes inside the disk; false on any short transfer, error or
    // range outside [0, size()).
    bool read(uint64_t offset, void *buffer, size_t length) const;
    bool write(uint64_t offset, const void *buffer, size_t length);
    // Reads what there is up to `length`; -1 on error.
    long readSome(uint64_t offset, void *buffer, size_t length) const;

private:
    int fd = -1;
    uint64_t bytes = 0;
};

class Volume
{
public:
    // The first partition of type kKrfsPartitionType lying inside the disk whose
    // superblock is valid; none otherwise. `error` receives a reason when given.
    static std::optional<Volume> open(const std::string &path, bool writable, std::string *error = nullptr);

    Disk disk;
    uint32_t partitionLba = 0;        // first sector of the partition
    uint64_t partitionBytes = 0;
    Superblock sb;
    std::vector<uint8_t> directory;   // dirSlots records of kRecordSize bytes

    uint64_t partitionOffset() const { return uint64_t(partitionLba) * kSectorSize; }
    // Byte offset on the disk of a block of the partition.
    uint64_t blockOffset(uint32_t block) const { return partitionOffset() + uint64_t(block) * sb.blockSize; }
    // The record in slot `slot` (key - 1) when it is used and sound.
    std::optional<Record> record(uint32_t slot) const;
    // Index of a folder by name, or -1.
    int folderIndex(std::string_view name) const;
};

// MBR partition table of a disk; none without a readable, signed first sector.
std::optional<std::vector<MbrPartition>> readPartitionTable(const Disk &disk);

} // namespace krfs
