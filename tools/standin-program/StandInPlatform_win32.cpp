#include "StandIn.h"

#include <vector>

#include "sdk/WinInclude.h"
#include "sdk/text/TextConvert.h"

namespace qrnv::standin {
namespace {

struct FileHandle {
    explicit FileHandle(HANDLE h) : handle(h) {}
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE handle;
};

// Longest environment value read; more than any path or number a test sets.
constexpr DWORD kMaxEnvironmentValue = 32767;

} // namespace

// The raw command line comes from GetCommandLineW; the C runtime's arguments are not used.
void TakeProcessArguments(int, char**) {}

std::optional<std::wstring> ReadEnvironment(const wchar_t* name)
{
    std::vector<wchar_t> buffer(kMaxEnvironmentValue + 1);
    SetLastError(0);
    const DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return std::nullopt;
    }
    if (n >= buffer.size()) {
        return std::nullopt;
    }
    return std::wstring(buffer.data(), n);
}

bool AppendLine(const std::wstring& path, const std::wstring& line)
{
    FileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::string bytes = WideToUtf8(line) + "\n";
    DWORD written = 0;
    return WriteFile(file.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size();
}

} // namespace qrnv::standin
