// File times as the catalogue keeps them: FILETIME-style 100-ns ticks since 1601-01-01
// UTC, and the rule by which the viewer shows them.
#pragma once

#include <cstdint>

// 100-ns ticks from 1601-01-01 to 1970-01-01.
constexpr int64_t kFileTimeUnixEpoch = 116444736000000000;

struct SystemTime {
    int year = 0, month = 0, dayOfWeek = 0, day = 0; // month 1..12, dayOfWeek 0 = Sunday
    int hour = 0, minute = 0, second = 0, milliseconds = 0;
};

constexpr int64_t fileTimeFromUnix(int64_t seconds, int64_t nanoseconds = 0)
{
    return (seconds * 10000000) + nanoseconds / 100 + kFileTimeUnixEpoch;
}

// The shown time: UTC, moved forward by the local zone's daylight saving amount (its
// daylight offset minus its standard offset) when that instant falls in daylight time.
// The zone's base offset is deliberately not applied. Uses the zone as of the last
// tzset() (the catalogue calls it once per loaded source; glibc's tzset checks the zone
// file on disk, too slow to repeat for every file).
SystemTime shownTime(int64_t fileTime);
