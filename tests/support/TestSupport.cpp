#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "sdk/text/TextConvert.h"

namespace qrnv::test {
namespace detail {
// The temporary folder as the system gives it now, with a final separator (per platform).
std::wstring SystemTempBase();
} // namespace detail
namespace {

std::filesystem::path ToPath(const std::wstring& text)
{
#ifdef _WIN32
    return std::filesystem::path(text);
#else
    return std::filesystem::path(WideToUtf8(text));
#endif
}

std::wstring FromPath(const std::filesystem::path& path)
{
#ifdef _WIN32
    return path.wstring();
#else
    return Utf8ToWide(path.string());
#endif
}

const std::wstring& StartTempFolder()
{
    static const std::wstring base = detail::SystemTempBase();
    return base;
}

} // namespace

std::string Narrow(const std::wstring& text)
{
    return WideToUtf8(text);
}

std::wstring Widen(const std::string& text)
{
    return Utf8ToWide(text);
}

std::wstring MakeFreshFolder(const std::wstring& hint)
{
    static std::atomic<int> counter{0};
    std::wstring base = StartTempFolder();
    for (;;) {
        const std::wstring folder = base + L"qrnv-test-" + std::to_wstring(SystemProcessId()) + L"-" +
                                    std::to_wstring(counter++) + L"-" + hint;
        std::error_code ec;
        if (std::filesystem::create_directories(ToPath(folder), ec)) {
            return folder + Separator();
        }
        if (!std::filesystem::exists(ToPath(folder), ec)) {
            return {};
        }
    }
}

bool MakeFolder(const std::wstring& path)
{
    std::error_code ec;
    std::filesystem::create_directories(ToPath(path), ec);
    return std::filesystem::is_directory(ToPath(path), ec);
}

void RemoveTree(const std::wstring& path)
{
    std::error_code ec;
    std::filesystem::remove_all(ToPath(path), ec);
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(ToPath(path), std::ios::binary);
    if (!in) {
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(ToPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

bool PathExists(const std::wstring& path)
{
    std::error_code ec;
    return std::filesystem::exists(ToPath(path), ec);
}

bool IsFolder(const std::wstring& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(ToPath(path), ec);
}

std::vector<std::wstring> ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ToPath(folder), ec)) {
        names.push_back(FromPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ChangeDirectory(const std::wstring& folder)
{
    std::error_code ec;
    const std::wstring previous = FromPath(std::filesystem::current_path(ec));
    std::filesystem::current_path(ToPath(folder), ec);
    return previous;
}

std::wstring OwnExecutableFolder()
{
    const std::wstring path = OwnExecutablePath();
    const std::size_t pos = path.rfind(Separator());
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

int RunProcess(const std::wstring& commandLine, std::uint32_t timeoutMs)
{
    ChildProcess child;
    if (!child.Start(commandLine)) {
        return -1;
    }
    return child.Wait(timeoutMs);
}

} // namespace qrnv::test
