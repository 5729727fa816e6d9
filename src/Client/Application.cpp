#include "Client/Application.h"

#include <memory>

#include "Client/CmdLineInfo.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/service/QuickCheck.h"
#include "Client/service/StatusReports.h"
#include "Client/system/DebugMessage.h"
#include "Client/system/ProcessArguments.h"
#include "Client/system/Thread.h"
#include "Client/ui/Banner.h"
#include "Client/ui/Dialog.h"
#include "Client/ui/DialogWindow.h"

namespace qrnv {

bool QuarnRenova::InitInstance()
{
    RestrictLibrarySearchToSystemFolder();
    if (GetDebugFlag() != 0) {
        ShowDebugMessage(L"QuarnRenova start");
    }

    auto cmdLine = std::make_unique<CmdLineInfo>();
    cmdLine->ParseCommandLine(GetProcessArguments());

    // Every product field but the title: the parser sets only those of its options.
    auto record = std::make_unique<ProgramInfo>();
    const ProgramInfo& parsed = cmdLine->mProductInfo;
    record->mProgramName = parsed.mProgramName;
    record->mDisplayName = parsed.mDisplayName;
    record->mEscapedDisplayName = parsed.mEscapedDisplayName;
    record->mProgramVersion = parsed.mProgramVersion;
    record->mInstallDate = parsed.mInstallDate;
    record->mInstalledLocation = parsed.mInstalledLocation;
    record->mProductCode = parsed.mProductCode;
    record->mFileList = parsed.mFileList;
    record->mLanguage = parsed.mLanguage;
    record->mIsStubExe = parsed.mIsStubExe;
    record->mAffiliateId = parsed.mAffiliateId;

    CompleteProgramInfo(*record);

    const std::wstring programName = GetProgramInfo().mProgramName;
    SetUpLog(programName);

    const ProgramInfo& info = GetProgramInfo();
    LogInfo(L"%s(%s) Renova v%s started", info.mProgramName, info.mDisplayName, kRenovaVersion);
    LogInfo(L"ProgramName: %s", info.mProgramName);
    LogInfo(L"DisplayName: %s", info.mDisplayName);
    LogInfo(L"ProgramVersionNumber: %s", info.mProgramVersion);
    LogInfo(L"ProgramInstallDate: %s", info.mInstallDate);
    LogInfo(L"ProgramLanguage: %d", info.mLanguage);
    LogInfo(L"IsStubExe: %d", info.mIsStubExe);
    // The location is passed as an argument, never as part of the format: a "%" in a folder
    // name must not be read as a conversion.
    LogInfo(L"InstalledLocation: %s", info.mInstalledLocation);

    ClearUpdateResult(GetProgramInfo());

    auto driver = std::make_unique<QuickCheck>();
    LogInfo(L"StartParameter: %s", GetRawCommandLine());
    driver->mCmdLine = cmdLine.get();

    std::unique_ptr<DialogWindow> window = CreatePlatformDialogWindow();
    if (!window) {
        LogError(L"The dialog window could not be created");
        mExitCode = kExitNoWindow;
    } else {
        auto dialog = std::make_unique<Dialog>(*window);
        dialog->mCmdLine = cmdLine.get();
        if (!cmdLine->mUpdateSilent) {
            StartThread(dialog->mBannerThread, BannerThread, nullptr);
        }
        dialog->mDriver = driver.get();
        mExitCode = dialog->DoModal();
        const bool driverInUse = dialog->DriverThreadRunning();
        dialog.reset();
        if (driverInUse) {
            // The user ended the run while the check or the hand-off still runs on its
            // thread, which uses the driver and its command line until it returns; the
            // process ends next.
            static_cast<void>(driver.release());
            static_cast<void>(cmdLine.release());
        }
    }
    LogInfo(L"ExitCode %d", mExitCode);
    // Reports sent just before the end (an error state of a silent run, say) still get out.
    WaitForRunningReports(kReportDrainMs);

    window.reset();
    driver.reset();
    record.reset();
    cmdLine.reset();
    return true;
}

std::int32_t QuarnRenova::ExitInstance()
{
    if (GetDebugFlag() != 0) {
        ShowDebugMessage(L"QuarnRenova end");
    }
    return mExitCode;
}

} // namespace qrnv
