#include "recordingname.h"

#include <array>

namespace storage {

namespace {

// First pattern found decides; the result is its position plus 1, or the value beside it.
template<std::size_t N>
int firstFound(std::string_view name, const std::array<std::pair<std::string_view, int>, N> &table)
{
    for (const auto &[pattern, value] : table)
        if (name.find(pattern) != std::string_view::npos)
            return value;
    return 0;
}

constexpr std::array<std::pair<std::string_view, int>, 4> kTypes{{{"_N_", 1}, {"_E_", 2}, {"_P_", 3}, {"_U_", 4}}};
constexpr std::array<std::pair<std::string_view, int>, 2> kSides{{{"_F", 1}, {"_R", 2}}};
constexpr std::array<std::pair<std::string_view, int>, 3> kChannels{{{"3CH", 3}, {"2CH", 2}, {"1CH", 1}}};

} // namespace

int recordingType(std::string_view name)
{
    return firstFound(name, kTypes);
}

int recordingSide(std::string_view name)
{
    return firstFound(name, kSides);
}

int recordingChannels(std::string_view name)
{
    return firstFound(name, kChannels);
}

int repairSizeClass(int type, std::int64_t sizeKiB)
{
    const std::int64_t mib = sizeKiB / 1024;
    // The bands of normal recordings are twice those of the other types (MiB).
    const std::int64_t unit = type == 1 ? 2 : 1;
    if (mib >= 30 * unit)
        return 3;
    if (mib >= 25 * unit)
        return 0;
    if (mib >= 15 * unit)
        return 1;
    return 2;
}

} // namespace storage
