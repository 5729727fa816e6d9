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

bool ReadFilePrefix(const std::wstring& path, std::size_t maxBytes, std::string& bytes, std::uint64_t& fileSize)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) != FALSE;
    if (ok) {
        fileSize = static_cast<std::uint64_t>(size.QuadPart);
        const std::size_t wanted = fileSize < maxBytes ? static_cast<std::size_t>(fileSize) : maxBytes;
        bytes.assign(wanted, '\0');
        std::size_t got = 0;
        while (got < wanted) {
            DWORD n = 0;
            const DWORD chunk = static_cast<DWORD>(wanted - got > 0x100000 ? 0x100000 : wanted - got);
            if (!ReadFile(file, bytes.data() + got, chunk, &n, nullptr) || n == 0) {
                break;
            }
            got += n;
        }
        bytes.resize(got);
    }
    CloseHandle(file);
    return ok;
}

bool DeleteFileAt(const std::wstring& path)
{
    return DeleteFileW(path.c_str()) != FALSE;
}

std::vector<std::wstring> ListFileNames(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(found.cFileName);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
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
