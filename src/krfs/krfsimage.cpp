#include "krfsimage.h"

#include "krfsformat.h"
#include "krfsvolume.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

namespace krfs {

namespace {

constexpr uint32_t kAlignSectors = 2048; // partitions start on 1 MiB boundaries
constexpr size_t kCopyChunk = 1u << 20;  // bytes moved per write while appending

bool failWith(std::string *error, const std::string &why)
{
    if (error)
        *error = why;
    return false;
}

uint64_t alignUp(uint64_t v, uint64_t to) { return (v + to - 1) / to * to; }

} // namespace

bool makeImage(const std::string &path, const ImageOptions &o, ImageLayout *layout, std::string *error)
{
    if (o.blockSize < kMinBlockSize || o.blockSize > kMaxBlockSize || (o.blockSize & (o.blockSize - 1)))
        return failWith(error, "block size must be a power of two from 4 KiB to 8 MiB");
    if (o.dirSlots < 1 || o.dirSlots > kMaxDirSlots)
        return failWith(error, "file count must be 1 to 65536");
    if (o.folders.empty() || o.folders.size() > kMaxFolders)
        return failWith(error, "1 to 8 folders");
    for (size_t i = 0; i < o.folders.size(); ++i) {
        if (!validName(o.folders[i], kFolderNameMax))
            return failWith(error, "bad folder name: " + o.folders[i]);
        if (std::count(o.folders.begin(), o.folders.end(), o.folders[i]) > 1)
            return failWith(error, "duplicate folder name: " + o.folders[i]);
    }

    ImageLayout l;
    const uint64_t fatSectors = alignUp(o.fatBytes, uint64_t(kAlignSectors) * kSectorSize) / kSectorSize;
    const uint64_t krfsFirst = kAlignSectors + fatSectors;
    const uint64_t krfsSectors = o.krfsBytes / kSectorSize;
    if (krfsFirst + krfsSectors > 0xFFFFFFFFu)
        return failWith(error, "image larger than an MBR disk can describe (2 TiB)");
    l.fatFirstLba = fatSectors ? kAlignSectors : 0;
    l.fatSectors = uint32_t(fatSectors);
    l.krfsFirstLba = uint32_t(krfsFirst);
    l.krfsSectors = uint32_t(krfsSectors);

    Superblock sb;
    sb.blockSize = o.blockSize;
    sb.blockCount = uint32_t(std::min<uint64_t>(krfsSectors * kSectorSize / o.blockSize, 0xFFFFFFFFu));
    sb.dirStartBlock = 1;
    sb.dirSlots = o.dirSlots;
    sb.dataStartBlock = uint32_t(1 + alignUp(sb.dirBytes(), o.blockSize) / o.blockSize);
    sb.nextFreeBlock = sb.dataStartBlock;
    sb.folders = o.folders;
    if (sb.dataStartBlock >= sb.blockCount)
        return failWith(error, "KRFS partition too small for its directory");

    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return failWith(error, "cannot create " + path);
    const uint64_t total = (krfsFirst + krfsSectors) * kSectorSize;
    std::vector<uint8_t> sector(kSectorSize);
    std::vector<MbrPartition> parts;
    if (fatSectors)
        parts.push_back({kFat32PartitionType, l.fatFirstLba, l.fatSectors});
    parts.push_back({kKrfsPartitionType, l.krfsFirstLba, l.krfsSectors});
    writeMbr(sector, parts);
    bool ok = ::ftruncate(fd, off_t(total)) == 0 && ::pwrite(fd, sector.data(), sector.size(), 0) == ssize_t(kSectorSize);
    writeSuperblock(sector, sb);
    ok = ok && ::pwrite(fd, sector.data(), sector.size(), off_t(krfsFirst * kSectorSize)) == ssize_t(kSectorSize);
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        return failWith(error, "cannot write " + path);
    if (layout)
        *layout = l;
    return true;
}

struct ImageWriter::State {
    Volume volume;
    std::set<std::pair<int, std::string>> names; // (folder, name) of the sound records
    uint32_t nextSlot = 0;                        // no free slot lies below this one
};

ImageWriter::ImageWriter() = default;
ImageWriter::~ImageWriter() = default;

bool ImageWriter::open(const std::string &image, std::string *error)
{
    std::string why;
    auto volume = Volume::open(image, true, &why);
    if (!volume)
        return failWith(error, image + ": " + why);
    state = std::make_unique<State>(State{std::move(*volume), {}, 0});
    for (uint32_t slot = 0; slot < state->volume.sb.dirSlots; ++slot) {
        if (const auto r = state->volume.record(slot))
            state->names.insert({r->folder, r->name});
    }
    return true;
}

uint32_t ImageWriter::put(const std::string &folder, const std::string &name, uint64_t size,
                          const PayloadSource &source, const PutOptions &options, std::string *error)
{
    if (!state)
        return failWith(error, "no image open");
    Volume &v = state->volume;
    const int folderIndex = v.folderIndex(folder);
    if (folderIndex < 0)
        return failWith(error, "no folder " + folder);
    if (!validName(name))
        return failWith(error, "bad file name (1 to 63 bytes, no '/')");
    if (size > 0xFFFFFFFFu)
        return failWith(error, "file of 4 GiB or more");
    if (state->names.count({folderIndex, name}))
        return failWith(error, "file exists: " + folder + "/" + name);
    // Only a slot whose state byte is 0 is free: a damaged record is not overwritten.
    uint32_t slot = state->nextSlot;
    while (slot < v.sb.dirSlots && v.directory[size_t(slot) * kRecordSize + 64] != StateFree)
        ++slot;
    if (slot >= v.sb.dirSlots)
        return failWith(error, "directory full");
    const uint64_t blocks = alignUp(size, v.sb.blockSize) / v.sb.blockSize;
    if (blocks > v.sb.blockCount - v.sb.nextFreeBlock)
        return failWith(error, "partition full");

    // Data first, then the record, then the append pointer: an interrupted write leaves
    // at worst unused blocks below a stale pointer, never a record over missing data.
    Record r;
    r.name = name;
    r.state = options.closed ? StateClosed : StateOpen;
    r.folder = uint8_t(folderIndex);
    r.size = uint32_t(size);
    r.time = options.time;
    r.firstBlock = v.sb.nextFreeBlock;
    r.blockCount = uint32_t(blocks);
    std::vector<uint8_t> chunk(std::min<uint64_t>(kCopyChunk, std::max<uint64_t>(size, 1)));
    for (uint64_t done = 0; done < size;) {
        const size_t n = size_t(std::min<uint64_t>(chunk.size(), size - done));
        if (!source(chunk.data(), n))
            return failWith(error, "payload could not be read");
        if (!v.disk.write(v.blockOffset(r.firstBlock) + done, chunk.data(), n))
            return failWith(error, "write failed");
        done += n;
    }
    const std::span<uint8_t> record(v.directory.data() + size_t(slot) * kRecordSize, kRecordSize);
    writeRecord(record, r);
    if (!v.disk.write(v.blockOffset(v.sb.dirStartBlock) + uint64_t(slot) * kRecordSize, record.data(), record.size()))
        return failWith(error, "write failed");
    v.sb.nextFreeBlock += uint32_t(blocks);
    std::vector<uint8_t> sector(kSuperblockSize);
    writeSuperblock(sector, v.sb);
    if (!v.disk.write(v.partitionOffset(), sector.data(), sector.size()))
        return failWith(error, "write failed");
    state->names.insert({folderIndex, name});
    state->nextSlot = slot + 1;
    return slot + 1;
}

uint32_t putFile(const std::string &image, const std::string &folder, const std::string &name, uint64_t size,
                 const PayloadSource &source, const PutOptions &options, std::string *error)
{
    ImageWriter writer;
    return writer.open(image, error) ? writer.put(folder, name, size, source, options, error) : 0;
}

uint32_t putBytes(const std::string &image, const std::string &folder, const std::string &name,
                  std::span<const uint8_t> data, const PutOptions &options, std::string *error)
{
    size_t offset = 0;
    return putFile(image, folder, name, data.size(), [&](uint8_t *buffer, size_t length) {
        std::memcpy(buffer, data.data() + offset, length);
        offset += length;
        return true;
    }, options, error);
}

} // namespace krfs
