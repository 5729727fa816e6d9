#include "Client/Application.h"

#include <memory>

#include "Client/CmdLineInfo.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/service/QuickCheck.h"
#include "Client/system/DebugMessage.h"
#include "Client/system/ProcessArguments.h"
#include "Client/ui/Dialog.h"

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

    auto dialog = std::make_unique<Dialog>();
    dialog->mCmdLine = cmdLine.get();
    dialog->mDriver = driver.get();

    mExitCode = dialog->DoModal();
    LogInfo(L"ExitCode %d", mExitCode);

    dialog.reset();
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
