#include "krfsformat.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace krfs {

namespace {

constexpr std::array<uint8_t, 4> kMagic{'K', 'R', 'F', 'S'};
constexpr size_t kMbrTable = 446;        // first of four 16-byte partition entries
constexpr size_t kFolderTable = 40;      // superblock: kMaxFolders names of 16 bytes
constexpr size_t kFolderSlot = 16;
constexpr size_t kSuperblockCrc = kSuperblockSize - 4;
constexpr size_t kRecordCrc = kRecordSize - 4;
constexpr size_t kRecordName = 64;       // name field: kNameMax bytes and the terminator

constexpr std::array<uint32_t, 256> makeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr auto kCrcTable = makeCrcTable();

// The text of a zero-terminated field, or none when the field holds no terminator.
std::optional<std::string> fieldString(std::span<const uint8_t> field)
{
    const auto end = std::find(field.begin(), field.end(), uint8_t(0));
    if (end == field.end())
        return std::nullopt;
    return std::string(field.begin(), end);
}

void putString(std::span<uint8_t> field, const std::string &text)
{
    std::fill(field.begin(), field.end(), uint8_t(0));
    std::memcpy(field.data(), text.data(), std::min(text.size(), field.size() - 1));
}

bool isPowerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

} // namespace

uint32_t crc32(std::span<const uint8_t> data)
{
    uint32_t c = 0xFFFFFFFFu;
    for (uint8_t b : data)
        c = kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

bool validName(std::string_view name, size_t maxLength)
{
    if (name.empty() || name.size() > maxLength || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return c == '/' || uint8_t(c) < 0x20 || c == 0x7F; });
}

std::optional<std::vector<MbrPartition>> parseMbr(std::span<const uint8_t> sector)
{
    if (sector.size() < kSectorSize || sector[510] != 0x55 || sector[511] != 0xAA)
        return std::nullopt;
    std::vector<MbrPartition> parts;
    for (size_t i = 0; i < 4; ++i) {
        const uint8_t *e = sector.data() + kMbrTable + 16 * i;
        parts.push_back({e[4], le32(e + 8), le32(e + 12)});
    }
    return parts;
}

void writeMbr(std::span<uint8_t> sector, const std::vector<MbrPartition> &partitions)
{
    std::fill(sector.begin(), sector.begin() + kSectorSize, uint8_t(0));
    for (size_t i = 0; i < partitions.size() && i < 4; ++i) {
        uint8_t *e = sector.data() + kMbrTable + 16 * i;
        // CHS fields are unused by LBA readers; 0xFE 0xFF 0xFF marks "beyond CHS".
        const uint8_t chs[3] = {0xFE, 0xFF, 0xFF};
        std::memcpy(e + 1, chs, 3);
        e[4] = partitions[i].type;
        std::memcpy(e + 5, chs, 3);
        put32(e + 8, partitions[i].firstLba);
        put32(e + 12, partitions[i].sectors);
    }
    sector[510] = 0x55;
    sector[511] = 0xAA;
}

std::optional<Superblock> parseSuperblock(std::span<const uint8_t> b, uint64_t partitionBytes)
{
    if (b.size() < kSuperblockSize || !std::equal(kMagic.begin(), kMagic.end(), b.begin()))
        return std::nullopt;
    if (le16(b.data() + 4) != kVersion || le16(b.data() + 6) != kSuperblockSize)
        return std::nullopt;
    if (le32(b.data() + kSuperblockCrc) != crc32(b.first(kSuperblockCrc)))
        return std::nullopt;

    Superblock sb;
    sb.blockSize = le32(b.data() + 8);
    sb.blockCount = le32(b.data() + 12);
    sb.dirStartBlock = le32(b.data() + 16);
    sb.dirSlots = le32(b.data() + 20);
    sb.dataStartBlock = le32(b.data() + 24);
    sb.nextFreeBlock = le32(b.data() + 28);
    const uint32_t folderCount = le32(b.data() + 32);

    if (!isPowerOfTwo(sb.blockSize) || sb.blockSize < kMinBlockSize || sb.blockSize > kMaxBlockSize)
        return std::nullopt;
    const uint64_t bs = sb.blockSize;
    if (sb.blockCount == 0 || uint64_t(sb.blockCount) * bs > partitionBytes)
        return std::nullopt;
    // Block 0 holds this superblock; the directory follows, then the data area.
    if (sb.dirStartBlock < 1 || sb.dirSlots < 1 || sb.dirSlots > kMaxDirSlots)
        return std::nullopt;
    if (uint64_t(sb.dirStartBlock) * bs + sb.dirBytes() > uint64_t(sb.dataStartBlock) * bs)
        return std::nullopt;
    if (sb.dataStartBlock > sb.blockCount || sb.nextFreeBlock < sb.dataStartBlock || sb.nextFreeBlock > sb.blockCount)
        return std::nullopt;
    if (folderCount < 1 || folderCount > kMaxFolders)
        return std::nullopt;
    for (uint32_t i = 0; i < folderCount; ++i) {
        auto name = fieldString(b.subspan(kFolderTable + kFolderSlot * i, kFolderSlot));
        if (!name || !validName(*name, kFolderNameMax))
            return std::nullopt;
        if (std::find(sb.folders.begin(), sb.folders.end(), *name) != sb.folders.end())
            return std::nullopt;
        sb.folders.push_back(*name);
    }
    return sb;
}

void writeSuperblock(std::span<uint8_t> b, const Superblock &sb)
{
    std::fill(b.begin(), b.begin() + kSuperblockSize, uint8_t(0));
    std::copy(kMagic.begin(), kMagic.end(), b.begin());
    put16(b.data() + 4, kVersion);
    put16(b.data() + 6, uint16_t(kSuperblockSize));
    put32(b.data() + 8, sb.blockSize);
    put32(b.data() + 12, sb.blockCount);
    put32(b.data() + 16, sb.dirStartBlock);
    put32(b.data() + 20, sb.dirSlots);
    put32(b.data() + 24, sb.dataStartBlock);
    put32(b.data() + 28, sb.nextFreeBlock);
    put32(b.data() + 32, uint32_t(sb.folders.size()));
    for (size_t i = 0; i < sb.folders.size() && i < kMaxFolders; ++i)
        putString(b.subspan(kFolderTable + kFolderSlot * i, kFolderSlot), sb.folders[i]);
    put32(b.data() + kSuperblockCrc, crc32(b.first(kSuperblockCrc)));
}

std::optional<Record> parseRecord(std::span<const uint8_t> b, const Superblock &sb)
{
    if (b.size() < kRecordSize)
        return std::nullopt;
    Record r;
    r.state = RecordState(b[64]);
    if (r.state != StateOpen && r.state != StateClosed)
        return std::nullopt;
    if (le32(b.data() + kRecordCrc) != crc32(b.first(kRecordCrc)))
        return std::nullopt;
    auto name = fieldString(b.first(kRecordName));
    if (!name || !validName(*name))
        return std::nullopt;
    r.name = *name;
    r.folder = b[65];
    r.size = le32(b.data() + 68);
    r.time = int64_t(le64(b.data() + 72));
    r.firstBlock = le32(b.data() + 80);
    r.blockCount = le32(b.data() + 84);
    if (r.folder >= sb.folders.size())
        return std::nullopt;
    // Extents are handed out from the append pointer, so every one lies below it.
    if (r.firstBlock < sb.dataStartBlock || uint64_t(r.firstBlock) + r.blockCount > sb.nextFreeBlock)
        return std::nullopt;
    if (r.size > uint64_t(r.blockCount) * sb.blockSize)
        return std::nullopt;
    return r;
}

void writeRecord(std::span<uint8_t> b, const Record &r)
{
    std::fill(b.begin(), b.begin() + kRecordSize, uint8_t(0));
    putString(b.first(kRecordName), r.name);
    b[64] = r.state;
    b[65] = r.folder;
    put32(b.data() + 68, r.size);
    put64(b.data() + 72, uint64_t(r.time));
    put32(b.data() + 80, r.firstBlock);
    put32(b.data() + 84, r.blockCount);
    put32(b.data() + kRecordCrc, crc32(b.first(kRecordCrc)));
}

} // namespace krfs
