// The C entry points. Each one checks its arguments, catches everything (no exception
// leaves the library) and works on a Volume read once at Device_Open.
#include "krfs.h"
#include "krfsvolume.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

using namespace krfs;

namespace {

constexpr uint8_t kDeviceMagic[4] = {'K', 'R', 'D', 'V'};
constexpr size_t kDevicePointer = 8;   // offset of the Device pointer inside the caller's block
constexpr size_t kMaxOpenFiles = 64;
static_assert(kDevicePointer + sizeof(void *) <= QZ_KRFS_DEVICE_BLOCK_SIZE);

std::atomic<int> startCount{0};

struct OpenFile {
    bool used = false;
    Record record;
    uint32_t position = 0; // bytes already read
};

// The directory is read and checked once at open; the device is read-only, so the
// listing and the folder totals come from these tables.
struct FolderTable {
    std::vector<std::pair<uint32_t, Record>> files; // (slot, record) of the sound records, in slot order
    uint64_t usedBytes = 0;
    uint64_t allocatedBytes = 0;
};

struct Device {
    Volume volume;
    std::vector<FolderTable> folders; // by folder index
    std::vector<OpenFile> files;      // handle = index + 1
};

Device *deviceOf(void *block)
{
    if (!block)
        return nullptr;
    auto *bytes = static_cast<uint8_t *>(block);
    if (std::memcmp(bytes, kDeviceMagic, sizeof kDeviceMagic) != 0)
        return nullptr;
    Device *device = nullptr;
    std::memcpy(&device, bytes + kDevicePointer, sizeof device);
    return device;
}

// A folder name the caller passed: bounded, so an unterminated argument is not run past.
std::string_view folderArg(const char *folder)
{
    if (!folder)
        return {};
    const size_t n = strnlen(folder, kFolderNameMax + 1);
    return n > kFolderNameMax ? std::string_view() : std::string_view(folder, n);
}

int32_t clampTime(int64_t seconds)
{
    return int32_t(std::clamp<int64_t>(seconds, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

extern "C" {

int QZ_KrFS_Start(void)
{
    ++startCount;
    return 0;
}

int QZ_KrFS_Stop(void)
{
    int expected = startCount.load();
    while (expected > 0 && !startCount.compare_exchange_weak(expected, expected - 1)) {
    }
    return 0;
}

int QZ_KrFS_Check_KrFS_partition(const char *physicalPath)
{
    if (!physicalPath)
        return 0;
    try {
        return Volume::open(physicalPath, false) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int QZ_KrFS_Get_Master_Device_Info(const char *physicalPath, unsigned char *result)
{
    if (!physicalPath || !result)
        return -1;
    try {
        Disk disk;
        if (!disk.open(physicalPath, false))
            return -1;
        const auto volume = Volume::open(physicalPath, false);
        std::memset(result, 0, QZ_KRFS_MASTER_INFO_SIZE);
        put32(result, 1);
        put32(result + 4, kSectorSize);
        put32(result + 8, volume ? volume->partitionLba : 0);
        put32(result + 12, uint32_t(std::min<uint64_t>(disk.size() / kSectorSize, 0xFFFFFFFFu)));
        return 0;
    } catch (...) {
        return -1;
    }
}

int QZ_KrFS_Device_Open(const char *physicalPath, int /*mode*/, void *block)
{
    if (!physicalPath || !block || deviceOf(block))
        return -1; // a block that is already open would leak its device
    try {
        auto volume = Volume::open(physicalPath, false);
        if (!volume)
            return -1;
        auto device = std::make_unique<Device>();
        device->volume = std::move(*volume);
        device->folders.resize(device->volume.sb.folders.size());
        for (uint32_t slot = 0; slot < device->volume.sb.dirSlots; ++slot) {
            if (auto r = device->volume.record(slot)) {
                FolderTable &folder = device->folders[r->folder];
                folder.usedBytes += r->size;
                folder.allocatedBytes += uint64_t(r->blockCount) * device->volume.sb.blockSize;
                folder.files.emplace_back(slot, std::move(*r));
            }
        }
        auto *bytes = static_cast<uint8_t *>(block);
        Device *raw = device.release();
        std::memcpy(bytes + kDevicePointer, &raw, sizeof raw);
        std::memcpy(bytes, kDeviceMagic, sizeof kDeviceMagic);
        return 0;
    } catch (...) {
        return -1;
    }
}

int QZ_KrFS_Device_Close(void *block)
{
    Device *device = deviceOf(block);
    if (!device)
        return -1;
    delete device;
    std::memset(block, 0, QZ_KRFS_DEVICE_BLOCK_SIZE);
    return 0;
}

int QZ_KrFS_Get_Dir_Info(void *block, const char *folder, unsigned char *result, uint64_t *usedBytes,
                         uint64_t *allocatedBytes)
{
    Device *device = deviceOf(block);
    const int index = device ? device->volume.folderIndex(folderArg(folder)) : -1;
    if (index < 0)
        return -1;
    const FolderTable &table = device->folders[size_t(index)];
    const uint64_t used = table.usedBytes, allocated = table.allocatedBytes;
    if (usedBytes)
        *usedBytes = used;
    if (allocatedBytes)
        *allocatedBytes = allocated;
    if (result) {
        std::memset(result, 0, QZ_KRFS_DIR_INFO_SIZE);
        put32(result, uint32_t(table.files.size()));
        put32(result + 4, uint32_t(index));
        put64(result + 8, used);
        put64(result + 16, allocated);
        const std::string &name = device->volume.sb.folders[size_t(index)];
        std::memcpy(result + 24, name.data(), name.size()); // at most 15 bytes of 56
    }
    return 0;
}

int QZ_KrFS_Get_FileList(void *block, const char *folder, int *position, unsigned char *list, int /*flags*/)
{
    Device *device = deviceOf(block);
    if (!device || !position || !list || *position < 1)
        return -1;
    const int index = device->volume.folderIndex(folderArg(folder));
    if (index < 0)
        return -1;
    uint32_t capacity = le32(list);
    if (capacity == 0 || capacity > QZ_KRFS_LIST_CAPACITY)
        capacity = QZ_KRFS_LIST_CAPACITY;
    put32(list, capacity);

    const auto &files = device->folders[size_t(index)].files;
    const size_t first = size_t(*position) - 1;
    int written = 0;
    for (size_t i = first; i < files.size() && uint32_t(written) < capacity; ++i, ++written) {
        const auto &[slot, record] = files[i];
        const Record *r = &record;
        unsigned char *out = list + 4 + size_t(written) * QZ_KRFS_LIST_RECORD_SIZE;
        std::memset(out, 0, QZ_KRFS_LIST_RECORD_SIZE);
        std::memcpy(out, r->name.data(), r->name.size()); // at most 63 bytes of 98
        put32(out + 98, slot + 1);
        put32(out + 102, r->size);
        put32(out + 106, uint32_t(clampTime(r->time)));
    }
    *position += written;
    return written;
}

int QZ_KrFS_File_Open(void *block, const char *path, const char *mode, int, int, uint32_t key)
{
    Device *device = deviceOf(block);
    if (!device || !path || !mode || mode[0] != 'r' || std::strpbrk(mode, "wa+"))
        return -1;
    const size_t length = strnlen(path, QZ_KRFS_PATH_MAX);
    if (length >= QZ_KRFS_PATH_MAX || length < 4 || path[0] != '/')
        return -1;
    const std::string_view whole(path + 1, length - 1);
    const size_t slash = whole.find('/');
    if (slash == std::string_view::npos)
        return -1;
    const int folder = device->volume.folderIndex(whole.substr(0, slash));
    const std::string_view name = whole.substr(slash + 1);
    if (folder < 0 || key < 1)
        return -1;
    const auto record = device->volume.record(key - 1);
    if (!record || record->folder != folder || record->name != name)
        return -1;
    try {
        auto &files = device->files;
        auto free = std::find_if(files.begin(), files.end(), [](const OpenFile &f) { return !f.used; });
        if (free == files.end()) {
            if (files.size() >= kMaxOpenFiles)
                return -1;
            free = files.insert(files.end(), OpenFile{});
        }
        *free = OpenFile{true, *record, 0};
        return int(free - files.begin()) + 1;
    } catch (...) {
        return -1;
    }
}

int QZ_KrFS_File_Read(void *block, void *buffer, int size, int handle)
{
    Device *device = deviceOf(block);
    if (!device || !buffer || size < 0 || handle < 1 || size_t(handle) > device->files.size())
        return -1;
    OpenFile &file = device->files[size_t(handle) - 1];
    if (!file.used)
        return -1;
    const uint32_t want = uint32_t(std::min<uint64_t>(uint64_t(size), file.record.size - file.position));
    if (want == 0)
        return 0;
    const long got = device->volume.disk.readSome(
        device->volume.blockOffset(file.record.firstBlock) + file.position, buffer, want);
    if (got < 0)
        return -1;
    file.position += uint32_t(got);
    return int(got);
}

int QZ_KrFS_File_Close(void *block, int handle)
{
    Device *device = deviceOf(block);
    if (!device || handle < 1 || size_t(handle) > device->files.size() || !device->files[size_t(handle) - 1].used)
        return -1;
    device->files[size_t(handle) - 1] = OpenFile{};
    return 0;
}

} // extern "C"
