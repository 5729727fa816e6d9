#include "Client/system/Clock.h"

#include <ctime>

namespace qrnv {

SystemTime CurrentUtcTime()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    gmtime_r(&ts.tv_sec, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
            static_cast<int>(ts.tv_nsec / 1000000)};
}

} // namespace qrnv
