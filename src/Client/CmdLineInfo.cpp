#include "Client/CmdLineInfo.h"

#include <climits>
#include <string_view>

#include "Client/ProgramInfoAccess.h"
#include "Client/system/FileSystem.h"
#include "Client/system/ModulePath.h"
#include "Client/system/Platform.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {

// The option names: matched exactly, case-sensitive.
constexpr const wchar_t* kProgramName = L"ProgramName";
constexpr const wchar_t* kDisplayName = L"DisplayName";
constexpr const wchar_t* kProgramVersion = L"ProgramVersion";
constexpr const wchar_t* kInstallDate = L"InstallDate";
constexpr const wchar_t* kLanguage = L"Language";
constexpr const wchar_t* kInstalledLocation = L"InstalledLocation";
constexpr const wchar_t* kFileList = L"FileList";
constexpr const wchar_t* kAffiliateId = L"AffiliateId";
constexpr const wchar_t* kIsStubExe = L"IsStubExe";
constexpr const wchar_t* kUpdateIntervalInHours = L"UpdateIntervalInHours";
constexpr const wchar_t* kCheckIntervalInHours = L"CheckIntervalInHours";
constexpr const wchar_t* kWindowRec = L"WindowRec";
constexpr const wchar_t* kWindowCaption = L"WindowCaption";
constexpr const wchar_t* kQuickCheck = L"QuickCheck";
constexpr const wchar_t* kUpdateCheckSilent = L"UpdateCheckSilent";
constexpr const wchar_t* kUpdateSilent = L"UpdateSilent";
constexpr const wchar_t* kWriteCheckResultToReg = L"WriteCheckResultToReg";
constexpr const wchar_t* kHideUpdateCheckResult = L"HideUpdateCheckResult";
constexpr const wchar_t* kOnlyDownload = L"OnlyDownload";
constexpr const wchar_t* kTray = L"Tray";
constexpr const wchar_t* kOnlyAdViewer = L"OnlyAdViewer";
constexpr const wchar_t* kRestartAfterSelfUpdate = L"RestartAfterSelfUpdate";
constexpr const wchar_t* kUpdateFromVersionV1 = L"UpdateFromVersionV1";

using Pending = CmdLineInfo::PendingOption;

struct ValueOption {
    const wchar_t* name;
    Pending option;
};

constexpr ValueOption kValueOptions[] = {
    {kProgramName, Pending::ProgramName},
    {kDisplayName, Pending::DisplayName},
    {kProgramVersion, Pending::ProgramVersion},
    {kInstallDate, Pending::InstallDate},
    {kLanguage, Pending::Language},
    {kInstalledLocation, Pending::InstalledLocation},
    {kFileList, Pending::FileList},
    {kAffiliateId, Pending::AffiliateId},
    {kUpdateIntervalInHours, Pending::UpdateIntervalInHours},
    {kCheckIntervalInHours, Pending::CheckIntervalInHours},
    {kWindowRec, Pending::WindowRec},
    {kWindowCaption, Pending::WindowCaption},
};

// The process-wide counter starts at -1 so the first counted argument has number 0.
int gArgumentCounter = -1;
bool gOwnPathFetched = false;
std::wstring gOwnPath;

const std::wstring& OwnPath()
{
    if (!gOwnPathFetched) {
        gOwnPath = GetModulePath();
        gOwnPathFetched = true;
    }
    return gOwnPath;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

std::wstring Trim(const std::wstring& text)
{
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

void AppendQuoted(std::wstring& out, const wchar_t* name, const std::wstring& value)
{
    out += FormatText(L"-%s \"%s\" ", name, value);
}

} // namespace

std::int32_t ParseNumber(const std::wstring& text)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<std::int32_t>(value);
}

std::wstring NormaliseLocation(const std::wstring& location)
{
    std::wstring out = location;
    while (!out.empty() && out.back() == kPathSeparator) {
        out.pop_back();
    }
    out += kPathSeparator;
    return out;
}

void ResetCommandLineCounterForTests()
{
    gArgumentCounter = -1;
    gOwnPathFetched = false;
    gOwnPath.clear();
}

void CmdLineInfo::ParseCommandLine(const std::vector<std::wstring>& arguments)
{
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::wstring a = arguments[i];
        bool isFlag = false;
        if (!a.empty() && std::wstring_view(kOptionPrefixes).find(a[0]) != std::wstring_view::npos) {
            a.erase(0, 1);
            isFlag = true;
        }
        ParseParam(a, isFlag, i + 1 == arguments.size());
    }
}

void CmdLineInfo::ParseParam(const std::wstring& argument, bool, bool)
{
    if (argument == OwnPath()) {
        return;
    }
    ++gArgumentCounter;

    if (mPendingOption != Pending::None) {
        const Pending option = mPendingOption;
        mPendingOption = Pending::None;
        StoreValue(option, argument);
        return;
    }
    for (const auto& v : kValueOptions) {
        if (argument == v.name) {
            mPendingOption = v.option;
            return;
        }
    }

    mSwitchWords += argument + L" ";
    struct Flag {
        const wchar_t* name;
        std::int32_t* member;
    };
    const Flag flags[] = {
        {kIsStubExe, &mProductInfo.mIsStubExe},
        {kQuickCheck, &mQuickCheck},
        {kUpdateCheckSilent, &mUpdateCheckSilent},
        {kUpdateSilent, &mUpdateSilent},
        {kWriteCheckResultToReg, &mWriteCheckResultToReg},
        {kHideUpdateCheckResult, &mHideUpdateCheckResult},
        {kOnlyDownload, &mOnlyDownload},
        {kTray, &mTray},
        {kOnlyAdViewer, &mOnlyAdViewer},
        {kRestartAfterSelfUpdate, &mRestartAfterSelfUpdate},
    };
    for (const auto& f : flags) {
        if (argument == f.name) {
            *f.member = 1;
            return;
        }
    }
    if (argument == kUpdateFromVersionV1) {
        mProductInfo.mInstalledLocation = NormaliseLocation(mProductInfo.mInstalledLocation);
        mIsUpdateFromVersionV1 = 1;
        return;
    }
    if (gArgumentCounter == 0) {
        TryVersionOnePositional(argument);
    }
}

void CmdLineInfo::TryVersionOnePositional(const std::wstring& argument)
{
    // A version-1 caller passes its folder first. A folder that can be created did not
    // exist, so it was no product folder; one that cannot is taken as the location.
    if (MakeDirectory(argument)) {
        return;
    }
    mProductInfo.mInstalledLocation = NormaliseLocation(argument);
    mIsUpdateFromVersionV1 = 1;
}

void CmdLineInfo::StoreValue(PendingOption option, const std::wstring& value)
{
    ProgramInfo& p = mProductInfo;
    switch (option) {
    case Pending::ProgramName:
        if (p.mDisplayName.empty()) {
            p.mDisplayName = value;
        }
        p.mProgramName = value;
        break;
    case Pending::DisplayName:
        p.mDisplayName = value;
        break;
    case Pending::ProgramVersion:
        p.mProgramVersion = value;
        break;
    case Pending::InstallDate:
        p.mInstallDate = value;
        break;
    case Pending::Language:
        p.mLanguage = ParseNumber(value);
        break;
    case Pending::InstalledLocation:
        p.mInstalledLocation = NormaliseLocation(value);
        break;
    case Pending::FileList: {
        std::size_t start = 0;
        while (start <= value.size()) {
            std::size_t end = value.find(L';', start);
            if (end == std::wstring::npos) {
                end = value.size();
            }
            if (end > start) {
                p.mFileList.push_back(Trim(value.substr(start, end - start)));
            }
            start = end + 1;
        }
        break;
    }
    case Pending::AffiliateId:
        p.mAffiliateId = value;
        break;
    case Pending::UpdateIntervalInHours:
        mUpdateIntervalInHours = ParseNumber(value);
        break;
    case Pending::CheckIntervalInHours:
        mCheckIntervalInHours = ParseNumber(value);
        break;
    case Pending::WindowRec:
        mWindowRec = value;
        break;
    case Pending::WindowCaption:
        mWindowCaption = value;
        break;
    case Pending::None:
        break;
    }
}

std::wstring CmdLineInfo::BuildWorkerCommandLine() const
{
    std::wstring out = mSwitchWords;
    const ProgramInfo info = GetProgramInfo();

    if (info.mIsStubExe != 0) {
        out += FormatText(L"-%s ", kIsStubExe);
    }
    if (!info.mProgramName.empty()) {
        AppendQuoted(out, kProgramName, info.mProgramName);
    }
    if (!info.mDisplayName.empty()) {
        AppendQuoted(out, kDisplayName, info.mDisplayName);
    }
    if (!info.mProgramVersion.empty()) {
        out += FormatText(L"-%s %s ", kProgramVersion, info.mProgramVersion);
    }
    if (!info.mInstallDate.empty()) {
        out += FormatText(L"-%s %s ", kInstallDate, info.mInstallDate);
    }
    if (!info.mInstalledLocation.empty()) {
        std::wstring location = info.mInstalledLocation;
        while (!location.empty() && location.back() == kPathSeparator) {
            location.pop_back();
        }
        AppendQuoted(out, kInstalledLocation, location + kWorkerLocationTail);
    }
    if (!info.mFileList.empty()) {
        std::wstring list;
        for (const auto& entry : info.mFileList) {
            list += entry + L";";
        }
        AppendQuoted(out, kFileList, list);
    }
    if (info.mLanguage != 0) {
        out += FormatText(L"-%s %d ", kLanguage, info.mLanguage);
    }
    if (!info.mAffiliateId.empty()) {
        AppendQuoted(out, kAffiliateId, info.mAffiliateId);
    }
    if (mUpdateIntervalInHours != 0) {
        out += FormatText(L"-%s %d ", kUpdateIntervalInHours, mUpdateIntervalInHours);
    }
    if (!mWindowRec.empty()) {
        AppendQuoted(out, kWindowRec, mWindowRec);
    }
    if (!mWindowCaption.empty()) {
        AppendQuoted(out, kWindowCaption, mWindowCaption);
    }
    if (mIsUpdateFromVersionV1 != 0) {
        out += FormatText(L"-%s ", kUpdateFromVersionV1);
    }
    if (mCheckIntervalInHours != 0) {
        out += FormatText(L"-%s %d ", kCheckIntervalInHours, mCheckIntervalInHours);
    }
    return out;
}

} // namespace qrnv
