// A simulated drive (position, speed, course, G-sensor) and the sensor records the camera
// stores for it once a second.
#pragma once

#include "h264rewrite.h"

#include <QDateTime>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace camsim {

struct DriveFix {
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    double speedKmh = 0;
    double course = 0;    // degrees from north
    int ax = 0, ay = 0, az = 0; // G-sensor, signed, 64 = 1 g
};

// A drive starting at a seed-dependent place; the state one second after another.
class Drive {
public:
    explicit Drive(std::uint64_t seed);
    // Fix at whole second s from the drive's start (computed in order and kept).
    const DriveFix &at(int second);

private:
    void step();
    double uniform(); // [0, 1)

    std::mt19937_64 m_rng;
    std::vector<DriveFix> m_fixes;
    double m_targetSpeed = 40;
    double m_turnLeft = 0; // degrees of the current turn still to go
};

// "$GPRMC,..." with checksum for the fix at utc.
std::string rmcSentence(const DriveFix &fix, const QDateTime &utc);

// The camera's GPS record: "G", the RMC sentence, CR LF, a zero byte, the marker "ZIRPM",
// the three axis bytes and eight reserved bytes.
Bytes gpsSensorRecord(const DriveFix &fix, const QDateTime &utc);
// A packed G-sensor record: "S", bits (8 or 10), three 16-bit little-endian raw values.
Bytes packedSensorRecord(int bits, int x, int y, int z);

// Raw value that decodes to v: 8 bits as a two's-complement byte of magnitude |v| <= 128,
// 10 bits stored inverted around 511.
std::uint8_t axisByte(int v);
std::uint16_t axisWord10(int v);

} // namespace camsim
