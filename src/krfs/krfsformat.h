// The KRFS on-disk layout: constants, little-endian field access and the checked
// decoding of the master boot record, the superblock and the directory records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace krfs {

constexpr uint32_t kSectorSize = 512;          // bytes; every LBA in the MBR counts these
constexpr uint8_t kKrfsPartitionType = 0x7F;   // MBR type byte of the KRFS partition
constexpr uint8_t kFat32PartitionType = 0x0C;  // FAT32 with LBA addressing
constexpr uint32_t kSuperblockSize = 512;
constexpr uint32_t kRecordSize = 128;          // one directory slot
constexpr size_t kNameMax = 63;                // bytes of a file name, without the terminator
constexpr size_t kFolderNameMax = 15;
constexpr uint32_t kMaxFolders = 8;
constexpr uint32_t kMinBlockSize = 4096;
constexpr uint32_t kMaxBlockSize = 8u << 20;
constexpr uint32_t kMaxDirSlots = 65536;       // keeps the directory read at open under 8 MiB
constexpr uint16_t kVersion = 1;

enum RecordState : uint8_t { StateFree = 0, StateOpen = 1, StateClosed = 2 };

// Little-endian reads and writes on a span; the caller has checked the bounds.
inline uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
inline uint64_t le64(const uint8_t *p) { return uint64_t(le32(p)) | uint64_t(le32(p + 4)) << 32; }
inline void put16(uint8_t *p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void put32(uint8_t *p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i)); }
inline void put64(uint8_t *p, uint64_t v) { put32(p, uint32_t(v)); put32(p + 4, uint32_t(v >> 32)); }

uint32_t crc32(std::span<const uint8_t> data);

struct MbrPartition {
    uint8_t type = 0;
    uint32_t firstLba = 0;
    uint32_t sectors = 0;
};

// The four primary entries of a master boot record, or none without the 0x55AA signature.
std::optional<std::vector<MbrPartition>> parseMbr(std::span<const uint8_t> sector);
void writeMbr(std::span<uint8_t> sector, const std::vector<MbrPartition> &partitions);

struct Superblock {
    uint32_t blockSize = 0;       // bytes, power of two
    uint32_t blockCount = 0;      // blocks in the partition, metadata included
    uint32_t dirStartBlock = 0;
    uint32_t dirSlots = 0;        // records of kRecordSize bytes
    uint32_t dataStartBlock = 0;
    uint32_t nextFreeBlock = 0;   // append pointer: blocks from here on are unused
    std::vector<std::string> folders;

    uint64_t dirBytes() const { return uint64_t(dirSlots) * kRecordSize; }
};

// Decodes and checks a superblock against the size of its partition (bytes): magic,
// version, checksum, block size, and that every region lies inside the partition.
std::optional<Superblock> parseSuperblock(std::span<const uint8_t> bytes, uint64_t partitionBytes);
void writeSuperblock(std::span<uint8_t> bytes, const Superblock &sb);

struct Record {
    std::string name;
    RecordState state = StateFree;
    uint8_t folder = 0;
    uint32_t size = 0;        // bytes written so far
    int64_t time = 0;         // seconds since 1970-01-01 UTC
    uint32_t firstBlock = 0;
    uint32_t blockCount = 0;
};

// Decodes a used directory slot and checks it against the superblock; none for a free
// slot or one that fails any check (such a slot is treated as absent).
std::optional<Record> parseRecord(std::span<const uint8_t> bytes, const Superblock &sb);
void writeRecord(std::span<uint8_t> bytes, const Record &record);

// A name the partition can hold: 1..kNameMax bytes, no '/', no control characters.
bool validName(std::string_view name, size_t maxLength = kNameMax);

} // namespace krfs
