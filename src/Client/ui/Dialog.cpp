#include "Client/ui/Dialog.h"

#include <cwchar>
#include <mutex>
#include <vector>

#include "Client/Application.h"
#include "Client/CmdLineInfo.h"
#include "Client/Discovery.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/service/AdViewer.h"
#include "Client/service/StatusReports.h"
#include "Client/system/DebugMessage.h"
#include "Client/system/FileSystem.h"
#include "Client/system/ModulePath.h"
#include "Client/system/ProcessObjects.h"
#include "Client/system/Process.h"
#include "Client/system/SizeText.h"
#include "Client/system/SplitVersion.h"
#include "Client/system/NamedEvent.h"
#include "Client/ui/Banner.h"
#include "Client/ui/DialogWindow.h"
#include "Client/ui/Texts.h"
#include "sdk/text/Format.h"

namespace qrnv {

Dialog* gDialog = nullptr;
std::atomic<std::int32_t> gShowWindowAllowed{0};

namespace {

// Text rows the dialog shows.
enum TextRow : int {
    kTextUpdateAvailable = 0,
    kTextUpToDate = 1,
    kTextInstall = 5,
    kTextNotNow = 6,
    kTextDontShowAgain = 7,
    kTextUpdateInProgress = 8,
    kTextUpdateSucceeded = 10,
    kTextUpdateFailed = 12,
    kTextConnecting = 14,
    kTextDownloadProgress = 22,
    kTextAvailableVersion = 25,
    kTextEndCaption = 26,
    kTextEndQuestion = 27,
    kTextCancelCaption = 28,
    kTextCancelQuestion = 29,
    kTextMaintenance = 30,
    kTextAbort = 32,
    kTextClose = 34,
    kTextPrepareCheck = 47,
    kTextGeneralError = 48,
    kTextNoConnection = 53,
    kTextContinue = 54,
    kTextRemindLater = 55,
    kTextUpgradeAvailable = 56,
    kTextDontShowNotice = 57,
    kTextUpgradeVersion = 58,
    kTextInstallReplace = 59,
};

// Keeps gDialog valid for the threads that reach the dialog through it: the dialog may be
// gone (the user closed it) while a check or the banner download still runs.
std::mutex& DialogPointerLock()
{
    static std::mutex lock;
    return lock;
}

void StoreOutcome(const UpdateOutcome& outcome)
{
    std::lock_guard<std::mutex> guard(DialogPointerLock());
    if (gDialog) {
        gDialog->mUpdateResult = outcome.mResult;
        gDialog->mUpdateId = outcome.mDetail;
    }
}

} // namespace

void SetBannerLoading(std::int32_t loading)
{
    std::lock_guard<std::mutex> guard(DialogPointerLock());
    if (gDialog) {
        std::lock_guard<std::mutex> banner(gBannerLock);
        gDialog->mBannerLoading = loading;
    }
}

namespace {

bool DialogExists()
{
    std::lock_guard<std::mutex> guard(DialogPointerLock());
    return gDialog != nullptr;
}

unsigned CheckThread(void* parameter)
{
    auto* driver = static_cast<UpdaterBase*>(parameter);
    if (!driver || !DialogExists()) {
        return 0;
    }
    StoreOutcome(driver->Run());
    return 0;
}

unsigned UpdateThread(void* parameter)
{
    auto* driver = static_cast<UpdaterBase*>(parameter);
    DownloadProgressSink* sink = nullptr;
    {
        std::lock_guard<std::mutex> guard(DialogPointerLock());
        sink = gDialog;
    }
    if (!driver || !sink) {
        return 0;
    }
    DownloadCallback callback(sink);
    StoreOutcome(driver->StartWorker(callback));
    return 0;
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& what, const std::wstring& with)
{
    if (what.empty()) {
        return text;
    }
    for (std::size_t pos = 0; (pos = text.find(what, pos)) != std::wstring::npos; pos += with.size()) {
        text.replace(pos, what.size(), with);
    }
    return text;
}

// "Version %s.%s Build %s" from the parts of a version text; missing parts stay empty.
std::wstring VersionBuildLine(const std::wstring& version)
{
    VersionParts parts;
    SplitVersion(version, parts);
    return FormatText(L"Version %s.%s Build %s", parts.mFirst, parts.mSecond, parts.mRest);
}

// What entering a state changes in the window, one step after the other.
enum class Step : std::uint8_t {
    Show,
    Hide,
    Enable,
    Text,                      // control, row
    ShowIfUpdateCheckSilent,   // control
    StubHide,                  // control, only in stub mode
    StubText,                  // control, row, only in stub mode
    BannerIfShowing,           // ShowBanner while the window may show
    UpgradeGroupShow,
    UpgradeGroupHide,
    UpgradeVersionLabel,       // LBL_SERVER_VERSION: title and offered major version
    OfferedVersionLabel,       // LBL_SERVER_VERSION: the offered version
    InstalledVersionLabel,     // LBL_SERVER_VERSION: the installed version
    ProgressToTop,
    HeaderOfferedVersion,      // the header's second line from the offered version
    HeaderInstalledVersion,    // ... from the installed version
    SystemClose,
    Visibility,
    GeneralError,
};

struct DisplayStep {
    Step step;
    int control = 0;
    int row = 0;
};

enum class Line : std::uint8_t { None, Info, Error };

struct StateDisplay {
    std::int32_t state;
    Line level;
    const wchar_t* line;
    std::vector<DisplayStep> steps;
};

const std::vector<StateDisplay>& DisplayTable()
{
    static const std::vector<StateDisplay> table = {
        {CHECK_SERVER, Line::None, nullptr,
         {{Step::BannerIfShowing},
          {Step::StubHide, kUpdateNowButton},
          {Step::StubText, kCloseButton, kTextAbort},
          {Step::UpgradeGroupHide},
          {Step::Hide, kProgressBar}}},
        {PREPARE_UPDATE_CHECK, Line::None, nullptr,
         {{Step::Text, kMessageText, kTextPrepareCheck}, {Step::Text, kCloseButton, kTextAbort}}},
        {UPGRADE_OFFER, Line::None, nullptr,
         {{Step::UpgradeGroupShow},
          {Step::UpgradeVersionLabel},
          {Step::Text, kMessageText, kTextUpgradeAvailable},
          {Step::Hide, kUpdateNowButton},
          {Step::Visibility}}},
        {UPDATE_OFFER, Line::None, nullptr,
         {{Step::UpgradeGroupHide},
          {Step::Show, kMessageText},
          {Step::Text, kUpdateNowButton, kTextInstall},
          {Step::Text, kMessageText, kTextUpdateAvailable},
          {Step::OfferedVersionLabel},
          {Step::Show, kServerVersion},
          {Step::Show, kServerVersionText},
          {Step::ShowIfUpdateCheckSilent, kCheckDontShowAgain},
          {Step::Show, kUpdateNowButton},
          {Step::Enable, kUpdateNowButton},
          {Step::Visibility}}},
        {UP_TO_DATE, Line::None, nullptr,
         {{Step::UpgradeGroupHide},
          {Step::Show, kMessageText},
          {Step::Text, kMessageText, kTextUpToDate},
          {Step::InstalledVersionLabel},
          {Step::Text, kCloseButton, kTextClose},
          {Step::Hide, kUpdateNowButton}}},
        {UPDATE_IN_PROGRESS, Line::None, nullptr,
         {{Step::Show, kProgressBar},
          {Step::Hide, kServerVersion},
          {Step::Hide, kServerVersionText},
          {Step::Text, kMessageText, kTextUpdateInProgress},
          {Step::Text, kCloseButton, kTextAbort},
          {Step::Hide, kUpdateNowButton},
          {Step::Hide, kCheckDontShowAgain}}},
        {UPDATE_SUCCESSFUL, Line::Info, L"Update successful!",
         {{Step::ProgressToTop},
          {Step::Text, kCloseButton, kTextClose},
          {Step::Text, kMessageText, kTextUpdateSucceeded},
          {Step::HeaderOfferedVersion},
          {Step::Enable, kCloseButton},
          {Step::SystemClose}}},
        {UPDATE_FAILED, Line::Error, L"Update failed!",
         {{Step::Text, kCloseButton, kTextClose},
          {Step::Text, kMessageText, kTextUpdateFailed},
          {Step::HeaderInstalledVersion},
          {Step::Enable, kCloseButton},
          {Step::SystemClose}}},
        {CONNECTION_FAILED, Line::None, nullptr,
         {{Step::Text, kMessageText, kTextNoConnection},
          {Step::Text, kCloseButton, kTextClose},
          {Step::Enable, kCloseButton},
          {Step::SystemClose}}},
        {SERVER_MAINTENANCE, Line::None, nullptr,
         {{Step::Text, kMessageText, kTextMaintenance},
          {Step::Text, kCloseButton, kTextClose},
          {Step::Enable, kCloseButton},
          {Step::SystemClose}}},
        {CLIENT_CANNOT_BUILD_REQUEST, Line::Error, L"Dialog::SetDialogState: CLIENT_CANNOT_BUILD_REQUEST",
         {{Step::GeneralError}}},
        {SERVER_ERROR_OCCURRED, Line::Error, L"Dialog::SetDialogState: SERVER_ERROR_OCCURRED", {{Step::GeneralError}}},
        {PLEASE_CONTACT_SUPPORT, Line::Error, L"Dialog::SetDialogState: PLEASE_CONTACT_SUPPORT",
         {{Step::GeneralError}}},
    };
    return table;
}

} // namespace

// ---- Services ------------------------------------------------------------------------

void DialogServices::ReportUpdateStatus(std::int32_t status, std::uint32_t updateId)
{
    StartUpdateStatusReport(status, updateId);
}

void DialogServices::ReportUpgradeOffer(std::int32_t choice, const std::wstring& programName,
                                        const std::wstring& programVersion, std::int32_t majorVersion)
{
    StartUpgradeOfferReport(choice, programName, programVersion, majorVersion);
}

bool DialogServices::DownloadAdViewer(const std::wstring& url)
{
    return qrnv::DownloadAdViewer(url);
}

bool DialogServices::StartAdViewer(const std::wstring& campaignId)
{
    return qrnv::StartAdViewer(campaignId);
}

std::uint32_t DialogServices::StartProgram(const std::wstring& path, const std::wstring& arguments)
{
    std::uint32_t exitCode = 0;
    return StartProcess(path, arguments, false, exitCode, false);
}

std::wstring DialogServices::OwnProgramPath()
{
    return GetModulePath();
}

void DialogServices::Wait(std::uint32_t ms)
{
    SleepMilliseconds(ms);
}

DialogServices& RealDialogServices()
{
    static DialogServices services;
    return services;
}

// ---- Construction and run -----------------------------------------------------------

Dialog::Dialog(DialogWindow& window, DialogServices& services) : mWindow(window), mServices(services)
{
    std::lock_guard<std::mutex> guard(DialogPointerLock());
    gDialog = this;
}

Dialog::~Dialog()
{
    {
        std::lock_guard<std::mutex> guard(DialogPointerLock());
        if (gDialog == this) {
            gDialog = nullptr;
        }
    }
    if (mDriver && mDriver->mWindow == this) {
        mDriver->mWindow = nullptr;
    }
    // The threads run on if they have not ended; they find no dialog any more.
    if (mDriverThread != kNoThread && mDriverThread != nullptr) {
        CloseThread(mDriverThread);
    }
    if (mBannerThread != kNoThread && mBannerThread != nullptr) {
        CloseThread(mBannerThread);
    }
}

std::int32_t Dialog::DoModal()
{
    return mWindow.RunModal(*this);
}

bool Dialog::OnInitDialog()
{
    const ProgramInfo& info = GetProgramInfo();
    if (mDriver) {
        mDriver->mWindow = this;
    }
    mWindow.SetShowAllowed(gShowWindowAllowed != 0);

    // Title.
    if (IsStub()) {
        mWindow.SetWindowTitle(info.mProductTitle);
    } else {
        const std::wstring name =
            mCmdLine && !mCmdLine->mWindowCaption.empty() ? mCmdLine->mWindowCaption : Text(kTextProductName);
        mWindow.SetWindowTitle(name + L" " + kRenovaVersion);
    }

    // Header band.
    std::wstring secondLine;
    if (IsStub()) {
        VersionParts parts;
        SplitVersion(info.mProgramVersion, parts);
        secondLine = FormatText(L"Version %s", parts.mFirst);
    } else {
        secondLine = VersionBuildLine(info.mProgramVersion);
    }
    mWindow.CreateHeader(info.mProductTitle, secondLine);

    // Control texts.
    mWindow.SetControlText(kMessageText, Text(kTextConnecting));
    mWindow.SetControlText(kServerVersionText, Text(kTextAvailableVersion));
    mWindow.SetControlText(kServerVersion, L"");
    mWindow.SetControlText(kDownloadProgressText, L"");
    mWindow.SetControlText(kUpdateNowButton, Text(kTextInstall));
    mWindow.SetControlText(kCloseButton, Text(kTextNotNow));
    mWindow.SetControlText(kCheckDontShowAgain, Text(kTextDontShowAgain));
    mWindow.SetControlText(kRadioInstallNow, Text(kTextInstallReplace));
    mWindow.SetControlText(kRadioRemindLater, Text(kTextRemindLater));
    mWindow.SetControlText(kRadioDontShowAgain, Text(kTextDontShowNotice));
    mWindow.SetControlText(kContinueButton, Text(kTextContinue));

    // Position; the move also asks to show the window, which is dropped until allowed.
    if (mCmdLine && !mCmdLine->mWindowRec.empty()) {
        int x = 0;
        int y = 0;
        std::swscanf(mCmdLine->mWindowRec.c_str(), L"%d %d", &x, &y);
        mWindow.MoveTo(x, y);
    } else {
        mWindow.ShowNormal();
    }

    AllowShowing(!AnySilent());
    SetDialogState(CHECK_SERVER);

    if (StartThread(mDriverThread, CheckThread, mDriver)) {
        mTimerId = kDriverTimerId;
        mWindow.StartTimer(mTimerId, kCheckPollMs);
    } else {
        LogError(L"Can\u00b4t create update thread");
    }
    EndWhenNobodyCanAnswer();
    return true;
}

bool Dialog::DriverThreadRunning() const
{
    return mDriverThread != kNoThread && mDriverThread != nullptr && !ThreadHasEnded(mDriverThread);
}

bool Dialog::StartUpdateThread(const wchar_t* errorText)
{
    if (StartThread(mDriverThread, UpdateThread, mDriver)) {
        mTimerId = kDriverTimerId;
        mWindow.StartTimer(mTimerId, kUpdatePollMs);
        return true;
    }
    LogError(errorText);
    return false;
}

void Dialog::OnTimer(unsigned)
{
    if (mDriverThread == kNoThread) {
        return;
    }
    if (ThreadHasEnded(mDriverThread)) {
        mWindow.StopTimer(mTimerId);
        CloseThread(mDriverThread);
        mDriverThread = kNoThread;
        // The driver's result, for whoever reads the log of a run.
        LogInfo(L"UpdateResult %d", mUpdateResult);
        EvaluateResult();
        EndWhenNobodyCanAnswer();
    }
}

// ---- Helpers ------------------------------------------------------------------------

bool Dialog::IsStub() const
{
    return GetProgramInfo().mIsStubExe != 0;
}

bool Dialog::AnySilent() const
{
    return mCmdLine && (mCmdLine->mUpdateCheckSilent || mCmdLine->mUpdateSilent || mCmdLine->mOnlyAdViewer);
}

std::wstring Dialog::Text(int row) const
{
    return GetText(row, EffectiveLanguage(GetProgramInfo().mLanguage));
}

std::wstring Dialog::WithCaption(const std::wstring& text) const
{
    if (!mCmdLine || mCmdLine->mWindowCaption.empty()) {
        return text;
    }
    return ReplaceAll(text, Text(kTextProductName), mCmdLine->mWindowCaption);
}

void Dialog::End(std::int32_t code)
{
    mEnded = true;
    mWindow.EndModal(code);
}

void Dialog::AllowShowing(bool allowed)
{
    gShowWindowAllowed = allowed ? 1 : 0;
    mWindow.SetShowAllowed(allowed);
}

void Dialog::EndWhenNobodyCanAnswer()
{
    if (mEnded || gShowWindowAllowed != 0 || (mDriverThread != kNoThread && mDriverThread != nullptr)) {
        return;
    }
    LogError(L"Dialog: the window stays hidden in state %d and nothing runs; ending the run", mDialogState);
    End(kExitError);
}

void Dialog::SilentEnd(std::int32_t code)
{
    if (mCmdLine && mCmdLine->mUpdateSilent) {
        End(code);
    }
}

void Dialog::AnySilentEnd()
{
    if (AnySilent()) {
        End(kExitError);
    }
}

void Dialog::Report(std::int32_t status)
{
    mServices.ReportUpdateStatus(status, mUpdateId);
}

// ---- Evaluation ---------------------------------------------------------------------

void Dialog::EvaluateUnexpected(const wchar_t* errorFormat, std::int32_t value, std::int32_t silentCode)
{
    SetDialogState(PLEASE_CONTACT_SUPPORT);
    LogError(errorFormat, value);
    Report(kStatusUnexpected);
    SilentEnd(silentCode);
}

void Dialog::EvaluateCheckServer()
{
    const ProgramInfo& info = GetProgramInfo();
    const bool silentQuickCheck = mCmdLine && mCmdLine->mQuickCheck && mCmdLine->mUpdateCheckSilent;
    const std::int32_t major = mDriver ? mDriver->mMajorUpgradeProductVersion : 0;
    switch (mUpdateResult) {
    case CHECK_NOT_DUE:
    case NO_AD_CAMPAIGN:
        End(kExitNothingToDo);
        break;
    case NO_UPDATE:
        ShowNoUpdate();
        break;
    case UPDATE_AVAILABLE:
        ShowUpdateAvailable();
        break;
    case UPDATE_AND_UPGRADE_AVAILABLE:
        if (silentQuickCheck) {
            const std::wstring offered = mDriver ? mDriver->mMaxUpdateableProductVersion : std::wstring();
            const std::int32_t upgradeBit = major != GetIgnoredMajorVersionUpgrade(info) ? kExitBitUpgrade : 0;
            const std::int32_t updateBit = offered != GetIgnoredProductVersion(info) ? kExitBitUpdate : 0;
            End(upgradeBit + updateBit);
        } else {
            ShowUpgradeOffer();
        }
        break;
    case UPGRADE_AVAILABLE:
        if (silentQuickCheck) {
            End(major != GetIgnoredMajorVersionUpgrade(info) ? kExitUpgradeAvailable : kExitNothingToDo);
        } else {
            ShowUpgradeOffer();
        }
        break;
    case NEW_WORKER_AVAILABLE:
    case OLD_WORKER_AVAILABLE:
        SetDialogState(PREPARE_UPDATE_CHECK);
        OnBtnClickedNowButton();
        break;
    case NO_WORKER_AVAILABLE:
    case SERVER_ERROR:
        SetDialogState(SERVER_ERROR_OCCURRED);
        Report(kStatusServerError);
        AnySilentEnd();
        break;
    case SERVER_UNAVAILABLE:
        SetDialogState(SERVER_MAINTENANCE);
        // This one report goes out without the update id.
        mServices.ReportUpdateStatus(kStatusServerUnavailable, 0);
        AnySilentEnd();
        break;
    case NO_INTERNET_CONNECTION:
        SetDialogState(CONNECTION_FAILED);
        Report(kStatusNoConnection);
        AnySilentEnd();
        break;
    case REQUEST_NOT_BUILT:
        SetDialogState(CLIENT_CANNOT_BUILD_REQUEST);
        Report(kStatusRequestNotBuilt);
        AnySilentEnd();
        break;
    case AD_CAMPAIGN_AVAILABLE: {
        const std::wstring url = mDriver ? mDriver->mAdViewerUrl : std::wstring();
        if (!url.empty() && !mServices.DownloadAdViewer(url)) {
            End(kExitAdViewerFailed);
        } else {
            const std::wstring campaign = mDriver ? mDriver->mAdCampaignId : std::wstring();
            End(mServices.StartAdViewer(campaign) ? kExitAdViewerStarted : kExitAdViewerFailed);
        }
        break;
    }
    default:
        if (mCmdLine && mCmdLine->mOnlyAdViewer) {
            LogError(L"Dialog::OnTimer::CHECK_SERVER: Wrong mUpdateResult! (%d)", mUpdateResult);
            End(kExitError);
        } else {
            EvaluateUnexpected(L"Dialog::OnTimer::CHECK_SERVER: Wrong mUpdateResult! (%d)", mUpdateResult, kExitError);
        }
        break;
    }
}

void Dialog::EvaluateResult()
{
    switch (mDialogState) {
    case CHECK_SERVER:
        EvaluateCheckServer();
        break;
    case UPGRADE_OFFER:
        if (mUpdateResult == UPDATE_AND_UPGRADE_AVAILABLE) {
            ShowUpdateAvailable();
        } else if (mUpdateResult == UPGRADE_AVAILABLE) {
            ShowNoUpdate();
        } else {
            EvaluateUnexpected(L"Dialog::OnTimer::CHECK_SERVER: Wrong mUpdateResult! (%d)", mUpdateResult,
                               kExitUnexpectedAfterUpgradeOffer);
        }
        break;
    case UPDATE_IN_PROGRESS:
        if (mUpdateResult == WORKER_NOT_STARTED) {
            SetDialogState(UPDATE_FAILED);
            Report(kStatusWorkerNotStarted);
            SilentEnd(kExitUpdateFailed);
        } else {
            EvaluateUnexpected(L"Dialog::OnTimer::case UPDATE_IN_PROGRESS Wrong mUpdateResult! (%d)", mUpdateResult,
                               kExitUpdateFailed);
        }
        break;
    case PREPARE_UPDATE_CHECK:
        SetDialogState(PLEASE_CONTACT_SUPPORT);
        LogInfo(L"Dialog::OnTimer: PLEASE_CONTACT_SUPPORT");
        SilentEnd(kExitError);
        break;
    case PLEASE_CONTACT_SUPPORT:
        Report(kStatusContactSupport);
        SetDialogState(PLEASE_CONTACT_SUPPORT);
        LogInfo(L"Dialog::OnTimer: PLEASE_CONTACT_SUPPORT");
        SilentEnd(kExitError);
        break;
    default:
        EvaluateUnexpected(L"Dialog::OnTimer: Wrong mDialogState! (%d)", mDialogState, kExitError);
        break;
    }
}

void Dialog::ShowNoUpdate()
{
    if (mCmdLine && mCmdLine->mRestartAfterSelfUpdate == 1) {
        SetDialogState(UPDATE_SUCCESSFUL);
        return;
    }
    if (mCmdLine && (mCmdLine->mUpdateCheckSilent || mCmdLine->mHideUpdateCheckResult || mCmdLine->mUpdateSilent)) {
        End(kExitNothingToDo);
    }
    SetDialogState(UP_TO_DATE);
}

void Dialog::ShowUpdateAvailable()
{
    const std::wstring offered = mDriver ? mDriver->mMaxUpdateableProductVersion : std::wstring();
    if (mCmdLine && mCmdLine->mUpdateCheckSilent == 1) {
        if (GetIgnoredProductVersion(GetProgramInfo()) == offered) {
            LogInfo(L"ignore Version %s", offered);
            End(kExitNothingToDo);
        } else if (gShowWindowAllowed == 0 && mCmdLine->mQuickCheck == 1) {
            End(kExitUpdateAvailable);
        }
    }
    if (mCmdLine && mCmdLine->mHideUpdateCheckResult) {
        End(kExitUpdateAvailable);
        return;
    }
    SetDialogState(UPDATE_OFFER);
    if (mCmdLine && mCmdLine->mUpdateSilent == 1) {
        OnBtnClickedNowButton();
    } else if (mCmdLine && (mCmdLine->mRestartAfterSelfUpdate == 1 || mCmdLine->mIsUpdateFromVersionV1 == 1)) {
        OnBtnClickedNowButton();
    }
}

void Dialog::ShowUpgradeOffer()
{
    SetDialogState(UPGRADE_OFFER);
    bool answer = true;
    if (!(mCmdLine && (mCmdLine->mHideUpdateCheckResult || mCmdLine->mUpdateSilent))) {
        const std::int32_t major = mDriver ? mDriver->mMajorUpgradeProductVersion : 0;
        if (major == GetIgnoredMajorVersionUpgrade(GetProgramInfo())) {
            LogInfo(L"ignore Upgrade %d", major);
        } else if (mCmdLine && mCmdLine->mIsUpdateFromVersionV1) {
            LogInfo(L"mIsUpdateFromVersionV1 == TRUE");
        } else {
            answer = false;
        }
    }
    if (answer) {
        mWindow.SetCheck(kRadioRemindLater, 1);
        OnBnClickedContinueButton();
    }
}

// ---- Buttons --------------------------------------------------------------------------

void Dialog::OnButton(int controlId)
{
    switch (controlId) {
    case kUpdateNowButton:
        OnBtnClickedNowButton();
        break;
    case kCloseButton:
        OnBnClickedCloseButton();
        break;
    case kContinueButton:
        OnBnClickedContinueButton();
        break;
    case kCheckDontShowAgain:
        OnBnClickedChkDontShowAgain();
        break;
    case kRadioInstallNow:
    case kRadioRemindLater:
    case kRadioDontShowAgain:
        OnBnClickedRadio();
        break;
    default:
        break;
    }
}

void Dialog::OnBtnClickedNowButton()
{
    switch (mDialogState) {
    case CHECK_SERVER:
    case UPDATE_IN_PROGRESS:
        mWindow.PostClose();
        break;
    case PREPARE_UPDATE_CHECK:
        StartUpdateThread(L"OnBtnClickedNowButton: Can\u00b4t create thread");
        break;
    case UPDATE_OFFER:
        if (mDontShowAgain == 1) {
            End(kExitNothingToDo);
        } else {
            Report(kStatusUpdateAccepted);
            SetDialogState(UPDATE_IN_PROGRESS);
            StartUpdateThread(L"Dialog::OnBtnClickedNowButton: Can\u00b4t create thread");
        }
        break;
    case UP_TO_DATE:
        End(kExitNothingToDo);
        break;
    case UPDATE_SUCCESSFUL:
        End(kExitUpdateSuccessful);
        break;
    case UPDATE_FAILED:
        End(kExitUpdateFailed);
        break;
    case CONNECTION_FAILED:
    case SERVER_MAINTENANCE:
    case PLEASE_CONTACT_SUPPORT:
        End(kExitError);
        break;
    default:
        SetDialogState(PLEASE_CONTACT_SUPPORT);
        LogError(L"Dialog::OnBtnClickedNowButton: Wrong mUpdateResult! (%d)", mUpdateResult);
        break;
    }
}

void Dialog::OnBnClickedCloseButton()
{
    switch (mDialogState) {
    case CHECK_SERVER:
    case PREPARE_UPDATE_CHECK:
    case UPDATE_IN_PROGRESS:
        mWindow.PostClose();
        break;
    case UPGRADE_OFFER:
        End(kExitUpgradeAvailable);
        break;
    case UPDATE_OFFER:
        if (mDontShowAgain == 1) {
            SetIgnoredProductVersion(GetProgramInfo(), mDriver ? mDriver->mMaxUpdateableProductVersion : L"");
            Report(kStatusOfferIgnored);
            mServices.Wait(kReportGraceMs);
        } else {
            ClearIgnoredProductVersion(GetProgramInfo());
        }
        mWindow.PostClose();
        break;
    case UP_TO_DATE:
        End(mUpdateResult == UPGRADE_AVAILABLE ? kExitUpgradeAvailable : kExitNothingToDo);
        break;
    case UPDATE_SUCCESSFUL:
        End(kExitUpdateSuccessful);
        break;
    case UPDATE_FAILED:
        End(kExitUpdateFailed);
        break;
    case CLIENT_CANNOT_BUILD_REQUEST:
    case CONNECTION_FAILED:
    case SERVER_MAINTENANCE:
    case SERVER_ERROR_OCCURRED:
    case PLEASE_CONTACT_SUPPORT:
        End(kExitError);
        break;
    default:
        LogError(L"Dialog::OnBnClickedCloseButton: Wrong mDialogState! (%d)", mDialogState);
        break;
    }
}

void Dialog::OnBnClickedChkDontShowAgain()
{
    if (mDontShowAgain == 1) {
        mWindow.EnableControl(kUpdateNowButton, true);
        mWindow.SetControlText(kCloseButton, Text(kTextNotNow));
    } else {
        mWindow.EnableControl(kUpdateNowButton, false);
        mWindow.SetControlText(kCloseButton, Text(kTextClose));
    }
    mDontShowAgain = mDontShowAgain == 1 ? 0 : 1;
}

void Dialog::OnBnClickedRadio()
{
    if (mWindow.GetCheck(kRadioInstallNow) == 1 || mWindow.GetCheck(kRadioRemindLater) == 1 ||
        mWindow.GetCheck(kRadioDontShowAgain) == 1) {
        mWindow.EnableControl(kContinueButton, true);
    }
}

void Dialog::OnBnClickedContinueButton()
{
    const ProgramInfo& info = GetProgramInfo();
    const std::int32_t major = mDriver ? mDriver->mMajorUpgradeProductVersion : 0;
    if (mWindow.GetCheck(kRadioInstallNow) != 0) {
        mServices.ReportUpgradeOffer(kChoiceInstallNow, info.mProgramName, info.mProgramVersion, major);
        StartSelfUpdateStub();
        mDialogState = PLEASE_CONTACT_SUPPORT;
        EvaluateResult();
    } else if (mWindow.GetCheck(kRadioDontShowAgain) != 0) {
        SetIgnoredMajorVersionUpgrade(info, major);
        mServices.ReportUpgradeOffer(kChoiceDontShowAgain, info.mProgramName, info.mProgramVersion, major);
        EvaluateResult();
    } else if (mWindow.GetCheck(kRadioRemindLater) != 0) {
        mServices.ReportUpgradeOffer(kChoiceRemindLater, info.mProgramName, info.mProgramVersion, major);
        EvaluateResult();
    } else {
        EvaluateResult();
    }
}

void Dialog::StartSelfUpdateStub()
{
    const ProgramInfo& info = GetProgramInfo();
    const std::wstring path = mServices.OwnProgramPath();
    if (GetDebugFlag()) {
        ShowDebugMessage(L"QuarnRenovaWorkerStub starting ...");
    }
    const std::wstring arguments = FormatText(
        L"-IsStubExe -ProgramName \"%s\" -DisplayName \"%s\" -Language %d -ProgramVersion \"%d.0.0\" -ForceUpdate",
        info.mProgramName, info.mDisplayName, info.mLanguage, mDriver ? mDriver->mMajorUpgradeProductVersion : 0);
    if (mServices.StartProgram(path, arguments) == 0) {
        End(kExitNothingToDo);
    } else {
        AllowShowing(true);
        mWindow.ShowNormal();
        mWindow.BringToTop();
    }
}

void Dialog::OnClose()
{
    switch (mDialogState) {
    case NO_DIALOG_STATE:
    case CHECK_SERVER:
    case PREPARE_UPDATE_CHECK:
    case UPDATE_OFFER:
    case UPDATE_IN_PROGRESS: {
        const bool stub = IsStub();
        const std::wstring caption = WithCaption(Text(stub ? kTextCancelCaption : kTextEndCaption));
        const std::wstring question = WithCaption(Text(stub ? kTextCancelQuestion : kTextEndQuestion));
        if (!mWindow.AskYesNo(caption, question)) {
            return;
        }
        break;
    }
    default:
        break;
    }
    // The question may have been open across a timer tick: act on the state as it is now.
    if (mDialogState == UPDATE_IN_PROGRESS) {
        LogInfo(L"User end Update!");
        Report(kStatusUserEndedUpdate);
        mServices.Wait(kReportGraceMs);
    }
    if (mDialogState == UPDATE_OFFER) {
        End(kExitUpdateAvailable);
    } else if (mDialogState == UPDATE_IN_PROGRESS) {
        End(kExitUpdateFailed);
    } else {
        End(kExitError);
    }
}

// ---- Display ------------------------------------------------------------------------

void Dialog::ShowUpgradePopup(bool visible)
{
    mWindow.ShowControl(kRadioInstallNow, visible);
    mWindow.ShowControl(kRadioRemindLater, visible);
    mWindow.ShowControl(kRadioDontShowAgain, visible);
    mWindow.ShowControl(kContinueButton, visible);
    mWindow.EnableControl(kContinueButton, false);
    mWindow.ShowControl(kCloseButton, !visible);
    mWindow.ShowControl(kServerVersion, visible);
    mWindow.ShowControl(kServerVersionText, visible);
    mWindow.SetFocusTo(kRadioInstallNow);
}

void Dialog::GeneralErrorDisplay()
{
    ShowUpgradePopup(false);
    mWindow.SetControlText(kCloseButton, Text(kTextClose));
    mWindow.SetControlText(kMessageText, DoubleAmpersands(WithCaption(Text(kTextGeneralError))));
    mWindow.EnableControl(kCloseButton, true);
    mWindow.EnableSystemClose();
}

void Dialog::VisibilityStep()
{
    if (gShowWindowAllowed != 0) {
        return;
    }
    if (mCmdLine && (mCmdLine->mHideUpdateCheckResult || mCmdLine->mUpdateSilent || mCmdLine->mQuickCheck)) {
        return;
    }
    CreateNamedEvent(FormatText(L"%s is visible", GetProgramInfo().mEscapedDisplayName));
    AllowShowing(true);
    mWindow.ShowNormal();
    mWindow.BringToTop();
    ShowBanner();
}

void Dialog::SetDialogState(std::int32_t state)
{
    mDialogState = state;
    const ProgramInfo& info = GetProgramInfo();
    const StateDisplay* display = nullptr;
    for (const StateDisplay& entry : DisplayTable()) {
        if (entry.state == state) {
            display = &entry;
            break;
        }
    }
    if (!display) {
        LogError(L"Dialog::SetDialogState: Wrong mDialogState! (%d)", state);
        GeneralErrorDisplay();
        return;
    }
    if (display->level == Line::Info) {
        LogInfo(display->line);
    } else if (display->level == Line::Error) {
        LogError(display->line);
    }
    for (const DisplayStep& s : display->steps) {
        switch (s.step) {
        case Step::Show:
            mWindow.ShowControl(s.control, true);
            break;
        case Step::Hide:
            mWindow.ShowControl(s.control, false);
            break;
        case Step::Enable:
            mWindow.EnableControl(s.control, true);
            break;
        case Step::Text:
            mWindow.SetControlText(s.control, Text(s.row));
            break;
        case Step::ShowIfUpdateCheckSilent:
            if (mCmdLine && mCmdLine->mUpdateCheckSilent) {
                mWindow.ShowControl(s.control, true);
            }
            break;
        case Step::StubHide:
            if (IsStub()) {
                mWindow.ShowControl(s.control, false);
            }
            break;
        case Step::StubText:
            if (IsStub()) {
                mWindow.SetControlText(s.control, Text(s.row));
            }
            break;
        case Step::BannerIfShowing:
            if (gShowWindowAllowed == 1) {
                ShowBanner();
            }
            break;
        case Step::UpgradeGroupShow:
            ShowUpgradePopup(true);
            break;
        case Step::UpgradeGroupHide:
            ShowUpgradePopup(false);
            break;
        case Step::UpgradeVersionLabel:
            mWindow.SetControlText(kServerVersion,
                                   DoubleAmpersands(FormatText(Text(kTextUpgradeVersion), info.mProductTitle,
                                                               mDriver ? mDriver->mMajorUpgradeProductVersion : 0)));
            break;
        case Step::OfferedVersionLabel:
            mWindow.SetControlText(kServerVersion, mDriver ? mDriver->mMaxUpdateableProductVersion : L"");
            break;
        case Step::InstalledVersionLabel:
            mWindow.SetControlText(kServerVersion, info.mProgramVersion);
            break;
        case Step::ProgressToTop:
            mWindow.SetProgressPosition(mWindow.GetProgressUpperLimit());
            break;
        case Step::HeaderOfferedVersion:
            mWindow.SetHeaderSecondLine(VersionBuildLine(mDriver ? mDriver->mMaxUpdateableProductVersion : L""));
            break;
        case Step::HeaderInstalledVersion:
            mWindow.SetHeaderSecondLine(VersionBuildLine(info.mProgramVersion));
            break;
        case Step::SystemClose:
            mWindow.EnableSystemClose();
            break;
        case Step::Visibility:
            VisibilityStep();
            break;
        case Step::GeneralError:
            GeneralErrorDisplay();
            break;
        }
    }
}

void Dialog::ShowDownloadProgress(std::uint32_t done, std::uint32_t total)
{
    int percent = 0;
    if (done != 0 && total != 0) {
        percent = static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
    }
    std::wstring doneText;
    std::wstring totalText;
    FormatSize(done, doneText);
    FormatSize(total, totalText);
    const std::wstring label = FormatText(Text(kTextDownloadProgress), doneText, totalText);
    mWindow.SetProgressPosition(percent);
    mWindow.SetControlText(kDownloadProgressText, label);
}

void Dialog::DisallowShowingAndHide()
{
    AllowShowing(false);
    mWindow.Hide();
}

bool Dialog::GetScreenTopLeft(int& left, int& top)
{
    return mWindow.GetScreenTopLeft(left, top);
}

void Dialog::ShowBanner()
{
    const std::wstring path = BannerFilePath(GetProgramInfo());
    if (!path.empty() && FileExists(path)) {
        std::int32_t loading = 1;
        {
            std::lock_guard<std::mutex> guard(gBannerLock);
            loading = mBannerLoading;
        }
        if (loading == 0) {
            LogInfo(L"Banner: Use bannerFileNameWithPath");
            if (IsUsableBannerBitmap(path)) {
                mWindow.SetBanner(path);
                return;
            }
            LogError(L"Banner: %s is no usable bitmap", path);
        }
    }
    LogWarning(L"Banner: Use Default");
    mWindow.SetBanner(L"");
}

} // namespace qrnv
