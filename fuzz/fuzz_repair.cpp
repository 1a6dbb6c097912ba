// Fuzzes the scan and the repair of a recording, then reads the sensor track back through the
// index it wrote. Files live in a private folder under /dev/shm (tmpfs: flushing is cheap).
#include "containerrepair.h"
#include "sensortrack.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string &workFile()
{
    static const std::string path = [] {
        char dir[] = "/dev/shm/merido-fuzz-XXXXXX";
        if (!mkdtemp(dir))
            std::abort();
        return std::string(dir) + "/20231015_142530_1CH_N_F.mp4";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The in-memory scan sees the input as it is.
    const storage::ScanResult scan = storage::scanMediaData(storage::MemorySource({data, size}));
    if (scan.end < storage::kFirstRecordOffset)
        std::abort();

    const std::string &path = workFile();
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const int side = size > 0 && (data[0] & 1) ? storage::kSideRear : storage::kSideFront;
    const auto outcome = storage::repairRecordingOutcome(path, side, size > 1 ? data[1] % 4 : 0);
    if (outcome == storage::RepairOutcome::Repaired) {
        // A repaired file is intact from then on, and its index reads back.
        if (storage::repairRecordingOutcome(path, side, 0) != storage::RepairOutcome::Intact)
            std::abort();
        std::string error;
        if (!storage::readSensorRecords(path, error))
            std::abort();
    } else {
        std::string error;
        storage::readSensorRecords(path, error);
    }
    return 0;
}
