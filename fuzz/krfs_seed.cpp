// Writes a compact seed image for the fuzzer: MBR, KRFS partition at sector 1 with 4 KiB
// blocks, a few files in two folders, behind the harness's control byte (1: fix the
// checksums after mutation). Usage: krfs_seed OUT
#include "krfsformat.h"

#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: krfs_seed OUT\n");
        return 2;
    }
    using namespace krfs;
    constexpr uint32_t blockSize = 4096, blocks = 6;
    std::vector<uint8_t> file(1 + kSectorSize + size_t(blocks) * blockSize, 0);
    file[0] = 1;
    std::span<uint8_t> image(file.data() + 1, file.size() - 1);
    writeMbr(image, {{kKrfsPartitionType, 1, blocks * blockSize / kSectorSize}});

    Superblock sb;
    sb.blockSize = blockSize;
    sb.blockCount = blocks;
    sb.dirStartBlock = 1;
    sb.dirSlots = 8;
    sb.dataStartBlock = 2;
    sb.nextFreeBlock = 5;
    sb.folders = {"NOR", "EVT", "MOT", "USR"};
    uint8_t *partition = image.data() + kSectorSize;
    writeSuperblock({partition, kSuperblockSize}, sb);
    const Record records[] = {
        {"20231015_142530_3CH_N_F.avi", StateClosed, 0, 5000, 1697379930, 2, 2},
        {"20231015_142630_3CH_N_F.avi", StateClosed, 0, 100, 1697379990, 4, 1},
        {"20231015_142700_3CH_E_F.avi", StateOpen, 1, 0, 1697380020, 5, 0},
    };
    for (size_t i = 0; i < std::size(records); ++i)
        writeRecord({partition + blockSize + i * kRecordSize, kRecordSize}, records[i]);
    for (uint32_t b = 2; b < 5; ++b)
        for (uint32_t i = 0; i < blockSize; ++i)
            partition[b * blockSize + i] = uint8_t(b + i);

    FILE *out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0)
        return 1;
    return 0;
}
