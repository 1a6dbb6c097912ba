// libFuzzer target: the input is a whole disk image, read through the C API exactly as
// the viewer reads a card (check, capacity, open, list every folder, read every file).
#include "krfs.h"
#include "krfsformat.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace {

// Random mutations almost never keep a CRC-32 right, which would stop the fuzzer at the
// checksums. When the first input byte is odd, the harness recomputes the superblock and
// record checksums of every KRFS partition the MBR names, so the checks behind them get
// exercised too. Everything here is bounds-checked against the input itself.
void fixChecksums(std::vector<uint8_t> &image)
{
    using namespace krfs;
    const uint64_t size = image.size();
    if (size < kSectorSize || image[510] != 0x55 || image[511] != 0xAA)
        return;
    for (int i = 0; i < 4; ++i) {
        const uint8_t *e = image.data() + 446 + 16 * i;
        if (e[4] != kKrfsPartitionType)
            continue;
        const uint64_t sb = uint64_t(le32(e + 8)) * kSectorSize;
        if (sb > size || size - sb < kSuperblockSize)
            continue;
        uint8_t *p = image.data() + sb;
        const uint64_t blockSize = le32(p + 8), dirStart = le32(p + 16), slots = le32(p + 20);
        for (uint64_t slot = 0; slot < slots && slot < 4096; ++slot) {
            const uint64_t at = sb + dirStart * blockSize + slot * kRecordSize;
            if (at < sb || at > size || size - at < kRecordSize)
                break;
            put32(image.data() + at + 124, crc32({image.data() + at, 124}));
        }
        put32(p + 508, crc32({p, 508}));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t inputSize)
{
    if (inputSize < 1)
        return 0;
    std::vector<uint8_t> image(input + 1, input + inputSize);
    if (input[0] & 1)
        fixChecksums(image);
    const uint8_t *data = image.data();
    const size_t size = image.size();

    // The library reads paths, so the input becomes an in-memory file with a path.
    const int fd = memfd_create("krfs-fuzz", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);

    unsigned char master[QZ_KRFS_MASTER_INFO_SIZE];
    QZ_KrFS_Get_Master_Device_Info(path, master);
    QZ_KrFS_Check_KrFS_partition(path);

    std::vector<unsigned char> device(QZ_KRFS_DEVICE_BLOCK_SIZE, 0);
    if (QZ_KrFS_Device_Open(path, QZ_KRFS_OPEN_MODE, device.data()) == 0) {
        static std::vector<unsigned char> buffer(QZ_KRFS_READ_BLOCK);
        for (const char *folder : {"NOR", "EVT", "MOT", "USR"}) {
            int position = 1;
            for (int batch = 0; batch < 100; ++batch) {
                unsigned char info[QZ_KRFS_DIR_INFO_SIZE];
                uint64_t used = 0, allocated = 0;
                QZ_KrFS_Get_Dir_Info(device.data(), folder, info, &used, &allocated);
                std::vector<unsigned char> list(QZ_KRFS_LIST_BUFFER_SIZE, 0);
                const int n = QZ_KrFS_Get_FileList(device.data(), folder, &position, list.data(), 0);
                if (n <= 0)
                    break;
                if (n > QZ_KRFS_LIST_CAPACITY)
                    __builtin_trap();
                for (int i = 0; i < n; ++i) {
                    const unsigned char *r = list.data() + 4 + i * QZ_KRFS_LIST_RECORD_SIZE;
                    char file[QZ_KRFS_PATH_MAX];
                    std::snprintf(file, sizeof file, "/%s/%.98s", folder, reinterpret_cast<const char *>(r));
                    const int handle = QZ_KrFS_File_Open(device.data(), file, "r", 0, 0, krfs::le32(r + 98));
                    if (handle < 1)
                        __builtin_trap(); // a listed file must open
                    uint64_t total = 0;
                    int got;
                    while ((got = QZ_KrFS_File_Read(device.data(), buffer.data(), QZ_KRFS_READ_BLOCK, handle)) > 0)
                        total += uint64_t(got);
                    QZ_KrFS_File_Close(device.data(), handle);
                    if (total > krfs::le32(r + 102)) // never more than the listed size
                        __builtin_trap();
                }
            }
        }
        QZ_KrFS_Device_Close(device.data());
    }
    close(fd);
    return 0;
}
