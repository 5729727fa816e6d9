#include "Client/system/Clock.h"

#include "sdk/WinInclude.h"

namespace qrnv {

SystemTime CurrentUtcTime()
{
    SYSTEMTIME st;
    GetSystemTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

} // namespace qrnv
