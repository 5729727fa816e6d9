#include "Client/system/TempFolder.h"

#include "Client/system/Platform.h"
#include "sdk/WinInclude.h"

namespace qrnv {

std::wstring GetSystemTempPath()
{
    wchar_t buffer[kMaxPath] = {};
    const DWORD n = GetTempPathW(kMaxPath, buffer);
    if (n == 0 || n >= kMaxPath) {
        return {};
    }
    return std::wstring(buffer, n);
}

bool IsPrivateFolder(const std::wstring&)
{
    return true;
}

} // namespace qrnv
