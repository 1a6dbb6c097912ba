#include "zobrtextdata.h"

#include <array>
#include <cstring>

namespace storage {

namespace {

constexpr std::string_view kMarker = "ZIRPM";
constexpr std::string_view kMarkerTail = "RPM"; // what the decoder looks for
constexpr qsizetype kMarkerSearchEnd = 256;      // positions below this are searched

// Byte i of the record, 0 past its end.
std::uint8_t byteAt(QByteArrayView r, qsizetype i)
{
    return i >= 0 && i < r.size() ? std::uint8_t(r[i]) : 0;
}

std::uint16_t le16At(QByteArrayView r, qsizetype i)
{
    return std::uint16_t(byteAt(r, i) | (byteAt(r, i + 1) << 8));
}

GSensorSample axisBytesSample(QByteArrayView r, qsizetype at, int timeMs)
{
    return {decodeAxis8(byteAt(r, at)), decodeAxis8(byteAt(r, at + 1)), decodeAxis8(byteAt(r, at + 2)), 0,
            timeMs};
}

} // namespace

CZOBRTextData::~CZOBRTextData()
{
    clearSensorLists();
}

int CZOBRTextData::decodeSensorRecord(QByteArrayView record, int timeMs)
{
    record = record.first(std::min<qsizetype>(record.size(), kSensorRecordMax));
    if (record.startsWith(QByteArrayView(kMarker.data(), kMarker.size()))) {
        const GSensorSample s = axisBytesSample(record, qsizetype(kMarker.size()), timeMs);
        const std::lock_guard lock(m_lock);
        m_gSamples.push_back(s);
        return 0;
    }
    const std::uint8_t first = byteAt(record, 0);
    if (first == 'S') {
        GSensorSample s;
        const std::uint8_t bits = byteAt(record, 1);
        if (bits == 8 || bits == 10) {
            auto axis = [&](qsizetype at) {
                const std::uint16_t w = le16At(record, at);
                return bits == 8 ? decodeAxis8(std::uint8_t(w & 0xFF)) : decodeAxis10(w);
            };
            s = {axis(2), axis(4), axis(6), bits == 8 ? 1 : 2, timeMs};
        }
        const std::lock_guard lock(m_lock);
        m_gSamples.push_back(s);
        return 0;
    }
    if (first == 'G') {
        decodeGpsRecord(record, 0, timeMs);
        return 0;
    }
    if (byteAt(record, 12) == 'G') {
        decodeGpsRecord(record, 12, timeMs);
        return 0;
    }
    return -1;
}

void CZOBRTextData::decodeGpsRecord(QByteArrayView record, qsizetype from, int timeMs)
{
    if (timeMs >= kSensorTimeLimitMs)
        return;
    CZOBRGPSData gps;
    // A sentence with missing fields is kept with what it had.
    parseRmc(record.sliced(from), timeMs, gps);

    const QByteArrayView tail(kMarkerTail.data(), kMarkerTail.size());
    const qsizetype found = record.first(std::min(record.size(), kMarkerSearchEnd + 2)).indexOf(tail, from);
    const std::lock_guard lock(m_lock);
    m_gpsRecords.push_back(gps);
    if (found >= 0)
        m_gSamples.push_back(axisBytesSample(record, found + 3, timeMs));
}

void CZOBRTextData::clearSensorLists()
{
    const std::lock_guard lock(m_lock);
    m_gSamples.clear();
    m_gpsRecords.clear();
}

std::vector<GSensorSample> CZOBRTextData::gSamples() const
{
    const std::lock_guard lock(m_lock);
    return m_gSamples;
}

std::vector<CZOBRGPSData> CZOBRTextData::gpsRecords() const
{
    const std::lock_guard lock(m_lock);
    return m_gpsRecords;
}

std::size_t CZOBRTextData::gSampleCount() const
{
    const std::lock_guard lock(m_lock);
    return m_gSamples.size();
}

std::size_t CZOBRTextData::gpsRecordCount() const
{
    const std::lock_guard lock(m_lock);
    return m_gpsRecords.size();
}

void CZOBRTextData::visitGSamples(const std::function<void(const std::vector<GSensorSample> &)> &visit) const
{
    const std::lock_guard lock(m_lock);
    visit(m_gSamples);
}

void CZOBRTextData::visitGpsRecords(const std::function<void(const std::vector<CZOBRGPSData> &)> &visit) const
{
    const std::lock_guard lock(m_lock);
    visit(m_gpsRecords);
}

} // namespace storage
