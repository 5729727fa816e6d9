#include "Client/system/ModulePath.h"

#include "Client/system/Platform.h"
#include "sdk/WinInclude.h"

namespace qrnv {

std::wstring GetModulePath()
{
    wchar_t buffer[kMaxPath] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buffer, kMaxPath);
    if (n == 0 || n >= kMaxPath) {
        return {};
    }
    return std::wstring(buffer, n);
}

} // namespace qrnv
