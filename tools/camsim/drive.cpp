#include "drive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace camsim {

namespace {

constexpr double kMetresPerDegree = 111320;

// ddmm.mmmm from degrees.
double toNmea(double degrees)
{
    const double a = std::fabs(degrees);
    const double d = std::floor(a);
    return d * 100 + (a - d) * 60;
}

} // namespace

Drive::Drive(std::uint64_t seed) : m_rng(seed * 0x9E3779B97F4A7C15ull + 1)
{
    DriveFix start;
    start.latitude = 37.40 + 0.2 * uniform();
    start.longitude = 126.90 + 0.3 * uniform();
    start.course = 360 * uniform();
    start.speedKmh = 0;
    start.az = 64;
    m_fixes.push_back(start);
}

double Drive::uniform()
{
    return double(m_rng() >> 11) * (1.0 / 9007199254740992.0);
}

const DriveFix &Drive::at(int second)
{
    while (int(m_fixes.size()) <= std::max(second, 0))
        step();
    return m_fixes[std::size_t(std::max(second, 0))];
}

void Drive::step()
{
    DriveFix f = m_fixes.back();
    // Now and then a new speed to reach (stops included) and a turn.
    if (uniform() < 0.06)
        m_targetSpeed = uniform() < 0.15 ? 0 : 20 + 70 * uniform();
    if (m_turnLeft == 0 && uniform() < 0.04)
        m_turnLeft = uniform() < 0.5 ? -90 : 90;
    const double oldSpeed = f.speedKmh;
    f.speedKmh = std::clamp(m_targetSpeed, oldSpeed - 8, oldSpeed + 6);
    double turn = 2 * (uniform() - 0.5);
    if (m_turnLeft != 0 && f.speedKmh > 3) {
        turn = std::clamp(m_turnLeft, -18.0, 18.0);
        m_turnLeft -= turn;
    }
    f.course = std::fmod(f.course + turn + 360, 360);
    const double metres = (oldSpeed + f.speedKmh) / 2 / 3.6;
    const double rad = f.course * std::numbers::pi / 180;
    f.latitude += metres * std::cos(rad) / kMetresPerDegree;
    f.longitude += metres * std::sin(rad) / (kMetresPerDegree * std::cos(f.latitude * std::numbers::pi / 180));
    // Longitudinal and lateral acceleration in 1/64 g, plus road noise.
    f.ay = int(std::lround((f.speedKmh - oldSpeed) / 3.6 / 9.81 * 64)) + int(uniform() * 5) - 2;
    f.ax = int(std::lround(turn * f.speedKmh / 3.6 * std::numbers::pi / 180 / 9.81 * 64)) + int(uniform() * 5) - 2;
    f.az = 64 + int(uniform() * 7) - 3;
    m_fixes.push_back(f);
}

std::string rmcSentence(const DriveFix &fix, const QDateTime &utc)
{
    const QDate d = utc.date();
    const QTime t = utc.time();
    char body[160];
    std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,A,%09.4f,%c,%010.4f,%c,%.1f,%.1f,%02d%02d%02d,,,A", t.hour(),
                  t.minute(), t.second(), toNmea(fix.latitude), fix.latitude >= 0 ? 'N' : 'S', toNmea(fix.longitude),
                  fix.longitude >= 0 ? 'E' : 'W', fix.speedKmh / 1.852, fix.course, d.day(), d.month(), d.year() % 100);
    unsigned checksum = 0;
    for (const char *c = body; *c; ++c)
        checksum ^= std::uint8_t(*c);
    char sentence[200];
    std::snprintf(sentence, sizeof sentence, "$%s*%02X", body, checksum);
    return sentence;
}

Bytes gpsSensorRecord(const DriveFix &fix, const QDateTime &utc)
{
    const std::string text = "G" + rmcSentence(fix, utc) + "\r\n";
    Bytes r(text.begin(), text.end());
    r.push_back(0);
    for (char c : std::string_view("ZIRPM"))
        r.push_back(std::uint8_t(c));
    r.push_back(axisByte(fix.ax));
    r.push_back(axisByte(fix.ay));
    r.push_back(axisByte(fix.az));
    r.insert(r.end(), 8, 0);
    return r;
}

Bytes packedSensorRecord(int bits, int x, int y, int z)
{
    Bytes r{'S', std::uint8_t(bits)};
    for (int v : {x, y, z}) {
        const std::uint16_t w = bits == 10 ? axisWord10(v) : axisByte(v);
        r.push_back(std::uint8_t(w & 0xFF));
        r.push_back(std::uint8_t(w >> 8));
    }
    return r;
}

std::uint8_t axisByte(int v)
{
    return std::uint8_t(std::int8_t(std::clamp(v, -128, 127)));
}

std::uint16_t axisWord10(int v)
{
    return std::uint16_t(~(std::clamp(v, -511, 512) + 511) & 0x3FF);
}

} // namespace camsim
