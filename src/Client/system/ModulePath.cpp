#include "Client/system/ModulePath.h"

#include "Client/Log.h"
#include "Client/system/LastError.h"
#include "Client/system/Platform.h"

namespace qrnv {

bool GetModuleDirectory(std::wstring& out)
{
    const std::wstring path = GetModulePath();
    if (path.empty()) {
        LogError(L"GetModulDirectory failed: %s", GetLastErrorText());
        return false;
    }
    const std::size_t pos = path.rfind(kPathSeparator);
    out = (pos == std::wstring::npos ? std::wstring() : path.substr(0, pos)) + kPathSeparator;
    return true;
}

bool GetModuleFileNameOnly(std::wstring& out)
{
    const std::wstring path = GetModulePath();
    if (path.empty()) {
        LogError(L"GetModuleFileName failed: %s", GetLastErrorText());
        return false;
    }
    const std::size_t pos = path.rfind(kPathSeparator);
    if (pos == std::wstring::npos) {
        LogError(L"GetModuleFileName failed!");
        return false;
    }
    out = path.substr(pos + 1);
    return true;
}

} // namespace qrnv
