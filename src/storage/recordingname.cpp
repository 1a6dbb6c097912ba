#include "recordingname.h"

#include <array>
#include <climits>

namespace recname {

namespace {

constexpr std::array<const char *, 4> kTypeLetters{"N", "E", "P", "U"};
constexpr std::array<const char *, 4> kTypeTexts{"NOR", "EVT", "MOT", "USR"};
constexpr std::array<const char *, 4> kAllViewTypes{"_N_", "_E_", "_P_", "_U_"};

QString field(const QString &name, int index)
{
    return name.section(QLatin1Char('_'), index, index);
}

} // namespace

QStringList fields(const QString &name)
{
    return name.split(QLatin1Char('_'));
}

int typeLetter(const QString &name)
{
    for (size_t i = 0; i < kTypeLetters.size(); ++i) {
        if (name.contains(QLatin1String(kTypeLetters[i])))
            return int(i);
    }
    return TypeNone;
}

QString typeText(int type)
{
    return type >= 0 && type < int(kTypeTexts.size()) ? QString::fromLatin1(kTypeTexts[size_t(type)])
                                                       : QStringLiteral("NONE");
}

int allViewType(const QString &name)
{
    for (size_t i = 0; i < kAllViewTypes.size(); ++i) {
        if (name.contains(QLatin1String(kAllViewTypes[i])))
            return int(i) + 1;
    }
    return 0;
}

int side(const QString &name)
{
    if (name.contains(QLatin1String("_F")))
        return 1;
    return name.contains(QLatin1String("_R")) ? 2 : 0;
}

int channelCount(const QString &name)
{
    if (name.contains(QLatin1String("3CH")))
        return 3;
    if (name.contains(QLatin1String("2CH")))
        return 2;
    return name.contains(QLatin1String("1CH")) ? 1 : 0;
}

bool isRearFile(const QString &name)
{
    const QString f = field(name, 4);
    return f == QLatin1String("R1.mp4") || f == QLatin1String("R2.mp4");
}

bool hasFiveFields(const QString &name)
{
    const QStringList f = fields(name);
    if (f.size() < 5)
        return false;
    for (int i = 0; i < 5; ++i) {
        if (f[i].isEmpty())
            return false;
    }
    return true;
}

QString sortKey(const QString &name)
{
    if (!name.contains(QLatin1Char('_')))
        return name;
    return field(name, 0) + field(name, 1);
}

int fieldNumber(const QString &text)
{
    long long value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = std::min<long long>(value * 10 + (c.unicode() - '0'), INT_MAX);
    }
    return int(value);
}

QString dateText(const QString &name)
{
    const int v = fieldNumber(field(name, 0));
    return QString::asprintf("%04d-%02d-%02d", v / 10000, v % 10000 / 100, v % 100);
}

QString timeText(const QString &name)
{
    // A name without "_" has no field 1: its time reads as 0.
    const int v = name.contains(QLatin1Char('_')) ? fieldNumber(field(name, 1)) : 0;
    return QString::asprintf("%02d:%02d:%02d", v / 10000, v % 10000 / 100, v % 100);
}

int sizeClass(int type, qint64 sizeKiB)
{
    const qint64 mib = sizeKiB / 1024;
    if (type == 1) {
        if (mib >= 60)
            return 3;
        if (mib >= 50)
            return 0;
        return mib >= 30 ? 1 : 2;
    }
    if (mib >= 30)
        return 3;
    if (mib >= 25)
        return 0;
    return mib >= 15 ? 1 : 2;
}

} // namespace recname
