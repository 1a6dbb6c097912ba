// Fuzzes the sensor record decoder and the RMC parser.
#include "zobrtextdata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static storage::CZOBRTextData store;
    const QByteArrayView record(reinterpret_cast<const char *>(data), qsizetype(size));
    const int time = size > 0 ? (data[0] % 70) * 1000 : 0;
    store.decodeSensorRecord(record, time);
    storage::CZOBRGPSData gps;
    storage::parseRmc(record, time, gps);
    if (store.gSampleCount() > 100000)
        store.clearSensorLists();
    return 0;
}
