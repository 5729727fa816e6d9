#include "Client/Settings.h"

#include <climits>

#include "Client/Log.h"
#include "Client/system/MachineId.h"
#include "Client/system/Registry.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {

const wchar_t* const kDebugValue = L"Debug";
const wchar_t* const kLastUpdateCheckValue = L"LastUpdateCheck";
const wchar_t* const kUpdateResultValue = L"UpdateResult";
const wchar_t* const kUpdateResultStringValue = L"UpdateResultString";
const wchar_t* const kIgnoreProductVersionValue = L"IgnoreProductVersionUpdate";
const wchar_t* const kIgnoreMajorUpgradeValue = L"IgnoreProductMajorVersionUpgrade";
const wchar_t* const kDebugUrlValue = L"DebugUrl_v2";
const wchar_t* const kDebugBannerUrlValue = L"DebugBannerDownloadUrl_v2";
const wchar_t* const kMachineGuidKeyPath = L"SOFTWARE\\Microsoft\\Cryptography";
const wchar_t* const kMachineGuidValue = L"MachineGuid";

const wchar_t* const kNoIgnoredVersion = L"-1";
constexpr std::int32_t kNoIgnoredMajorUpgrade = -1;

// Longest text setting read back; addresses and version texts are far shorter.
constexpr std::size_t kSettingMaxChars = 2048;

// Decimal number as the C runtime's _wtoi reads it: leading white space, a sign, digits up to
// the first other character; no digits give 0, an overflow the nearest limit.
std::int32_t ParseDecimal(const std::wstring& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) {
            value = static_cast<std::int64_t>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<std::int32_t>(value < INT_MIN ? INT_MIN : value);
}

bool ReadTextAt(RegHive hive, const std::wstring& path, const std::wstring& name, std::wstring& out)
{
    RegKey key;
    return key.Open(hive, path, RegView::Registry64, false) && key.ReadText(name, out, kSettingMaxChars);
}

void WriteTextAt(RegHive hive, const std::wstring& path, const std::wstring& name, const std::wstring& value)
{
    RegKey key;
    if (key.Create(hive, path, RegView::Registry64)) {
        key.WriteText(name, value);
    }
}

} // namespace

std::wstring ProductKeyPath(const ProgramInfo& info)
{
    return std::wstring(kSettingsBaseKeyPath) + L"\\" + info.mProgramName;
}

std::wstring ProductVersionKeyPath(const ProgramInfo& info)
{
    return ProductKeyPath(info) + L"\\" + info.mProgramVersion;
}

std::uint32_t GetDebugFlag()
{
    RegKey key;
    std::uint32_t flag = 0;
    if (!key.Open(RegHive::CurrentUser, kSettingsBaseKeyPath, RegView::Default, true) || !key.ReadNumber(kDebugValue, flag)) {
        return 0;
    }
    return flag;
}

void SetLastUpdateCheck(const ProgramInfo& info, std::int64_t time)
{
    if (info.mIsStubExe == 1) {
        return;
    }
    WriteTextAt(RegHive::LocalMachine, ProductVersionKeyPath(info), kLastUpdateCheckValue, FormatText(L"%lld", time));
}

void ResetLastUpdateCheck(const ProgramInfo& info)
{
    LogInfo(L"ResetLastUpdateCheck()");
    SetLastUpdateCheck(info, 0);
}

bool ReadLastUpdateCheck(const ProgramInfo& info, std::wstring& text)
{
    return ReadTextAt(RegHive::LocalMachine, ProductVersionKeyPath(info), kLastUpdateCheckValue, text);
}

void StoreUpdateResult(const ProgramInfo& info, std::uint32_t code, const std::wstring& text)
{
    for (const auto& path : {ProductKeyPath(info), ProductVersionKeyPath(info)}) {
        RegKey key;
        if (key.Create(RegHive::CurrentUser, path, RegView::Registry64)) {
            key.WriteNumber(kUpdateResultValue, code);
            key.WriteText(kUpdateResultStringValue, text);
        }
    }
}

void ClearUpdateResult(const ProgramInfo& info)
{
    for (const auto& path : {ProductKeyPath(info), ProductVersionKeyPath(info)}) {
        RegKey key;
        if (key.Create(RegHive::CurrentUser, path, RegView::Registry64)) {
            key.DeleteValue(kUpdateResultValue);
            key.DeleteValue(kUpdateResultStringValue);
        }
    }
}

std::wstring ReadUserSetting(const ProgramInfo& info, const std::wstring& name)
{
    std::wstring value;
    if (ReadTextAt(RegHive::CurrentUser, ProductKeyPath(info), name, value) ||
        ReadTextAt(RegHive::CurrentUser, kSettingsBaseKeyPath, name, value)) {
        return value;
    }
    return {};
}

std::wstring GetDebugUrl(const ProgramInfo& info)
{
    return ReadUserSetting(info, kDebugUrlValue);
}

std::wstring GetDebugBannerDownloadUrl(const ProgramInfo& info)
{
    std::wstring url = ReadUserSetting(info, kDebugBannerUrlValue);
    return url.empty() ? GetDebugUrl(info) : url;
}

std::wstring GetIgnoredProductVersion(const ProgramInfo& info)
{
    std::wstring version;
    if (!ReadTextAt(RegHive::CurrentUser, ProductVersionKeyPath(info), kIgnoreProductVersionValue, version)) {
        return kNoIgnoredVersion;
    }
    return version;
}

void SetIgnoredProductVersion(const ProgramInfo& info, const std::wstring& version)
{
    WriteTextAt(RegHive::CurrentUser, ProductVersionKeyPath(info), kIgnoreProductVersionValue, version);
}

void ClearIgnoredProductVersion(const ProgramInfo& info)
{
    SetIgnoredProductVersion(info, std::wstring());
}

std::int32_t GetIgnoredMajorVersionUpgrade(const ProgramInfo& info)
{
    std::wstring text;
    if (!ReadTextAt(RegHive::CurrentUser, ProductKeyPath(info), kIgnoreMajorUpgradeValue, text)) {
        return kNoIgnoredMajorUpgrade;
    }
    return ParseDecimal(text);
}

void SetIgnoredMajorVersionUpgrade(const ProgramInfo& info, std::int32_t version)
{
    WriteTextAt(RegHive::CurrentUser, ProductKeyPath(info), kIgnoreMajorUpgradeValue, FormatText(L"%d", version));
}

bool GetMachineGuid(std::wstring& out)
{
    return ReadTextAt(RegHive::LocalMachine, kMachineGuidKeyPath, kMachineGuidValue, out) || ReadPlatformMachineId(out);
}

} // namespace qrnv
