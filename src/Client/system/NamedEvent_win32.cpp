#include "Client/system/NamedEvent.h"

#include "Client/Log.h"
#include "sdk/WinInclude.h"

namespace qrnv {

bool CreateNamedEvent(const std::wstring& name)
{
    SetLastError(0);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Our handle to the other's event is not the marker; the other's stays.
        if (event) {
            CloseHandle(event);
        }
        LogError(L"SetEvent \"%s\" failed because event already exist!", name);
        return false;
    }
    if (!event) {
        return false;
    }
    // The open handle is the marker: it is kept until the process ends.
    LogInfo(L"SetEvent \"%s\" succeeded!", name);
    return true;
}

bool NamedEventExists(const std::wstring& name)
{
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (!event) {
        return false;
    }
    CloseHandle(event);
    return true;
}

} // namespace qrnv
