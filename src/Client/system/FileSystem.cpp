#include "Client/system/FileSystem.h"

#include <ctime>

#include "Client/Log.h"
#include "Client/system/LastError.h"
#include "Client/system/Platform.h"

namespace qrnv {
namespace {

// Keeps the last error for the caller, who may quote it once more.
void LogCannotCreate(const std::wstring& path)
{
    const std::uint32_t error = GetLastErrorCode();
    LogError(L"can not create directory %s because: \"%s\"", path, GetLastErrorText());
    SetLastErrorCode(error);
}

// The folder part of a path as the platform's path split gives it: everything after the
// drive and up to the last separator.
std::wstring DirectoryPart(const std::wstring& path)
{
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == L':') {
        start = 2;
    }
    const std::size_t last = path.find_last_of(kPathSeparator == L'\\' ? L"\\/" : L"/");
    if (last == std::wstring::npos || last < start) {
        return {};
    }
    return path.substr(start, last - start + 1);
}

} // namespace

bool CreateDirectoryPath(const std::wstring& path, bool allLevels)
{
    if (allLevels) {
        std::size_t pos = kPathRootLength;
        while (pos < path.size()) {
            const std::size_t sep = path.find(kPathSeparator, pos);
            if (sep == std::wstring::npos) {
                break;
            }
            const std::wstring level = path.substr(0, sep + 1);
            if (!MakeDirectory(level) && GetLastErrorCode() != kErrorAlreadyExists) {
                LogCannotCreate(level);
            }
            pos = sep + 1;
        }
        if (MakeDirectory(path) || GetLastErrorCode() == kErrorAlreadyExists) {
            return true;
        }
        LogCannotCreate(path);
        return false;
    }

    if (MakeDirectory(path)) {
        return true;
    }
    const std::uint32_t error = GetLastErrorCode();
    if (DirectoryPart(path) == std::wstring(1, kPathSeparator) || error == kErrorAlreadyExists) {
        return true;
    }
    SetLastErrorCode(error);
    LogCannotCreate(path);
    return false;
}

std::int64_t CurrentUnixTime()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

} // namespace qrnv

namespace qrnv {

bool ReadFileHead(const std::wstring& path, std::size_t maxBytes, std::string& out)
{
    std::string bytes;
    std::uint64_t size = 0;
    if (!ReadFilePrefix(path, maxBytes, bytes, size)) {
        return false;
    }
    out = std::move(bytes);
    return true;
}

} // namespace qrnv
