#include "krfsvolume.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace krfs {

Disk::Disk(Disk &&other) noexcept : fd(std::exchange(other.fd, -1)), bytes(other.bytes) {}

Disk &Disk::operator=(Disk &&other) noexcept
{
    if (this != &other) {
        if (fd >= 0)
            ::close(fd);
        fd = std::exchange(other.fd, -1);
        bytes = other.bytes;
    }
    return *this;
}

Disk::~Disk()
{
    if (fd >= 0)
        ::close(fd);
}

bool Disk::open(const std::string &path, bool writable)
{
    const int f = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (f < 0)
        return false;
    struct stat st {};
    uint64_t size = 0;
    bool ok = ::fstat(f, &st) == 0;
    if (ok && S_ISREG(st.st_mode))
        size = uint64_t(st.st_size);
    else if (ok && S_ISBLK(st.st_mode))
        ok = ::ioctl(f, BLKGETSIZE64, &size) == 0;
    else
        ok = false;
    if (!ok) {
        ::close(f);
        return false;
    }
    if (fd >= 0)
        ::close(fd);
    fd = f;
    bytes = size;
    return true;
}

long Disk::readSome(uint64_t offset, void *buffer, size_t length) const
{
    if (fd < 0 || offset > bytes)
        return -1;
    length = size_t(std::min<uint64_t>(length, bytes - offset));
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, static_cast<char *>(buffer) + done, length - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break; // the file shrank under us
        done += size_t(n);
    }
    return long(done);
}

bool Disk::read(uint64_t offset, void *buffer, size_t length) const
{
    if (offset > bytes || length > bytes - offset)
        return false;
    return readSome(offset, buffer, length) == long(length);
}

bool Disk::write(uint64_t offset, const void *buffer, size_t length)
{
    if (fd < 0 || offset > bytes || length > bytes - offset)
        return false;
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd, static_cast<const char *>(buffer) + done, length - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

std::optional<std::vector<MbrPartition>> readPartitionTable(const Disk &disk)
{
    std::vector<uint8_t> sector(kSectorSize);
    if (!disk.read(0, sector.data(), sector.size()))
        return std::nullopt;
    return parseMbr(sector);
}

std::optional<Volume> Volume::open(const std::string &path, bool writable, std::string *error)
{
    auto fail = [error](const char *why) -> std::optional<Volume> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    Volume v;
    if (!v.disk.open(path, writable))
        return fail("cannot open the disk");
    const auto table = readPartitionTable(v.disk);
    if (!table)
        return fail("no partition table");
    for (const MbrPartition &p : *table) {
        if (p.type != kKrfsPartitionType || p.firstLba == 0 || p.sectors == 0)
            continue;
        const uint64_t bytes = uint64_t(p.sectors) * kSectorSize;
        const uint64_t offset = uint64_t(p.firstLba) * kSectorSize;
        if (offset > v.disk.size() || bytes > v.disk.size() - offset)
            continue; // truncated image: the partition runs past the end of the disk
        std::vector<uint8_t> block(kSuperblockSize);
        if (!v.disk.read(offset, block.data(), block.size()))
            continue;
        auto sb = parseSuperblock(block, bytes);
        if (!sb)
            continue;
        v.partitionLba = p.firstLba;
        v.partitionBytes = bytes;
        v.sb = std::move(*sb);
        v.directory.resize(size_t(v.sb.dirBytes()));
        if (!v.disk.read(v.blockOffset(v.sb.dirStartBlock), v.directory.data(), v.directory.size()))
            return fail("directory unreadable");
        return v;
    }
    return fail("no valid KRFS partition");
}

std::optional<Record> Volume::record(uint32_t slot) const
{
    if (slot >= sb.dirSlots)
        return std::nullopt;
    return parseRecord(std::span(directory).subspan(size_t(slot) * kRecordSize, kRecordSize), sb);
}

int Volume::folderIndex(std::string_view name) const
{
    const auto it = std::find(sb.folders.begin(), sb.folders.end(), name);
    return it == sb.folders.end() ? -1 : int(it - sb.folders.begin());
}

} // namespace krfs
