// The records decoded from the camera's sensor records: G-sensor samples and GPS fixes.
#pragma once

#include <QByteArrayView>

#include <cstdint>

namespace storage {

// One G-sensor reading. Axis values are decoded (8-bit: 0..128, 10-bit: -511..512).
struct GSensorSample {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::int32_t kind = 0;   // 0 bytes after a marker, 1 packed 8-bit, 2 packed 10-bit
    std::int32_t timeMs = 0; // on the recording's timeline
    bool operator==(const GSensorSample &) const = default;
};

// One GPS fix from an NMEA RMC sentence. Latitude and longitude stay in the sentence's
// ddmm.mmmm / dddmm.mmmm form, negative for south and west.
class CZOBRGPSData {
public:
    virtual ~CZOBRGPSData() = default;

    int year = 0;  // two digits, 0..99
    int month = 0;
    int day = 0;
    int hour = 0;  // UTC hour + 9, without wrapping past 23
    int minute = 0;
    int second = 0;
    int valid = 0; // 1 when the status is "A"
    double latitude = 0;
    double longitude = 0;
    double speedKmh = 0;
    double course = 0; // degrees
    int timeMs = 0;
};

// Sensor records are at most this long (bytes); longer input is cut to it.
constexpr int kSensorRecordMax = 1024;

// Fills gps from an RMC sentence ("G$GPRMC,hhmmss,A,ddmm.mmmm,N,dddmm.mmmm,E,knots,course,
// ddmmyy,..."). Reads up to the first zero byte, at most 1023 bytes. False when fewer than
// nine fields follow the first; the fields read until then stay set.
bool parseRmc(QByteArrayView text, int timeMs, CZOBRGPSData &gps);

// Axis decodings: a byte as the magnitude of its two's-complement value, and a 10-bit
// value stored inverted.
constexpr int decodeAxis8(std::uint8_t b)
{
    return (b & 0x80) ? 128 - (b & 0x7F) : b;
}
constexpr int decodeAxis10(std::uint16_t w)
{
    return int(~w & 0x3FF) - 511;
}

// Degrees from the ddmm.mmmm form.
double nmeaToDegrees(double v);

} // namespace storage
