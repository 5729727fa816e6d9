#include "Client/Log.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "Client/system/ProcessObjects.h"
#include "Client/system/TempFolder.h"
#include "Client/system/FileSystem.h"
#include "Client/system/Platform.h"

namespace qrnv {
namespace {

const wchar_t* const kSourceTag = L"QRNV";
const wchar_t* const kDefaultLogName = L"QuarnRenova";

std::atomic<bool> gSetUp{false};

// Messages raised while the set-up itself runs (a temporary folder that cannot be made,
// say) must not start it again; they are kept and written once the new file is open.
std::mutex gPendingLock;
std::atomic<bool> gInSetUp{false};
struct Pending {
    std::uint32_t level;
    std::wstring text;
};
std::vector<Pending> gPending;

} // namespace

void LogMessage(std::uint32_t level, std::wstring_view format, std::span<const FormatArg> args)
{
    int percents = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%') {
            ++percents;
            ++i; // the character after a "%" is not examined
        }
    }
    if (percents > kLogMaxArguments) {
        return;
    }
    if (gInSetUp.load()) {
        std::lock_guard<std::mutex> lock(gPendingLock);
        gPending.push_back({level, FormatTextV(format, args)});
        return;
    }
    GetLog().Print(level, kSourceTag, format, args);
}

CLog& GetLog()
{
    if (!gSetUp.load() && !gInSetUp.load()) {
        SetUpLog(kDefaultLogName);
    }
    return gLog;
}

void SetUpLog(const std::wstring& programName)
{
    gInSetUp = true;
    if (gSetUp.load()) {
        gLog.Close();
    }
    std::wstring folder;
    bool openFile = true;
    if (GetTempFolder(folder)) {
        folder += L"Quarn Renova";
        CreateDirectoryPath(folder, false);
        folder += kPathSeparator;
    } else if (!GetSystemTempPath().empty()) {
        // The temporary path exists, but its folder could not be made or was refused (not a
        // folder, another user's). Then there is no log file, as when the folder cannot be
        // created; only a missing temporary path puts the log into the current directory.
        openFile = false;
    }
    const std::wstring pattern = FormatText(L"%s%%D_%s.log", folder, programName);
    gLog.Init(kSourceTag, kLogAlways, true);
    if (openFile) {
        gLog.OpenFile(pattern.c_str());
    }
    gLog.Write(kLogLevelAudit, kSourceTag, L"STARTING LOG");

    std::vector<Pending> pending;
    {
        std::lock_guard<std::mutex> lock(gPendingLock);
        pending.swap(gPending);
    }
    for (const auto& p : pending) {
        gLog.Write(p.level, kSourceTag, p.text.c_str());
    }
    gSetUp = true;
    gInSetUp = false;
}

bool IsLogSetUp()
{
    return gSetUp.load();
}

void ResetLogForTests()
{
    gLog.Close();
    gSetUp = false;
}

} // namespace qrnv
