#include "filetime.h"

#include <ctime>

SystemTime shownTime(int64_t fileTime)
{
    const int64_t sinceEpoch = fileTime - kFileTimeUnixEpoch;
    int64_t seconds = sinceEpoch / 10000000;
    int64_t rest = sinceEpoch % 10000000;
    if (rest < 0) { // floor towards the past for times before 1970
        --seconds;
        rest += 10000000;
    }
    time_t t = time_t(seconds);
    struct tm local {};
    if (localtime_r(&t, &local) && local.tm_isdst > 0)
        t += time_t(local.tm_gmtoff + timezone); // timezone: seconds west of UTC in standard time
    struct tm utc {};
    gmtime_r(&t, &utc);
    SystemTime s;
    s.year = utc.tm_year + 1900;
    s.month = utc.tm_mon + 1;
    s.dayOfWeek = utc.tm_wday;
    s.day = utc.tm_mday;
    s.hour = utc.tm_hour;
    s.minute = utc.tm_min;
    s.second = utc.tm_sec;
    s.milliseconds = int(rest / 10000);
    return s;
}
