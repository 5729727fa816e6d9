#include "support/TestFolders.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Client/system/ModulePath.h"
#include "Client/system/Platform.h"
#include "Client/system/ProcessArguments.h"
#include "Client/system/TempFolder.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

#ifdef _WIN32
#include "sdk/WinInclude.h"
#endif

namespace qrnv::test {
namespace {

#ifdef _WIN32
const wchar_t* const kTempVariables[] = {L"TMP", L"TEMP"};
const wchar_t* const kProgramSuffix = L".exe";

bool GetVariable(const wchar_t* name, std::wstring& value)
{
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    if (n == 0 || n >= 32768) {
        return false;
    }
    value.assign(buffer, n);
    return true;
}
// Both the system's environment and the C runtime's copy, which getenv reads.
void SetVariable(const wchar_t* name, const std::wstring* value)
{
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
    _wputenv_s(name, value ? value->c_str() : L"");
}
#else
const wchar_t* const kTempVariables[] = {L"TMPDIR", nullptr};
const wchar_t* const kProgramSuffix = L"";

bool GetVariable(const wchar_t* name, std::wstring& value)
{
    const char* v = std::getenv(WideToUtf8(name).c_str());
    if (!v) {
        return false;
    }
    value = Utf8ToWide(v);
    return true;
}
void SetVariable(const wchar_t* name, const std::wstring* value)
{
    if (value) {
        setenv(WideToUtf8(name).c_str(), WideToUtf8(*value).c_str(), 1);
    } else {
        unsetenv(WideToUtf8(name).c_str());
    }
}
#endif

} // namespace

std::filesystem::path ToFsPath(const std::wstring& path)
{
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    return std::filesystem::path(WideToUtf8(path));
#endif
}

ScopedFolder::ScopedFolder()
{
    static std::atomic<unsigned> counter{0};
    const std::wstring base = GetSystemTempPath();
    mPath = FormatText(L"%sqrnv-test-%lu-%u", base, CurrentProcessId(), ++counter);
    std::error_code error;
    std::filesystem::remove_all(ToFsPath(mPath), error);
    std::filesystem::create_directories(ToFsPath(mPath), error);
    mPath += kPathSeparator;
}

ScopedFolder::~ScopedFolder()
{
    std::error_code error;
    std::filesystem::remove_all(ToFsPath(mPath), error);
}

ScopedTempPath::ScopedTempPath()
{
    mHadTmp = GetVariable(kTempVariables[0], mOldTmp);
    if (kTempVariables[1]) {
        mHadTemp = GetVariable(kTempVariables[1], mOldTemp);
    }
    for (const wchar_t* name : kTempVariables) {
        if (name) {
            SetVariable(name, &mFolder.Path());
        }
    }
}

ScopedTempPath::~ScopedTempPath()
{
    SetVariable(kTempVariables[0], mHadTmp ? &mOldTmp : nullptr);
    if (kTempVariables[1]) {
        SetVariable(kTempVariables[1], mHadTemp ? &mOldTemp : nullptr);
    }
}

ScopedVariable::ScopedVariable(const std::wstring& name, const std::wstring* value) : mName(name)
{
    mHad = GetVariable(mName.c_str(), mOld);
    SetVariable(mName.c_str(), value);
}

ScopedVariable::~ScopedVariable()
{
    SetVariable(mName.c_str(), mHad ? &mOld : nullptr);
}

std::wstring HelperProgramPath(const std::wstring& name)
{
    std::wstring folder;
    GetModuleDirectory(folder);
    return folder + name + kProgramSuffix;
}

} // namespace qrnv::test
