#pragma once
// The parsed command line: the product facts in a record of their own, the run options as
// members; and the worker's command line rebuilt from both.

#include <cstdint>
#include <string>
#include <vector>

#include "Client/ProgramInfo.h"

namespace qrnv {

class CmdLineInfo {
public:
    enum class PendingOption : std::uint8_t {
        None,
        ProgramName,
        DisplayName,
        ProgramVersion,
        InstallDate,
        Language,
        InstalledLocation,
        FileList,
        AffiliateId,
        UpdateIntervalInHours,
        CheckIntervalInHours,
        WindowRec,
        WindowCaption,
    };

    CmdLineInfo() = default;
    virtual ~CmdLineInfo() = default;

    // One argument, its leading "-" or "/" already removed. The two flags are not used.
    virtual void ParseParam(const std::wstring& argument, bool isFlag, bool isLast);

    // Walks the arguments as the process received them (the program's path first, skipped),
    // removing one leading option mark of each ("-" or "/" on Windows, "-" on POSIX) before
    // ParseParam.
    void ParseCommandLine(const std::vector<std::wstring>& arguments);

    // The worker's command line: mSwitchWords, then the product values of the published
    // record and this run's options.
    std::wstring BuildWorkerCommandLine() const;

    std::int32_t mRestartAfterSelfUpdate = 0;
    std::int32_t mIsUpdateFromVersionV1 = 0;
    std::int32_t mWriteCheckResultToReg = 0;
    std::int32_t mUpdateCheckSilent = 0;
    std::int32_t mUpdateSilent = 0;
    std::int32_t mQuickCheck = 0;
    std::int32_t mHideUpdateCheckResult = 0;
    std::int32_t mOnlyDownload = 0;
    std::int32_t mUpdateIntervalInHours = 0;
    std::wstring mWindowRec;
    std::wstring mWindowCaption;
    std::int32_t mTray = 0;
    std::int32_t mOnlyAdViewer = 0;
    std::int32_t mCheckIntervalInHours = 0;
    PendingOption mPendingOption = PendingOption::None;
    ProgramInfo mProductInfo;
    std::wstring mSwitchWords;

private:
    void StoreValue(PendingOption option, const std::wstring& value);
    void TryVersionOnePositional(const std::wstring& argument);
};

// Numbers as the C runtime's _wtoi reads them: blanks, a sign, digits up to the first other
// character; no digits give 0; out of range gives INT_MAX or INT_MIN.
std::int32_t ParseNumber(const std::wstring& text);

// All trailing separators removed, then exactly one appended.
std::wstring NormaliseLocation(const std::wstring& location);

// Resets the process-wide argument counter and the cached own path; for tests only.
void ResetCommandLineCounterForTests();

} // namespace qrnv
