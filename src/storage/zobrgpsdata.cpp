#include "zobrgpsdata.h"

#include <QByteArray>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace storage {

namespace {

// atoi of at most the first two characters of a field.
int twoDigits(const std::string &field, std::size_t at)
{
    if (at >= field.size())
        return 0;
    return std::atoi(field.substr(at, 2).c_str());
}

} // namespace

bool parseRmc(QByteArrayView text, int timeMs, CZOBRGPSData &gps)
{
    gps.timeMs = timeMs;
    // The text ends at its first zero byte; a record without one is read to its end, cut to
    // leave room for the terminator the parser works with.
    qsizetype length = text.indexOf('\0');
    if (length < 0)
        length = text.size();
    length = std::min<qsizetype>(length, kSensorRecordMax - 1);
    const std::string sentence(text.data(), std::size_t(length));

    // Fields split at commas; empty fields count, leading commas do not.
    std::vector<std::string> fields;
    std::size_t start = sentence.find_first_not_of(',');
    if (start != std::string::npos) {
        for (;;) {
            const std::size_t comma = sentence.find(',', start);
            fields.push_back(sentence.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }

    // fields[0] is the sentence identifier.
    auto has = [&](std::size_t i) { return i < fields.size(); };
    auto number = [&](std::size_t i) { return std::atof(fields[i].c_str()); };
    if (!has(1))
        return false;
    gps.hour = twoDigits(fields[1], 0) + 9;
    gps.minute = twoDigits(fields[1], 2);
    gps.second = twoDigits(fields[1], 4);
    if (!has(2))
        return false;
    gps.valid = fields[2].starts_with('A') ? 1 : 0;
    if (!has(3))
        return false;
    gps.latitude = number(3);
    if (!has(4))
        return false;
    if (!fields[4].starts_with('N'))
        gps.latitude = -gps.latitude;
    if (!has(5))
        return false;
    gps.longitude = number(5);
    if (!has(6))
        return false;
    if (!fields[6].starts_with('E'))
        gps.longitude = -gps.longitude;
    if (!has(7))
        return false;
    gps.speedKmh = double(float(number(7) * 1.852));
    if (!has(8))
        return false;
    gps.course = double(float(number(8)));
    if (!has(9))
        return false;
    gps.day = twoDigits(fields[9], 0);
    gps.month = twoDigits(fields[9], 2);
    gps.year = twoDigits(fields[9], 4);
    return true;
}

double nmeaToDegrees(double v)
{
    const double whole = std::trunc(v / 100);
    return whole + (v / 100 - whole) * 100 / 60;
}

} // namespace storage
