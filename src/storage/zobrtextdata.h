// The sensor store: G-sensor samples and GPS records of the recording being played.
#pragma once

#include "zobrgpsdata.h"

#include <QByteArrayView>

#include <functional>
#include <mutex>
#include <vector>

namespace storage {

// Records from 60 s on add nothing but packed "S" samples (ms).
constexpr int kSensorTimeLimitMs = 60000;

// Filled by the sensor worker thread while the user-interface thread reads it: every access
// takes the store's lock. Readers take a snapshot or visit the list under the lock; the visit
// callback must not call back into the store.
class CZOBRTextData {
public:
    CZOBRTextData() = default;
    ~CZOBRTextData();
    CZOBRTextData(const CZOBRTextData &) = delete;
    CZOBRTextData &operator=(const CZOBRTextData &) = delete;

    // Decodes one sensor record (at most 1024 bytes are looked at) stamped with timeMs and
    // appends what it yields. 0 when the record was recognised, -1 when not.
    int decodeSensorRecord(QByteArrayView record, int timeMs);
    void clearSensorLists();

    std::vector<GSensorSample> gSamples() const;
    std::vector<CZOBRGPSData> gpsRecords() const;
    std::size_t gSampleCount() const;
    std::size_t gpsRecordCount() const;
    void visitGSamples(const std::function<void(const std::vector<GSensorSample> &)> &visit) const;
    void visitGpsRecords(const std::function<void(const std::vector<CZOBRGPSData> &)> &visit) const;

private:
    void decodeGpsRecord(QByteArrayView record, qsizetype from, int timeMs);

    mutable std::mutex m_lock;
    std::vector<GSensorSample> m_gSamples;   // guarded by m_lock; arrival order
    std::vector<CZOBRGPSData> m_gpsRecords;  // guarded by m_lock; arrival order
};

} // namespace storage
