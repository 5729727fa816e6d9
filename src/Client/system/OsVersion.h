#pragma once
// Facts of the operating system that the QuickCheck request reports and the hand-offs use.

#include <cstdint>
#include <string>
#include <string_view>

namespace qrnv {

// The kernel's own version (not the one compatibility shims report): the fields of the
// Windows extended version record.
struct OsVersionInfo {
    std::uint32_t mMajorVersion = 0;
    std::uint32_t mMinorVersion = 0;
    std::uint32_t mBuildNumber = 0;
    std::uint32_t mPlatformId = 0;
    std::wstring mServicePack;
    std::uint16_t mServicePackMajor = 0;
    std::uint16_t mServicePackMinor = 0;
    std::uint16_t mSuiteMask = 0;
    std::uint8_t mProductType = 0; // 1 workstation, 2 domain controller, 3 server
};

inline constexpr std::uint8_t kProductTypeWorkstation = 1;

// Fills the record (zeroed first); 0 on success, else the failure status. Windows:
// RtlGetVersion from ntdll.dll. POSIX: uname, major, minor and build from the release
// ("6.1.12-amd64" gives 6, 1, 12), product type workstation.
std::int32_t GetOsVersion(OsVersionInfo& record);

// The system's default locale identifier. Windows: GetSystemDefaultLCID. POSIX: the first
// set one of LC_ALL, LC_MESSAGES, LANG: German 1031, Japanese 1041, anything else 1033.
std::int32_t GetSystemDefaultLanguage();

// True when this is a 32-bit process on 64-bit Windows (IsWow64Process succeeds and says
// so). Always false on POSIX.
bool RunsAsWow64();

inline constexpr std::int32_t kLanguageGerman = 1031;
inline constexpr std::int32_t kLanguageJapanese = 1041;
inline constexpr std::int32_t kLanguageEnglish = 1033;

// The locale identifier of a POSIX locale name: "de", "de_AT.UTF-8", "de@euro" give 1031,
// "ja_JP.UTF-8" 1041, anything else 1033.
std::int32_t LanguageOfLocaleName(std::string_view locale);

// The version numbers at the start of a kernel release text; the ones missing stay 0.
void ParseKernelRelease(std::string_view release, OsVersionInfo& record);

} // namespace qrnv
