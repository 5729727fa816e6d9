#include "Client/system/FileSystem.h"

#include <fstream>

#include "sdk/WinInclude.h"
#include "sdk/text/Format.h"

namespace qrnv {

bool MakeDirectory(const std::wstring& path)
{
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool FileExists(const std::wstring& path)
{
    std::ifstream stream(path.c_str());
    return stream.good();
}

bool DeleteFileAt(const std::wstring& path)
{
    return DeleteFileW(path.c_str()) != FALSE;
}

bool GetFileDateText(const std::wstring& path, std::wstring& out)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    FILETIME created, accessed, written;
    const BOOL ok = GetFileTime(file, &created, &accessed, &written);
    CloseHandle(file);
    if (!ok) {
        return false;
    }
    SYSTEMTIME utc, local;
    if (!FileTimeToSystemTime(&accessed, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return false;
    }
    out = FormatText(L"%d%02d%02d", local.wYear, local.wMonth, local.wDay);
    return true;
}

} // namespace qrnv
