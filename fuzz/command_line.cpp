// The command line: split by the Windows C runtime's rules, parsed as the start-up parses
// it, published, and rebuilt as the worker's command line. Where every value is a plain
// word the worker's command line, parsed again, must give the same options.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Client/CmdLineInfo.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/system/CommandLineText.h"
#include "Client/system/ModulePath.h"
#include "Client/system/Platform.h"
#include "FuzzSupport.h"

namespace {

using namespace qrnv;

std::wstring gProgram;

// A word that comes back unchanged from the worker's command line: no blank or quote to
// split at, no backslash rule, no option mark that the parse would remove.
bool Plain(const std::wstring& text)
{
    if (!text.empty() && std::wstring_view(kOptionPrefixes).find(text[0]) != std::wstring_view::npos) {
        return false;
    }
    for (wchar_t c : text) {
        if (c <= L' ' || c == L'"' || c == L'\\') {
            return false;
        }
    }
    return true;
}

bool RoundTrips(const CmdLineInfo& c, const std::vector<std::wstring>& arguments)
{
    // A word of mSwitchWords with a blank inside would be two words to the worker.
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        for (wchar_t ch : arguments[i]) {
            if (ch <= L' ' || ch == L'"' || ch == L'\\') {
                return false;
            }
        }
    }
    const ProgramInfo& p = c.mProductInfo;
    for (const std::wstring* t : {&p.mProgramName, &p.mDisplayName, &p.mProgramVersion, &p.mInstallDate, &p.mAffiliateId,
                                  &p.mInstalledLocation, &c.mWindowRec, &c.mWindowCaption}) {
        if (!Plain(*t)) {
            return false;
        }
    }
    for (const auto& entry : p.mFileList) {
        if (entry.empty() || !Plain(entry)) {
            return false;
        }
    }
    // Words are carried bare, each followed by one blank.
    const std::wstring& words = c.mSwitchWords;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const wchar_t ch = words[i];
        if (ch == L'"' || ch == L'\\' || ch < L' ') {
            return false;
        }
        const bool wordStart = i == 0 || words[i - 1] == L' ';
        if (wordStart && (ch == L' ' || std::wstring_view(kOptionPrefixes).find(ch) != std::wstring_view::npos)) {
            return false;
        }
    }
    // An emptied display name is not carried: the program name fills it again.
    if (p.mDisplayName.empty() && !p.mProgramName.empty()) {
        return false;
    }
    // A negative number's dash is taken for an option mark.
    return p.mLanguage >= 0 && c.mUpdateIntervalInHours >= 0 && c.mCheckIntervalInHours >= 0;
}

void ExpectSameOptions(const CmdLineInfo& a, const CmdLineInfo& b)
{
    const ProgramInfo& p = a.mProductInfo;
    const ProgramInfo& q = b.mProductInfo;
    FUZZ_CHECK(p.mProgramName == q.mProgramName);
    FUZZ_CHECK(p.mDisplayName == q.mDisplayName);
    FUZZ_CHECK(p.mProgramVersion == q.mProgramVersion);
    FUZZ_CHECK(p.mInstallDate == q.mInstallDate);
    FUZZ_CHECK(p.mInstalledLocation == q.mInstalledLocation);
    FUZZ_CHECK(p.mFileList == q.mFileList);
    FUZZ_CHECK(p.mLanguage == q.mLanguage);
    FUZZ_CHECK(p.mAffiliateId == q.mAffiliateId);
    FUZZ_CHECK(p.mIsStubExe == q.mIsStubExe);
    FUZZ_CHECK(a.mRestartAfterSelfUpdate == b.mRestartAfterSelfUpdate);
    FUZZ_CHECK(a.mIsUpdateFromVersionV1 == b.mIsUpdateFromVersionV1);
    FUZZ_CHECK(a.mWriteCheckResultToReg == b.mWriteCheckResultToReg);
    FUZZ_CHECK(a.mUpdateCheckSilent == b.mUpdateCheckSilent);
    FUZZ_CHECK(a.mUpdateSilent == b.mUpdateSilent);
    FUZZ_CHECK(a.mQuickCheck == b.mQuickCheck);
    FUZZ_CHECK(a.mHideUpdateCheckResult == b.mHideUpdateCheckResult);
    FUZZ_CHECK(a.mOnlyDownload == b.mOnlyDownload);
    FUZZ_CHECK(a.mUpdateIntervalInHours == b.mUpdateIntervalInHours);
    FUZZ_CHECK(a.mWindowRec == b.mWindowRec);
    FUZZ_CHECK(a.mWindowCaption == b.mWindowCaption);
    FUZZ_CHECK(a.mTray == b.mTray);
    FUZZ_CHECK(a.mOnlyAdViewer == b.mOnlyAdViewer);
    FUZZ_CHECK(a.mCheckIntervalInHours == b.mCheckIntervalInHours);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::QuietLog();
    gProgram = GetModulePath();
    // The process-wide argument counter passes 0 here, with a flag: the version-1 form
    // creates folders named by its argument, which fuzzed text must never do.
    CmdLineInfo first;
    first.ParseParam(L"Tray", false, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::wstring> arguments = SplitCommandLine(Utf8ToWide(fuzz::Bytes(data, size)));
    arguments.insert(arguments.begin(), gProgram);

    CmdLineInfo parsed;
    parsed.ParseCommandLine(arguments);
    const std::wstring& location = parsed.mProductInfo.mInstalledLocation;
    if (!location.empty()) {
        // Exactly one trailing separator.
        FUZZ_CHECK(location.back() == kPathSeparator);
        FUZZ_CHECK(location.size() == 1 || location[location.size() - 2] != kPathSeparator);
    }

    PublishProgramInfo(parsed.mProductInfo);
    const std::wstring worker = parsed.BuildWorkerCommandLine();
    FUZZ_CHECK(worker.compare(0, parsed.mSwitchWords.size(), parsed.mSwitchWords) == 0);
    FUZZ_CHECK(worker.empty() || worker.back() == L' ');

    if (RoundTrips(parsed, arguments)) {
        fuzz::gContext = "worker command line: " + fuzz::Shown(worker);
        std::vector<std::wstring> again = SplitCommandLine(worker);
        again.insert(again.begin(), gProgram);
        CmdLineInfo reparsed;
        reparsed.ParseCommandLine(again);
        ExpectSameOptions(parsed, reparsed);
        fuzz::gContext.clear();
    }
    return 0;
}
