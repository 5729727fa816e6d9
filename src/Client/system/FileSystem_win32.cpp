#include "Client/system/FileSystem.h"

#include <algorithm>
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

bool ReadFileHead(const std::wstring& path, std::size_t maxBytes, std::string& out)
{
    // Others may go on writing or deleting the file while we read its head.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = GetFileType(file) == FILE_TYPE_DISK;
    std::string bytes;
    while (ok && bytes.size() < maxBytes) {
        char buffer[16384];
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, maxBytes - bytes.size()));
        DWORD got = 0;
        if (!ReadFile(file, buffer, want, &got, nullptr)) {
            ok = false;
        } else if (got == 0) {
            break;
        } else {
            bytes.append(buffer, got);
        }
    }
    CloseHandle(file);
    if (ok) {
        out = std::move(bytes);
    }
    return ok;
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
