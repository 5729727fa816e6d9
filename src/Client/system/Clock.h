#pragma once
// The current time of day in UTC, to the millisecond.

namespace qrnv {

struct SystemTime {
    int mYear = 0, mMonth = 0, mDay = 0, mHour = 0, mMinute = 0, mSecond = 0, mMilliseconds = 0;
};

SystemTime CurrentUtcTime();

} // namespace qrnv
