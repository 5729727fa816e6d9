#include "Client/system/OsVersion.h"

#include "sdk/WinInclude.h"

namespace qrnv {
namespace {

using RtlGetVersionRoutine = LONG(WINAPI*)(OSVERSIONINFOEXW*);

class OwnedLibrary {
public:
    explicit OwnedLibrary(HMODULE m) : mModule(m) {}
    ~OwnedLibrary()
    {
        if (mModule) {
            FreeLibrary(mModule);
        }
    }
    OwnedLibrary(const OwnedLibrary&) = delete;
    OwnedLibrary& operator=(const OwnedLibrary&) = delete;
    HMODULE Get() const { return mModule; }

private:
    HMODULE mModule;
};

} // namespace

std::int32_t GetOsVersion(OsVersionInfo& record)
{
    record = OsVersionInfo{};
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    static_assert(sizeof(OSVERSIONINFOEXW) == 284, "the extended version record");

    const OwnedLibrary ntdll(LoadLibraryW(L"ntdll.dll"));
    if (!ntdll.Get()) {
        return static_cast<std::int32_t>(GetLastError());
    }
    const auto routine = reinterpret_cast<RtlGetVersionRoutine>(
        reinterpret_cast<void*>(GetProcAddress(ntdll.Get(), "RtlGetVersion")));
    if (!routine) {
        return static_cast<std::int32_t>(GetLastError());
    }
    const LONG status = routine(&info);
    if (status != 0) {
        return status;
    }
    record.mMajorVersion = info.dwMajorVersion;
    record.mMinorVersion = info.dwMinorVersion;
    record.mBuildNumber = info.dwBuildNumber;
    record.mPlatformId = info.dwPlatformId;
    record.mServicePack = info.szCSDVersion;
    record.mServicePackMajor = info.wServicePackMajor;
    record.mServicePackMinor = info.wServicePackMinor;
    record.mSuiteMask = info.wSuiteMask;
    record.mProductType = info.wProductType;
    return 0;
}

std::int32_t GetSystemDefaultLanguage()
{
    return static_cast<std::int32_t>(GetSystemDefaultLCID());
}

bool RunsAsWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

} // namespace qrnv
