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

std::filesystem::path ToFsPath(const std::wstring& text)
{
#ifdef _WIN32
    return std::filesystem::path(text);
#else
    return std::filesystem::path(WideToUtf8(text));
#endif
}

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
        if (std::filesystem::create_directories(ToFsPath(folder), ec)) {
            return folder + Separator();
        }
        if (!std::filesystem::exists(ToFsPath(folder), ec)) {
            return {};
        }
    }
}

bool MakeFolder(const std::wstring& path)
{
    std::error_code ec;
    std::filesystem::create_directories(ToFsPath(path), ec);
    return std::filesystem::is_directory(ToFsPath(path), ec);
}

void RemoveTree(const std::wstring& path)
{
    std::error_code ec;
    std::filesystem::remove_all(ToFsPath(path), ec);
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(ToFsPath(path), std::ios::binary);
    if (!in) {
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(ToFsPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

bool PathExists(const std::wstring& path)
{
    std::error_code ec;
    return std::filesystem::exists(ToFsPath(path), ec);
}

bool IsFolder(const std::wstring& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(ToFsPath(path), ec);
}

std::vector<std::wstring> ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(folder), ec)) {
        names.push_back(FromPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ChangeDirectory(const std::wstring& folder)
{
    std::error_code ec;
    const std::wstring previous = FromPath(std::filesystem::current_path(ec));
    std::filesystem::current_path(ToFsPath(folder), ec);
    return previous;
}

std::wstring OwnExecutableFolder()
{
    const std::wstring path = OwnExecutablePath();
    const std::size_t pos = path.rfind(Separator());
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

std::string ReadFileBytes(const std::string& path)
{
    return ReadFileBytes(Widen(path));
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".new";
    if (!WriteFileBytes(Widen(temporary), bytes)) {
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(ToFsPath(Widen(temporary)), ToFsPath(Widen(path)), ec);
    return !ec;
}

bool CopyFileTo(const std::string& from, const std::string& to)
{
    std::error_code ec;
    std::filesystem::copy_file(ToFsPath(Widen(from)), ToFsPath(Widen(to)),
                               std::filesystem::copy_options::overwrite_existing, ec);
    return !ec;
}

void SetEnv(const std::wstring& name, const std::wstring& value)
{
    PutEnv(name, value.empty() ? nullptr : &value);
}

std::wstring GetEnv(const std::wstring& name)
{
    std::wstring value;
    FindEnv(name, value);
    return value;
}

std::wstring SetTempFolder(const std::wstring& folder)
{
    const std::vector<std::wstring> names = TempVariables();
    const std::wstring previous = GetEnv(names.front());
    for (const std::wstring& name : names) {
        SetEnv(name, folder);
    }
    return previous;
}

ScopedFolder::ScopedFolder(const std::wstring& hint) : mPath(MakeFreshFolder(hint)) {}

ScopedFolder::~ScopedFolder()
{
    if (!mPath.empty()) {
        RemoveTree(mPath);
    }
}

std::string ScopedFolder::Utf8() const
{
    return mPath.empty() ? std::string() : Narrow(mPath.substr(0, mPath.size() - 1));
}

std::string ScopedFolder::operator/(const std::string& name) const
{
    return Narrow(mPath) + name;
}

ScopedVariable::ScopedVariable(const std::wstring& name, const std::wstring* value) : mName(name)
{
    mHad = FindEnv(mName, mOld);
    PutEnv(mName, value);
}

ScopedVariable::~ScopedVariable()
{
    PutEnv(mName, mHad ? &mOld : nullptr);
}

ScopedTempPath::ScopedTempPath() : mFolder(L"temp")
{
    for (const std::wstring& name : TempVariables()) {
        mVariables.push_back(std::make_unique<ScopedVariable>(name, mFolder.Path()));
    }
}

} // namespace qrnv::test
