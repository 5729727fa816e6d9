#include "Client/ProgramInfoAccess.h"

#include <chrono>
#include <mutex>

#include "Client/Discovery.h"
#include "Client/Log.h"
#include "Client/system/FileSystem.h"
#include "Client/system/ModulePath.h"
#include "Client/system/Platform.h"
#include "Client/system/ProcessObjects.h"
#include "Client/system/Registry.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {

// The record lives in static storage and is never freed: a discard only marks it absent,
// so a reference handed out earlier can never dangle.
ProgramInfo gRecord;
bool gRecordExists = false;

class ProgramInfoLock {
public:
    ProgramInfoLock() : mLocked(gProgramInfoLock.try_lock_for(std::chrono::milliseconds(kProgramInfoLockWaitMs))) {}
    ~ProgramInfoLock()
    {
        if (mLocked) {
            gProgramInfoLock.unlock();
        }
    }
    ProgramInfoLock(const ProgramInfoLock&) = delete;
    ProgramInfoLock& operator=(const ProgramInfoLock&) = delete;
    bool Locked() const { return mLocked; }

private:
    bool mLocked;
};

// The maker's product Vaultry names its edition in a machine key of its own; its two
// affected versions get the edition appended to both names. False when that key is missing.
constexpr const wchar_t* kVaultryName = L"Quarn Vaultry";
constexpr const wchar_t* kVaultryEditionKey = L"SOFTWARE\\Quarn\\Quarn Vaultry\\{6F1C2B7E-3A9D-4E85-B0C4-2D7A91E5F308}";
constexpr std::size_t kVaultryEditionChars = 129;

bool AppendVaultryEdition(ProgramInfo& r)
{
    if (r.mProgramName != kVaultryName || (r.mProgramVersion != L"4.10.11" && r.mProgramVersion != L"4.10.16")) {
        return true;
    }
    RegKey key;
    if (!key.Open(RegHive::LocalMachine, kVaultryEditionKey, RegView::Registry64, false)) {
        LogError(L"Can\u00b4t open RegKey: %s", kVaultryEditionKey);
        return false;
    }
    std::wstring edition;
    key.ReadText(L"InstalledProductEdition", edition, kVaultryEditionChars);
    r.mDisplayName += FormatText(L" %s", edition);
    r.mProgramName += FormatText(L" %s", edition);
    return true;
}

void CreateEmptyRecord()
{
    gRecord = ProgramInfo();
    gRecordExists = true;
}

} // namespace

std::wstring DoubleAmpersands(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        out.push_back(c);
        if (c == L'&') {
            out.push_back(L'&');
        }
    }
    return out;
}

std::wstring DeriveInstallDate(const std::wstring& folder)
{
    std::wstring date;
    if (GetFileDateText(folder + kProgramFileName, date)) {
        return date;
    }
    std::wstring ownName;
    if (GetModuleFileNameOnly(ownName) && GetFileDateText(folder + ownName, date)) {
        return date;
    }
    return {};
}

void PublishProgramInfo(const ProgramInfo& record)
{
    // Publishing makes the record present: a later reader must get it, not a discovered one.
    ProgramInfoLock lock;
    gRecord = record;
    gRecordExists = true;
}

int CompleteProgramInfo(ProgramInfo& r)
{
    ProgramInfoLock lock;
    if (!lock.Locked()) {
        return 0;
    }
    const bool hadSuffix = StripPreviewChannelSuffix(r);

    if (r.mIsStubExe == 0 && r.mDisplayName.empty() && r.mProgramName.empty() && r.mInstalledLocation.empty()) {
        gRecordExists = false;
        return 0;
    }

    if (r.mIsStubExe != 0) {
        r.mEscapedDisplayName = DoubleAmpersands(r.mDisplayName);
        r.mInstalledLocation.clear();
    } else if (!r.mDisplayName.empty() && !r.mProgramName.empty() && !r.mProgramVersion.empty() &&
               !r.mInstalledLocation.empty() && r.mLanguage != 0) {
        LogInfo(L"Product infos valid");
        r.mEscapedDisplayName = DoubleAmpersands(r.mDisplayName);
        if (r.mInstallDate.empty()) {
            r.mInstallDate = DeriveInstallDate(r.mInstalledLocation);
        }
    } else {
        LogInfo(L"Product infos invalid or incomplete, try to read von different sources");
        DiscoverProductInfo(r);
    }

    if (!AppendVaultryEdition(r)) {
        return 0;
    }

    MakeProductTitle(r);
    if (hadSuffix || IsPreviewChannelEnabled(r)) {
        AddPreviewChannelSuffix(r);
    }
    if (!gRecordExists) {
        CreateEmptyRecord();
    }
    if (!r.mProgramName.empty()) {
        PublishProgramInfo(r);
    }
    return 1;
}

const ProgramInfo& GetProgramInfo()
{
    ProgramInfoLock lock;
    if (lock.Locked() && !gRecordExists) {
        CreateEmptyRecord();
        DiscoverProductInfo(gRecord);
        const bool hadSuffix = StripPreviewChannelSuffix(gRecord);
        MakeProductTitle(gRecord);
        if (hadSuffix || IsPreviewChannelEnabled(gRecord)) {
            AddPreviewChannelSuffix(gRecord);
        }
    }
    return gRecord;
}

void ResetProgramInfoForTests()
{
    std::lock_guard<std::recursive_timed_mutex> lock(gProgramInfoLock);
    gRecord = ProgramInfo();
    gRecordExists = false;
}

} // namespace qrnv
