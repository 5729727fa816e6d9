#include "Client/service/AdViewer.h"

#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/service/Download.h"
#include "Client/system/DebugMessage.h"
#include "Client/system/FileSystem.h"
#include "Client/system/OsVersion.h"
#include "Client/system/Process.h"
#include "Client/system/ProcessObjects.h"
#include "Client/system/TempFolder.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {
constexpr std::uint32_t kElevateAboveMajorVersion = 5;
}

bool DownloadAdViewer(const std::wstring& url)
{
    std::wstring folder;
    GetProductTempFolder(folder, GetProgramInfo(), true);
    const std::wstring target = folder + kAdViewerFileName;
    if (FileExists(target) && !DeleteFileAt(target)) {
        LogError(L"Can\u00b4t delete %s", target);
        return false;
    }
    if (!DownloadFile(url, folder, kAdViewerFileName, true)) {
        LogError(L"Can\u00b4t download %s -> %s", url, target);
        return false;
    }
    return true;
}

bool StartAdViewer(const std::wstring& campaignId)
{
    if (GetDebugFlag()) {
        ShowDebugMessage(L"QuarnAdViewer starting ...");
    }
    OsVersionInfo os;
    GetOsVersion(os);
    const ProgramInfo& info = GetProgramInfo();
    std::wstring folder;
    GetProductTempFolder(folder, info, true);
    const std::wstring viewer = folder + kAdViewerFileName;
    if (!FileExists(viewer)) {
        LogWarning(L"QuarnAdViewer.exe not found!");
        return false;
    }
    std::wstring guid;
    if (!GetMachineGuid(guid)) {
        return false;
    }
    const std::wstring arguments =
        FormatText(L"-MachineGuid \"%s\" -AdCampaignId \"%s\" -Language %d", guid, campaignId, info.mLanguage);
    MakeOwnerExecutable(viewer);
    std::uint32_t exitCode = 0;
    if (StartProcess(viewer, arguments, true, exitCode, os.mMajorVersion > kElevateAboveMajorVersion) == 0) {
        LogInfo(L"Successful");
        return true;
    }
    LogInfo(L"exitCodeApplication %d", static_cast<std::int32_t>(exitCode));
    return false;
}

} // namespace qrnv
