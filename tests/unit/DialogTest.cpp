// The dialog logic behind a fake window, with a scripted driver and recorded reports: every
// evaluation row, the buttons by state, the close question, the silent modes and what each
// state shows.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Client/CmdLineInfo.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/service/StatusReports.h"
#include "Client/system/NamedEvent.h"
#include "Client/system/Platform.h"
#include "Client/system/TempFolder.h"
#include "Client/ui/Dialog.h"
#include "Client/ui/Texts.h"
#include "DialogFakes.h"
#include "RegistrySandbox.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

constexpr std::int32_t kEnglish = 1033;
constexpr std::uint32_t kUpdateId = 7; // the driver's detail word, passed on in reports

// Command-line switches of a case.
enum Option : unsigned {
    kQuick = 1,        // -QuickCheck
    kCheckSilent = 2,  // -UpdateCheckSilent
    kSilent = 4,       // -UpdateSilent
    kHide = 8,         // -HideUpdateCheckResult
    kAdViewer = 16,    // -OnlyAdViewer
    kRestart = 32,     // -RestartAfterSelfUpdate
    kVersionOne = 64,  // -UpdateFromVersionV1
};

std::wstring T(int row)
{
    return GetText(row, kEnglish);
}

// The log goes to the real temporary folder, not to a test's own that is gone after it.
struct LogInRealTempFolder {
    LogInRealTempFolder() { SetUpLog(L"QuarnRenova"); }
};

class DialogLogic : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramInfoForTests();
        mInfo.mProgramName = mSandbox.UniqueProductName(L"Quarn Tool");
        mInfo.mDisplayName = L"Quarn Tool";
        mInfo.mProductTitle = L"Quarn Tool Professional";
        // Unique, so that each test's "is visible" marker is its own.
        mInfo.mEscapedDisplayName = mInfo.mProgramName;
        mInfo.mProgramVersion = L"1.2.3";
        mInfo.mLanguage = kEnglish;
        Publish();
        gShowWindowAllowed = 0;
        mDriver.mCmdLine = &mCmdLine;
        mDriver.mDetail = kUpdateId;
    }

    void TearDown() override
    {
        // A check held at the gate must not outlive the driver it runs on.
        mGate.Open();
        if (mDialog && mDialog->mDriverThread != kNoThread) {
            WaitForThread(mDialog->mDriverThread, 10000);
        }
        mDialog.reset();
        ResetProgramInfoForTests();
        gShowWindowAllowed = 0;
    }

    void Publish() { PublishProgramInfo(mInfo); }

    void SetOptions(unsigned options)
    {
        mCmdLine.mQuickCheck = (options & kQuick) ? 1 : 0;
        mCmdLine.mUpdateCheckSilent = (options & kCheckSilent) ? 1 : 0;
        mCmdLine.mUpdateSilent = (options & kSilent) ? 1 : 0;
        mCmdLine.mHideUpdateCheckResult = (options & kHide) ? 1 : 0;
        mCmdLine.mOnlyAdViewer = (options & kAdViewer) ? 1 : 0;
        mCmdLine.mRestartAfterSelfUpdate = (options & kRestart) ? 1 : 0;
        mCmdLine.mIsUpdateFromVersionV1 = (options & kVersionOne) ? 1 : 0;
    }

    Dialog& Make()
    {
        mDialog = std::make_unique<Dialog>(mWindow, mServices);
        mDialog->mCmdLine = &mCmdLine;
        mDialog->mDriver = &mDriver;
        return *mDialog;
    }

    // The modal run up to the point where the dialog waits for the user or has ended.
    Dialog& Start()
    {
        Make();
        mWindow.RunModal(*mDialog);
        return *mDialog;
    }

    // A started dialog moved into a state (as its own evaluation would).
    Dialog& StartIn(std::int32_t state)
    {
        mDriver.mRunResult = CHECK_NOT_DUE;
        Make();
        mDialog->OnInitDialog();
        WaitForThread(mDialog->mDriverThread, 10000);
        mWindow.StopTimer(kDriverTimerId);
        CloseThread(mDialog->mDriverThread);
        mDialog->SetDialogState(state);
        mDialog->mUpdateId = kUpdateId;
        return *mDialog;
    }

    void Click(int id) { mWindow.Click(*mDialog, id); }

    LogInRealTempFolder mLog;
    test::ScopedTempPath mTemp;
    test::RegistrySandbox mSandbox;
    test::Gate mGate;
    ProgramInfo mInfo;
    CmdLineInfo mCmdLine;
    test::FakeDriver mDriver;
    test::FakeWindow mWindow;
    test::FakeServices mServices;
    std::unique_ptr<Dialog> mDialog;
};

// ---- CHECK_SERVER: every result ------------------------------------------------------------

struct CheckCase {
    const char* name;
    UpdateResult result;
    unsigned options;
    std::wstring offered;  // MaxUpdateableProductVersionExistingOnServer
    std::int32_t major;    // MajorUpgradeProductVersion
    std::optional<std::wstring> ignoredVersion;
    std::optional<std::int32_t> ignoredMajor;
    // Expected:
    std::int32_t state;
    std::optional<std::int32_t> exitCode; // nothing: the dialog waits for the user
    std::vector<std::int32_t> statuses;
    std::vector<std::int32_t> choices;
    int workerStarts;
};

const CheckCase kCheckCases[] = {
    {"not due", CHECK_NOT_DUE, 0, L"", 0, {}, {}, CHECK_SERVER, 0, {}, {}, 0},
    {"not due, silent", CHECK_NOT_DUE, kQuick | kCheckSilent, L"", 0, {}, {}, CHECK_SERVER, 0, {}, {}, 0},
    {"no campaign", NO_AD_CAMPAIGN, kAdViewer, L"", 0, {}, {}, CHECK_SERVER, 0, {}, {}, 0},
    {"no update", NO_UPDATE, 0, L"", 0, {}, {}, UP_TO_DATE, {}, {}, {}, 0},
    {"no update, check silent", NO_UPDATE, kCheckSilent, L"", 0, {}, {}, UP_TO_DATE, 0, {}, {}, 0},
    {"no update, hidden result", NO_UPDATE, kHide, L"", 0, {}, {}, UP_TO_DATE, 0, {}, {}, 0},
    {"no update, silent", NO_UPDATE, kSilent, L"", 0, {}, {}, UP_TO_DATE, 0, {}, {}, 0},
    {"no update after self-update", NO_UPDATE, kRestart, L"", 0, {}, {}, UPDATE_SUCCESSFUL, {}, {}, {}, 0},
    {"update offered", UPDATE_AVAILABLE, kQuick, L"1.3.0", 0, {}, {}, UPDATE_OFFER, {}, {}, {}, 0},
    {"update, silent quick check", UPDATE_AVAILABLE, kQuick | kCheckSilent, L"1.3.0", 0, {}, {}, UPDATE_OFFER, 2, {}, {}, 0},
    {"update ignored, silent quick check", UPDATE_AVAILABLE, kQuick | kCheckSilent, L"1.3.0", 0, L"1.3.0", {},
     UPDATE_OFFER, 0, {}, {}, 0},
    {"other version ignored, silent quick check", UPDATE_AVAILABLE, kQuick | kCheckSilent, L"1.3.0", 0, L"1.2.9", {},
     UPDATE_OFFER, 2, {}, {}, 0},
    {"update, check silent without quick check", UPDATE_AVAILABLE, kCheckSilent, L"1.3.0", 0, {}, {}, UPDATE_OFFER, {},
     {}, {}, 0},
    {"update, hidden result", UPDATE_AVAILABLE, kQuick | kHide, L"1.3.0", 0, {}, {}, CHECK_SERVER, 2, {}, {}, 0},
    {"update ignored then hidden result: the last code", UPDATE_AVAILABLE, kQuick | kCheckSilent | kHide, L"1.3.0", 0,
     L"1.3.0", {}, CHECK_SERVER, 2, {}, {}, 0},
    {"update, silent: installs", UPDATE_AVAILABLE, kQuick | kSilent, L"1.3.0", 0, {}, {}, UPDATE_FAILED, 9,
     {kStatusUpdateAccepted, kStatusWorkerNotStarted}, {}, 1},
    {"update after self-update: installs", UPDATE_AVAILABLE, kQuick | kRestart, L"1.3.0", 0, {}, {}, UPDATE_FAILED, {},
     {kStatusUpdateAccepted, kStatusWorkerNotStarted}, {}, 1},
    {"update from version 1: installs", UPDATE_AVAILABLE, kQuick | kVersionOne, L"1.3.0", 0, {}, {}, UPDATE_FAILED, {},
     {kStatusUpdateAccepted, kStatusWorkerNotStarted}, {}, 1},
    {"both, none ignored", UPDATE_AND_UPGRADE_AVAILABLE, kQuick | kCheckSilent, L"1.3.0", 2, {}, {}, CHECK_SERVER, 6, {},
     {}, 0},
    {"both, update ignored", UPDATE_AND_UPGRADE_AVAILABLE, kQuick | kCheckSilent, L"1.3.0", 2, L"1.3.0", {},
     CHECK_SERVER, 4, {}, {}, 0},
    {"both, upgrade ignored", UPDATE_AND_UPGRADE_AVAILABLE, kQuick | kCheckSilent, L"1.3.0", 2, {}, 2, CHECK_SERVER, 2,
     {}, {}, 0},
    {"both, both ignored", UPDATE_AND_UPGRADE_AVAILABLE, kQuick | kCheckSilent, L"1.3.0", 2, L"1.3.0", 2, CHECK_SERVER,
     0, {}, {}, 0},
    {"both, another major ignored", UPDATE_AND_UPGRADE_AVAILABLE, kQuick | kCheckSilent, L"1.3.0", 2, {}, 3,
     CHECK_SERVER, 6, {}, {}, 0},
    {"both offered", UPDATE_AND_UPGRADE_AVAILABLE, kQuick, L"1.3.0", 2, {}, {}, UPGRADE_OFFER, {}, {}, {}, 0},
    {"both, hidden result: remind later, then the update's code", UPDATE_AND_UPGRADE_AVAILABLE, kQuick | kHide, L"1.3.0",
     2, {}, {}, UPGRADE_OFFER, 2, {}, {kChoiceRemindLater}, 0},
    {"both, upgrade ignored: remind later, then the update", UPDATE_AND_UPGRADE_AVAILABLE, kQuick, L"1.3.0", 2, {}, 2,
     UPDATE_OFFER, {}, {}, {kChoiceRemindLater}, 0},
    {"upgrade, silent quick check", UPGRADE_AVAILABLE, kQuick | kCheckSilent, L"", 2, {}, {}, CHECK_SERVER, 4, {}, {}, 0},
    {"upgrade ignored, silent quick check", UPGRADE_AVAILABLE, kQuick | kCheckSilent, L"", 2, {}, 2, CHECK_SERVER, 0, {},
     {}, 0},
    {"upgrade offered", UPGRADE_AVAILABLE, kQuick, L"", 2, {}, {}, UPGRADE_OFFER, {}, {}, {}, 0},
    {"upgrade ignored: remind later, up to date", UPGRADE_AVAILABLE, kQuick, L"", 2, {}, 2, UP_TO_DATE, {}, {},
     {kChoiceRemindLater}, 0},
    {"upgrade from version 1: remind later", UPGRADE_AVAILABLE, kQuick | kVersionOne, L"", 2, {}, {}, UP_TO_DATE, {}, {},
     {kChoiceRemindLater}, 0},
    {"upgrade, silent: remind later, nothing to do", UPGRADE_AVAILABLE, kQuick | kSilent, L"", 2, {}, {}, UP_TO_DATE, 0,
     {}, {kChoiceRemindLater}, 0},
    {"new worker: hand-off, failed", NEW_WORKER_AVAILABLE, 0, L"", 0, {}, {}, PLEASE_CONTACT_SUPPORT, {}, {}, {}, 1},
    {"old worker: hand-off, failed", OLD_WORKER_AVAILABLE, 0, L"", 0, {}, {}, PLEASE_CONTACT_SUPPORT, {}, {}, {}, 1},
    {"new worker, silent: hand-off failed", NEW_WORKER_AVAILABLE, kSilent, L"", 0, {}, {}, PLEASE_CONTACT_SUPPORT, 1, {},
     {}, 1},
    {"no worker", NO_WORKER_AVAILABLE, 0, L"", 0, {}, {}, SERVER_ERROR_OCCURRED, {}, {kStatusServerError}, {}, 0},
    {"no worker, check silent", NO_WORKER_AVAILABLE, kCheckSilent, L"", 0, {}, {}, SERVER_ERROR_OCCURRED, 1,
     {kStatusServerError}, {}, 0},
    {"server error", SERVER_ERROR, 0, L"", 0, {}, {}, SERVER_ERROR_OCCURRED, {}, {kStatusServerError}, {}, 0},
    {"server error, silent", SERVER_ERROR, kSilent, L"", 0, {}, {}, SERVER_ERROR_OCCURRED, 1, {kStatusServerError}, {}, 0},
    {"server error, ad viewer", SERVER_ERROR, kAdViewer, L"", 0, {}, {}, SERVER_ERROR_OCCURRED, 1, {kStatusServerError},
     {}, 0},
    {"server unavailable", SERVER_UNAVAILABLE, 0, L"", 0, {}, {}, SERVER_MAINTENANCE, {}, {kStatusServerUnavailable}, {},
     0},
    {"server unavailable, quick check silent", SERVER_UNAVAILABLE, kQuick | kCheckSilent, L"", 0, {}, {},
     SERVER_MAINTENANCE, 1, {kStatusServerUnavailable}, {}, 0},
    {"offline", NO_INTERNET_CONNECTION, 0, L"", 0, {}, {}, CONNECTION_FAILED, {}, {kStatusNoConnection}, {}, 0},
    {"offline, silent", NO_INTERNET_CONNECTION, kSilent, L"", 0, {}, {}, CONNECTION_FAILED, 1, {kStatusNoConnection}, {},
     0},
    {"no request", REQUEST_NOT_BUILT, 0, L"", 0, {}, {}, CLIENT_CANNOT_BUILD_REQUEST, {}, {kStatusRequestNotBuilt}, {},
     0},
    {"no request, ad viewer", REQUEST_NOT_BUILT, kAdViewer, L"", 0, {}, {}, CLIENT_CANNOT_BUILD_REQUEST, 1,
     {kStatusRequestNotBuilt}, {}, 0},
    {"unexpected result", WORKER_NOT_STARTED, 0, L"", 0, {}, {}, PLEASE_CONTACT_SUPPORT, {}, {kStatusUnexpected}, {}, 0},
    {"unexpected result, silent", WORKER_NOT_STARTED, kSilent, L"", 0, {}, {}, PLEASE_CONTACT_SUPPORT, 1,
     {kStatusUnexpected}, {}, 0},
    {"unknown result, ad viewer", static_cast<UpdateResult>(2), kAdViewer, L"", 0, {}, {}, CHECK_SERVER, 1, {}, {}, 0},
};

TEST_F(DialogLogic, EvaluatesEveryResultOfTheCheck)
{
    for (const CheckCase& c : kCheckCases) {
        SCOPED_TRACE(c.name);
        SetUp();
        SetOptions(c.options);
        mDriver.mRunResult = c.result;
        mDriver.mMaxUpdateableProductVersion = c.offered;
        mDriver.mMajorUpgradeProductVersion = c.major;
        if (c.ignoredVersion) {
            SetIgnoredProductVersion(mInfo, *c.ignoredVersion);
        }
        if (c.ignoredMajor) {
            SetIgnoredMajorVersionUpgrade(mInfo, *c.ignoredMajor);
        }
        mWindow = test::FakeWindow();
        mServices = test::FakeServices();
        mDriver.mRuns = 0;
        mDriver.mWorkerStarts = 0;

        Dialog& dialog = Start();

        EXPECT_EQ(1, mDriver.mRuns);
        EXPECT_EQ(c.state, dialog.mDialogState);
        EXPECT_EQ(c.exitCode, mWindow.ExitCode());
        EXPECT_EQ(c.statuses, mServices.Statuses());
        for (const auto& [status, id] : mServices.mReports) {
            EXPECT_EQ(status == kStatusServerUnavailable ? 0u : kUpdateId, id) << "status " << status;
        }
        std::vector<std::int32_t> choices;
        for (const auto& r : mServices.mUpgradeReports) {
            choices.push_back(r.choice);
            EXPECT_EQ(mInfo.mProgramName, r.name);
            EXPECT_EQ(L"1.2.3", r.version);
            EXPECT_EQ(c.major, r.major);
        }
        EXPECT_EQ(c.choices, choices);
        EXPECT_EQ(c.workerStarts, mDriver.mWorkerStarts);
        EXPECT_TRUE(mServices.mPrograms.empty());
        TearDown();
    }
}

TEST_F(DialogLogic, UnexpectedResultsAreLoggedWithTheirNumber)
{
    const test::LogCapture log;
    mDriver.mRunResult = WORKER_NOT_STARTED;
    Start();
    EXPECT_TRUE(log.Contains(L"ERR", L"Dialog::OnTimer::CHECK_SERVER: Wrong mUpdateResult! (14)"));
    EXPECT_TRUE(log.Contains(L"ERR", L"Dialog::SetDialogState: PLEASE_CONTACT_SUPPORT"));
}

TEST_F(DialogLogic, AnIgnoredUpdateIsLogged)
{
    const test::LogCapture log;
    SetOptions(kQuick | kCheckSilent);
    SetIgnoredProductVersion(mInfo, L"2.0");
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"2.0";
    Start();
    EXPECT_EQ(0, mWindow.ExitCode());
    EXPECT_TRUE(log.Contains(L"INF", L"ignore Version 2.0"));
}

TEST_F(DialogLogic, AnIgnoredUpgradeIsAnsweredWithRemindLater)
{
    const test::LogCapture log;
    SetOptions(kQuick);
    SetIgnoredMajorVersionUpgrade(mInfo, 2);
    mDriver.mRunResult = UPGRADE_AVAILABLE;
    mDriver.mMajorUpgradeProductVersion = 2;
    Start();
    EXPECT_TRUE(log.Contains(L"INF", L"ignore Upgrade 2"));
    EXPECT_EQ(1, mWindow.At(kRadioRemindLater).check);
}

// ---- The ad viewer --------------------------------------------------------------------------

struct ViewerCase {
    const char* name;
    std::wstring url;
    bool downloadWorks;
    bool startWorks;
    std::int32_t exitCode;
    bool started;
};

TEST_F(DialogLogic, AnAdCampaignStartsTheViewer)
{
    const ViewerCase cases[] = {
        {"fetched and started", L"http://127.0.0.1:1/files/QuarnAdViewer.exe", true, true, kExitAdViewerStarted, true},
        {"fetch fails", L"http://127.0.0.1:1/files/QuarnAdViewer.exe", false, true, kExitAdViewerFailed, false},
        {"start fails", L"http://127.0.0.1:1/files/QuarnAdViewer.exe", true, false, kExitAdViewerFailed, true},
        {"no address: the viewer already there", L"", false, true, kExitAdViewerStarted, true},
        {"no address, no viewer", L"", false, false, kExitAdViewerFailed, true},
    };
    for (const ViewerCase& c : cases) {
        SCOPED_TRACE(c.name);
        mWindow = test::FakeWindow();
        mServices = test::FakeServices();
        mServices.mViewerDownloadWorks = c.downloadWorks;
        mServices.mViewerStartWorks = c.startWorks;
        SetOptions(kAdViewer);
        mDriver.mRunResult = AD_CAMPAIGN_AVAILABLE;
        mDriver.mAdViewerUrl = c.url;
        mDriver.mAdCampaignId = L"42";
        Start();
        EXPECT_EQ(c.exitCode, mWindow.ExitCode());
        EXPECT_EQ(c.url.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{c.url},
                  mServices.mViewerDownloads);
        EXPECT_EQ(c.started ? std::vector<std::wstring>{L"42"} : std::vector<std::wstring>{}, mServices.mViewerStarts);
        EXPECT_FALSE(mWindow.mShown);
        mDialog.reset();
    }
}

// ---- Evaluation in the other states -------------------------------------------------------

struct LaterCase {
    const char* name;
    std::int32_t state;
    std::int32_t result;
    unsigned options;
    std::int32_t expectedState;
    std::optional<std::int32_t> exitCode;
    std::vector<std::int32_t> statuses;
    const wchar_t* logLine;
};

TEST_F(DialogLogic, EvaluatesTheResultInEveryOtherState)
{
    const LaterCase cases[] = {
        {"upgrade offer, both", UPGRADE_OFFER, UPDATE_AND_UPGRADE_AVAILABLE, kQuick, UPDATE_OFFER, {}, {}, nullptr},
        {"upgrade offer, upgrade only", UPGRADE_OFFER, UPGRADE_AVAILABLE, kQuick, UP_TO_DATE, {}, {}, nullptr},
        {"upgrade offer, anything else", UPGRADE_OFFER, NO_UPDATE, kQuick, PLEASE_CONTACT_SUPPORT, {}, {kStatusUnexpected},
         L"Dialog::OnTimer::CHECK_SERVER: Wrong mUpdateResult! (1)"},
        {"upgrade offer, anything else, silent", UPGRADE_OFFER, NO_UPDATE, kQuick | kSilent, PLEASE_CONTACT_SUPPORT, 5,
         {kStatusUnexpected}, nullptr},
        {"update running, worker not started", UPDATE_IN_PROGRESS, WORKER_NOT_STARTED, 0, UPDATE_FAILED, {},
         {kStatusWorkerNotStarted}, L"Update failed!"},
        {"update running, worker not started, silent", UPDATE_IN_PROGRESS, WORKER_NOT_STARTED, kSilent, UPDATE_FAILED, 9,
         {kStatusWorkerNotStarted}, nullptr},
        {"update running, anything else", UPDATE_IN_PROGRESS, NO_UPDATE, 0, PLEASE_CONTACT_SUPPORT, {}, {kStatusUnexpected},
         L"Dialog::OnTimer::case UPDATE_IN_PROGRESS Wrong mUpdateResult! (1)"},
        {"update running, anything else, silent", UPDATE_IN_PROGRESS, NO_UPDATE, kSilent, PLEASE_CONTACT_SUPPORT, 9,
         {kStatusUnexpected}, nullptr},
        {"preparing", PREPARE_UPDATE_CHECK, WORKER_NOT_STARTED, 0, PLEASE_CONTACT_SUPPORT, {}, {},
         L"Dialog::OnTimer: PLEASE_CONTACT_SUPPORT"},
        {"preparing, silent", PREPARE_UPDATE_CHECK, WORKER_NOT_STARTED, kSilent, PLEASE_CONTACT_SUPPORT, 1, {}, nullptr},
        {"contact support", PLEASE_CONTACT_SUPPORT, NO_UPDATE, 0, PLEASE_CONTACT_SUPPORT, {}, {kStatusContactSupport},
         L"Dialog::OnTimer: PLEASE_CONTACT_SUPPORT"},
        {"contact support, silent", PLEASE_CONTACT_SUPPORT, NO_UPDATE, kSilent, PLEASE_CONTACT_SUPPORT, 1,
         {kStatusContactSupport}, nullptr},
        {"another state", UP_TO_DATE, NO_UPDATE, 0, PLEASE_CONTACT_SUPPORT, {}, {kStatusUnexpected},
         L"Dialog::OnTimer: Wrong mDialogState! (5)"},
        {"another state, silent", SERVER_MAINTENANCE, NO_UPDATE, kSilent, PLEASE_CONTACT_SUPPORT, 1, {kStatusUnexpected},
         nullptr},
    };
    for (const LaterCase& c : cases) {
        SCOPED_TRACE(c.name);
        mWindow = test::FakeWindow();
        mServices = test::FakeServices();
        SetOptions(c.options);
        Dialog& dialog = StartIn(c.state);
        const test::LogCapture log;
        dialog.mUpdateResult = c.result;
        dialog.EvaluateResult();
        EXPECT_EQ(c.expectedState, dialog.mDialogState);
        EXPECT_EQ(c.exitCode, mWindow.ExitCode());
        EXPECT_EQ(c.statuses, mServices.Statuses());
        if (c.logLine) {
            EXPECT_TRUE(log.Contains(L"INF", c.logLine) || log.Contains(L"ERR", c.logLine)) << "missing log line";
        }
        mDialog.reset();
    }
}

// ---- The buttons by state ------------------------------------------------------------------

// What a handler did: its end code, a posted close, a started update thread, the state after.
struct ButtonCase {
    const char* name;
    std::int32_t state;
    std::optional<std::int32_t> exitCode;
    bool postsClose;
    bool startsUpdate;
    std::int32_t stateAfter;
    std::vector<std::int32_t> statuses;
};

TEST_F(DialogLogic, InstallButtonByState)
{
    const ButtonCase cases[] = {
        {"checking", CHECK_SERVER, {}, true, false, CHECK_SERVER, {}},
        {"updating", UPDATE_IN_PROGRESS, {}, true, false, UPDATE_IN_PROGRESS, {}},
        {"preparing", PREPARE_UPDATE_CHECK, {}, false, true, PREPARE_UPDATE_CHECK, {}},
        {"offer", UPDATE_OFFER, {}, false, true, UPDATE_IN_PROGRESS, {kStatusUpdateAccepted}},
        {"up to date", UP_TO_DATE, 0, false, false, UP_TO_DATE, {}},
        {"succeeded", UPDATE_SUCCESSFUL, 8, false, false, UPDATE_SUCCESSFUL, {}},
        {"failed", UPDATE_FAILED, 9, false, false, UPDATE_FAILED, {}},
        {"offline", CONNECTION_FAILED, 1, false, false, CONNECTION_FAILED, {}},
        {"maintenance", SERVER_MAINTENANCE, 1, false, false, SERVER_MAINTENANCE, {}},
        {"contact support", PLEASE_CONTACT_SUPPORT, 1, false, false, PLEASE_CONTACT_SUPPORT, {}},
        {"server error: not one of its states", SERVER_ERROR_OCCURRED, {}, false, false, PLEASE_CONTACT_SUPPORT, {}},
        {"upgrade offer: not one of its states", UPGRADE_OFFER, {}, false, false, PLEASE_CONTACT_SUPPORT, {}},
    };
    for (const ButtonCase& c : cases) {
        SCOPED_TRACE(c.name);
        mWindow = test::FakeWindow();
        mServices = test::FakeServices();
        mDriver.mWorkerStarts = 0;
        Dialog& dialog = StartIn(c.state);
        dialog.OnBtnClickedNowButton();
        EXPECT_EQ(c.exitCode, mWindow.ExitCode());
        EXPECT_EQ(c.postsClose ? 1 : 0, mWindow.mPendingCloses);
        EXPECT_EQ(c.startsUpdate, dialog.mDriverThread != kNoThread);
        if (c.startsUpdate) {
            EXPECT_EQ(kUpdatePollMs, mWindow.mTimers[kDriverTimerId]);
            WaitForThread(dialog.mDriverThread, 10000);
            EXPECT_EQ(1, mDriver.mWorkerStarts);
        }
        EXPECT_EQ(c.stateAfter, dialog.mDialogState);
        EXPECT_EQ(c.statuses, mServices.Statuses());
        mDialog.reset();
    }
}

TEST_F(DialogLogic, InstallWithDontShowAgainTickedEndsWithNothingToDo)
{
    SetOptions(kQuick | kCheckSilent);
    Dialog& dialog = StartIn(UPDATE_OFFER);
    dialog.OnBnClickedChkDontShowAgain();
    dialog.OnBtnClickedNowButton();
    EXPECT_EQ(0, mWindow.ExitCode());
    EXPECT_TRUE(mServices.mReports.empty());
    EXPECT_EQ(UPDATE_OFFER, dialog.mDialogState);
}

TEST_F(DialogLogic, CloseButtonByState)
{
    const ButtonCase cases[] = {
        {"checking", CHECK_SERVER, {}, true, false, CHECK_SERVER, {}},
        {"preparing", PREPARE_UPDATE_CHECK, {}, true, false, PREPARE_UPDATE_CHECK, {}},
        {"updating", UPDATE_IN_PROGRESS, {}, true, false, UPDATE_IN_PROGRESS, {}},
        {"upgrade offer", UPGRADE_OFFER, 4, false, false, UPGRADE_OFFER, {}},
        {"offer", UPDATE_OFFER, {}, true, false, UPDATE_OFFER, {}},
        {"up to date", UP_TO_DATE, 0, false, false, UP_TO_DATE, {}},
        {"succeeded", UPDATE_SUCCESSFUL, 8, false, false, UPDATE_SUCCESSFUL, {}},
        {"failed", UPDATE_FAILED, 9, false, false, UPDATE_FAILED, {}},
        {"no request", CLIENT_CANNOT_BUILD_REQUEST, 1, false, false, CLIENT_CANNOT_BUILD_REQUEST, {}},
        {"offline", CONNECTION_FAILED, 1, false, false, CONNECTION_FAILED, {}},
        {"maintenance", SERVER_MAINTENANCE, 1, false, false, SERVER_MAINTENANCE, {}},
        {"server error", SERVER_ERROR_OCCURRED, 1, false, false, SERVER_ERROR_OCCURRED, {}},
        {"contact support", PLEASE_CONTACT_SUPPORT, 1, false, false, PLEASE_CONTACT_SUPPORT, {}},
    };
    for (const ButtonCase& c : cases) {
        SCOPED_TRACE(c.name);
        mWindow = test::FakeWindow();
        mServices = test::FakeServices();
        Dialog& dialog = StartIn(c.state);
        dialog.OnBnClickedCloseButton();
        EXPECT_EQ(c.exitCode, mWindow.ExitCode());
        EXPECT_EQ(c.postsClose ? 1 : 0, mWindow.mPendingCloses);
        EXPECT_EQ(c.stateAfter, dialog.mDialogState);
        EXPECT_EQ(c.statuses, mServices.Statuses());
        mDialog.reset();
    }
}

TEST_F(DialogLogic, CloseInAnUnknownStateOnlyLogs)
{
    Dialog& dialog = StartIn(UP_TO_DATE);
    dialog.mDialogState = 42;
    const test::LogCapture log;
    dialog.OnBnClickedCloseButton();
    EXPECT_FALSE(mWindow.Ended());
    EXPECT_EQ(0, mWindow.mPendingCloses);
    EXPECT_TRUE(log.Contains(L"ERR", L"Dialog::OnBnClickedCloseButton: Wrong mDialogState! (42)"));
}

TEST_F(DialogLogic, CloseInUpToDateAfterAnUpgradeOnlyResultEndsWithFour)
{
    SetOptions(kQuick);
    mDriver.mRunResult = UPGRADE_AVAILABLE;
    mDriver.mMajorUpgradeProductVersion = 2;
    Dialog& dialog = Start();
    ASSERT_EQ(UPGRADE_OFFER, dialog.mDialogState);
    Click(kRadioRemindLater);
    Click(kContinueButton);
    ASSERT_EQ(UP_TO_DATE, dialog.mDialogState);
    Click(kCloseButton);
    EXPECT_EQ(4, mWindow.ExitCode());
}

TEST_F(DialogLogic, ClosingTheOfferWritesOrClearsTheIgnoredVersion)
{
    for (bool dontShowAgain : {true, false}) {
        SCOPED_TRACE(dontShowAgain ? "ticked" : "not ticked");
        mWindow = test::FakeWindow();
        mServices = test::FakeServices();
        SetIgnoredProductVersion(mInfo, L"0.9");
        // The check box belongs to the silent check, whose offer shows only without
        // -QuickCheck (the scripted driver offers the update all the same).
        SetOptions(kCheckSilent);
        mDriver.mRunResult = UPDATE_AVAILABLE;
        mDriver.mMaxUpdateableProductVersion = L"1.3.0";
        Dialog& dialog = Start();
        ASSERT_EQ(UPDATE_OFFER, dialog.mDialogState);
        ASSERT_TRUE(mWindow.mShown);
        if (dontShowAgain) {
            Click(kCheckDontShowAgain);
        }
        mWindow.mAnswers = {true};
        Click(kCloseButton);
        EXPECT_EQ(dontShowAgain ? L"1.3.0" : L"", GetIgnoredProductVersion(mInfo));
        EXPECT_EQ(dontShowAgain ? std::vector<std::int32_t>{kStatusOfferIgnored} : std::vector<std::int32_t>{},
                  mServices.Statuses());
        EXPECT_EQ(dontShowAgain ? std::vector<std::uint32_t>{kReportGraceMs} : std::vector<std::uint32_t>{},
                  mServices.mWaits);
        ASSERT_EQ(1u, mWindow.mQuestions.size());
        EXPECT_EQ(2, mWindow.ExitCode());
        mDialog.reset();
    }
}

TEST_F(DialogLogic, DontShowAgainDisablesInstallAndRenamesClose)
{
    SetOptions(kCheckSilent);
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    Dialog& dialog = Start();
    ASSERT_TRUE(mWindow.At(kCheckDontShowAgain).visible);
    Click(kCheckDontShowAgain);
    EXPECT_EQ(1, dialog.mDontShowAgain);
    EXPECT_FALSE(mWindow.At(kUpdateNowButton).enabled);
    EXPECT_EQ(T(34), mWindow.At(kCloseButton).text);
    Click(kCheckDontShowAgain);
    EXPECT_EQ(0, dialog.mDontShowAgain);
    EXPECT_TRUE(mWindow.At(kUpdateNowButton).enabled);
    EXPECT_EQ(T(6), mWindow.At(kCloseButton).text);
}

TEST_F(DialogLogic, InstallInTheOfferReportsAndHandsOverWithThePosition)
{
    SetOptions(kQuick);
    mCmdLine.mWindowRec = L"100 200";
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    Dialog& dialog = Start();
    ASSERT_EQ(UPDATE_OFFER, dialog.mDialogState);
    Click(kUpdateNowButton);
    EXPECT_EQ(1, mDriver.mWorkerStarts);
    EXPECT_EQ(std::make_pair(100, 200), mDriver.mPositionSeen);
    // The stand-in hand-off failed: the user sees it and closes with 9.
    EXPECT_EQ(UPDATE_FAILED, dialog.mDialogState);
    EXPECT_EQ((std::vector<std::int32_t>{kStatusUpdateAccepted, kStatusWorkerNotStarted}), mServices.Statuses());
    Click(kCloseButton);
    EXPECT_EQ(9, mWindow.ExitCode());
}

// ---- The upgrade offer's choices -----------------------------------------------------------

TEST_F(DialogLogic, ContinueIsEnabledOnlyOnceAChoiceIsMade)
{
    SetOptions(kQuick);
    mDriver.mRunResult = UPGRADE_AVAILABLE;
    mDriver.mMajorUpgradeProductVersion = 2;
    Dialog& dialog = Start();
    ASSERT_EQ(UPGRADE_OFFER, dialog.mDialogState);
    EXPECT_TRUE(mWindow.At(kContinueButton).visible);
    EXPECT_FALSE(mWindow.At(kContinueButton).enabled);
    EXPECT_FALSE(mWindow.At(kCloseButton).visible);
    dialog.OnBnClickedRadio(); // a click that checked nothing
    EXPECT_FALSE(mWindow.At(kContinueButton).enabled);
    Click(kRadioDontShowAgain);
    EXPECT_TRUE(mWindow.At(kContinueButton).enabled);
}

TEST_F(DialogLogic, DontShowTheUpgradeAgainStoresTheMajorVersion)
{
    SetOptions(kQuick);
    mDriver.mRunResult = UPDATE_AND_UPGRADE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    mDriver.mMajorUpgradeProductVersion = 2;
    Dialog& dialog = Start();
    Click(kRadioDontShowAgain);
    Click(kContinueButton);
    EXPECT_EQ(2, GetIgnoredMajorVersionUpgrade(mInfo));
    ASSERT_EQ(1u, mServices.mUpgradeReports.size());
    EXPECT_EQ(kChoiceDontShowAgain, mServices.mUpgradeReports[0].choice);
    EXPECT_EQ(UPDATE_OFFER, dialog.mDialogState);
}

TEST_F(DialogLogic, InstallTheUpgradeStartsTheStubAndEnds)
{
    mInfo.mLanguage = 1031;
    Publish();
    for (bool started : {true, false}) {
        SCOPED_TRACE(started ? "stub started" : "stub not started");
        mWindow = test::FakeWindow();
        mServices = test::FakeServices();
        mServices.mProgramStartResult = started ? 0 : 2;
        SetOptions(kQuick);
        mDriver.mRunResult = UPGRADE_AVAILABLE;
        mDriver.mMajorUpgradeProductVersion = 6;
        Dialog& dialog = Start();
        ASSERT_EQ(UPGRADE_OFFER, dialog.mDialogState);
        // As after a hand-off that hid the window: a failed stub start must bring it back.
        gShowWindowAllowed = 0;
        mWindow.mShowAllowed = false;
        mWindow.mShown = false;

        Click(kRadioInstallNow);
        Click(kContinueButton);

        ASSERT_EQ(1u, mServices.mPrograms.size());
        EXPECT_EQ(L"/opt/quarn/quarnrenova", mServices.mPrograms[0].first);
        EXPECT_EQ(L"-IsStubExe -ProgramName \"" + mInfo.mProgramName +
                      L"\" -DisplayName \"Quarn Tool\" -Language 1031 -ProgramVersion \"6.0.0\" -ForceUpdate",
                  mServices.mPrograms[0].second);
        ASSERT_EQ(1u, mServices.mUpgradeReports.size());
        EXPECT_EQ(kChoiceInstallNow, mServices.mUpgradeReports[0].choice);
        EXPECT_EQ(6, mServices.mUpgradeReports[0].major);
        // Either way the dialog then asks the user to contact support, and reports it.
        EXPECT_EQ(PLEASE_CONTACT_SUPPORT, dialog.mDialogState);
        EXPECT_EQ(std::vector<std::int32_t>{kStatusContactSupport}, mServices.Statuses());
        if (started) {
            EXPECT_EQ(0, mWindow.ExitCode());
            EXPECT_FALSE(mWindow.mShown);
        } else {
            EXPECT_FALSE(mWindow.Ended());
            EXPECT_EQ(1, gShowWindowAllowed.load());
            EXPECT_TRUE(mWindow.mShown);
            EXPECT_GE(mWindow.mBroughtToTop, 1);
        }
        mDialog.reset();
    }
}

// ---- Closing the window ---------------------------------------------------------------------

struct CloseCase {
    const char* name;
    std::int32_t state;
    bool asks;
    bool answer;
    std::optional<std::int32_t> exitCode;
    std::vector<std::int32_t> statuses;
};

TEST_F(DialogLogic, ClosingTheWindowAsksInTheBusyStatesAndOffers)
{
    const CloseCase cases[] = {
        {"checking, yes", CHECK_SERVER, true, true, 1, {}},
        {"checking, no", CHECK_SERVER, true, false, {}, {}},
        {"preparing, yes", PREPARE_UPDATE_CHECK, true, true, 1, {}},
        {"offer, yes", UPDATE_OFFER, true, true, 2, {}},
        {"offer, no", UPDATE_OFFER, true, false, {}, {}},
        {"updating, yes", UPDATE_IN_PROGRESS, true, true, 9, {kStatusUserEndedUpdate}},
        {"updating, no", UPDATE_IN_PROGRESS, true, false, {}, {}},
        {"up to date", UP_TO_DATE, false, false, 1, {}},
        {"upgrade offer", UPGRADE_OFFER, false, false, 1, {}},
        {"failed", UPDATE_FAILED, false, false, 1, {}},
        {"server error", SERVER_ERROR_OCCURRED, false, false, 1, {}},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        mWindow = test::FakeWindow();
        mServices = test::FakeServices();
        Dialog& dialog = StartIn(c.state);
        mWindow.mAnswers = {c.answer};
        const test::LogCapture log;
        dialog.OnClose();
        ASSERT_EQ(c.asks ? 1u : 0u, mWindow.mQuestions.size());
        if (c.asks) {
            EXPECT_EQ(T(26), mWindow.mQuestions[0].first);
            EXPECT_EQ(T(27), mWindow.mQuestions[0].second);
        }
        EXPECT_EQ(c.exitCode, mWindow.ExitCode());
        EXPECT_EQ(c.statuses, mServices.Statuses());
        const bool endedUpdate = c.state == UPDATE_IN_PROGRESS && c.answer;
        EXPECT_EQ(endedUpdate, log.Contains(L"INF", L"User end Update!"));
        EXPECT_EQ(endedUpdate ? std::vector<std::uint32_t>{kReportGraceMs} : std::vector<std::uint32_t>{},
                  mServices.mWaits);
        mDialog.reset();
    }
}

TEST_F(DialogLogic, TheCloseQuestionNamesTheCaptionAndTheStub)
{
    struct Case {
        const char* name;
        std::int32_t language;
        bool stub;
        std::wstring caption;
        std::wstring expectedCaption;
        std::wstring expectedQuestion;
    };
    const Case cases[] = {
        {"caption replaces the product name", kEnglish, false, L"Acme Updater", L"End Acme Updater",
         L"Do you really want to end Acme Updater?"},
        {"German", 1031, false, L"Acme", L"Acme beenden", L"Wollen Sie Acme wirklich beenden?"},
        {"Japanese: its own product name", 1041, false, L"Acme", GetText(26, 1041),
         L"Acme\u3092\u7d42\u4e86\u3057\u3066\u3082\u3088\u308d\u3057\u3044\u3067\u3059\u304b\uff1f"},
        {"stub: cancel the installation", kEnglish, true, L"", T(28), T(29)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mWindow = test::FakeWindow();
        mInfo.mLanguage = c.language;
        mInfo.mIsStubExe = c.stub ? 1 : 0;
        Publish();
        mCmdLine.mWindowCaption = c.caption;
        Dialog& dialog = StartIn(CHECK_SERVER);
        dialog.OnClose();
        ASSERT_EQ(1u, mWindow.mQuestions.size());
        EXPECT_EQ(c.expectedCaption, mWindow.mQuestions[0].first);
        EXPECT_EQ(c.expectedQuestion, mWindow.mQuestions[0].second);
        mDialog.reset();
    }
}

TEST_F(DialogLogic, NoToTheCloseQuestionKeepsTheCheckRunning)
{
    mDriver.mRunGate = &mGate;
    mDriver.mRunResult = NO_UPDATE;
    Dialog& dialog = Make();
    dialog.OnInitDialog();
    dialog.OnClose(); // no answer given: No
    EXPECT_FALSE(mWindow.Ended());
    EXPECT_TRUE(dialog.DriverThreadRunning());
    EXPECT_EQ(kCheckPollMs, mWindow.mTimers[kDriverTimerId]);
    mGate.Open();
    mWindow.Pump(dialog);
    EXPECT_EQ(UP_TO_DATE, dialog.mDialogState);
}

// ---- Start-up of the dialog -------------------------------------------------------------------

TEST_F(DialogLogic, InitialisationSetsTitleHeaderTextsAndPosition)
{
    mInfo.mProgramVersion = L"4.10.16.123";
    Publish();
    mCmdLine.mWindowRec = L"100 200";
    mDriver.mRunResult = CHECK_NOT_DUE;
    Start();
    EXPECT_EQ(L"Quarn Renova 10.0.29", mWindow.mTitle);
    EXPECT_EQ(L"Quarn Tool Professional", mWindow.mHeaderTitle);
    EXPECT_EQ(L"Version 4.10 Build 16.123", mWindow.mHeaderSecondLine);
    EXPECT_EQ(std::make_pair(100, 200), mWindow.mMovedTo);
    const std::pair<int, int> texts[] = {
        {kMessageText, 14},        {kServerVersionText, 25}, {kUpdateNowButton, 5},    {kCloseButton, 6},
        {kCheckDontShowAgain, 7},  {kRadioInstallNow, 59},   {kRadioRemindLater, 55}, {kRadioDontShowAgain, 57},
        {kContinueButton, 54},
    };
    for (const auto& [id, row] : texts) {
        EXPECT_EQ(T(row), mWindow.At(id).text) << "control " << id;
    }
    EXPECT_EQ(L"", mWindow.At(kServerVersion).text);
    EXPECT_EQ(L"", mWindow.At(kDownloadProgressText).text);
}

TEST_F(DialogLogic, TitleFollowsTheCaptionAndTheStub)
{
    mCmdLine.mWindowCaption = L"Acme Updater";
    mDriver.mRunResult = CHECK_NOT_DUE;
    Start();
    EXPECT_EQ(L"Acme Updater 10.0.29", mWindow.mTitle);
    mDialog.reset();

    mWindow = test::FakeWindow();
    mInfo.mIsStubExe = 1;
    mInfo.mProgramVersion = L"6.0.0";
    Publish();
    Start();
    EXPECT_EQ(L"Quarn Tool Professional", mWindow.mTitle);
    EXPECT_EQ(L"Version 6", mWindow.mHeaderSecondLine);
    EXPECT_FALSE(mWindow.At(kUpdateNowButton).visible);
    EXPECT_EQ(T(32), mWindow.At(kCloseButton).text);
}

TEST_F(DialogLogic, TheWindowShowsOnlyOutsideTheSilentModes)
{
    struct Case {
        const char* name;
        unsigned options;
        bool shown;
    };
    const Case cases[] = {
        {"interactive", 0, true},
        {"quick check", kQuick, true},
        {"hidden result", kHide, true},
        {"check silent", kCheckSilent, false},
        {"silent", kSilent, false},
        {"ad viewer", kAdViewer, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mWindow = test::FakeWindow();
        gShowWindowAllowed = 0;
        SetOptions(c.options);
        mCmdLine.mWindowRec = L"5 6";
        mDriver.mRunResult = CHECK_NOT_DUE;
        Dialog& dialog = Make();
        dialog.OnInitDialog();
        // The move asks to show before the silent flag is known: dropped.
        EXPECT_GE(mWindow.mShowRequests, 1);
        EXPECT_FALSE(mWindow.mShown);
        EXPECT_EQ(c.shown ? 1 : 0, gShowWindowAllowed.load());
        EXPECT_EQ(c.shown, mWindow.mShowAllowed);
        // The banner is shown only when the window may show.
        EXPECT_EQ(c.shown ? 1u : 0u, mWindow.mBanners.size());
        EXPECT_EQ(CHECK_SERVER, dialog.mDialogState);
        EXPECT_EQ(kCheckPollMs, mWindow.mTimers[kDriverTimerId]);
        WaitForThread(dialog.mDriverThread, 10000);
        mDialog.reset();
    }
}

TEST_F(DialogLogic, UpdateCheckSilentShowsTheOfferAndMarksItVisible)
{
    const std::wstring marker = mInfo.mEscapedDisplayName + L" is visible";
    SetOptions(kCheckSilent);
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    EXPECT_FALSE(NamedEventExists(marker));
    Dialog& dialog = Start();
    EXPECT_EQ(UPDATE_OFFER, dialog.mDialogState);
    EXPECT_FALSE(mWindow.Ended());
    EXPECT_EQ(1, gShowWindowAllowed.load());
    EXPECT_TRUE(mWindow.mShown);
    EXPECT_GE(mWindow.mBroughtToTop, 1);
    EXPECT_EQ(1u, mWindow.mBanners.size());
    EXPECT_TRUE(NamedEventExists(marker));
    EXPECT_TRUE(mWindow.At(kCheckDontShowAgain).visible);
}

TEST_F(DialogLogic, AHiddenDialogThatNobodyCanAnswerEnds)
{
    // Normal mode, silent check: the hand-off fails, the contact-support display would wait
    // in a window nobody sees.
    const test::LogCapture log;
    SetOptions(kCheckSilent);
    mDriver.mRunResult = NEW_WORKER_AVAILABLE;
    Dialog& dialog = Start();
    EXPECT_EQ(PLEASE_CONTACT_SUPPORT, dialog.mDialogState);
    EXPECT_EQ(1, mWindow.ExitCode());
    EXPECT_TRUE(log.Contains(L"ERR", L"Dialog: the window stays hidden in state 20 and nothing runs; ending the run"));
}

TEST_F(DialogLogic, TheHandOffHidesTheWindowAndReadsItsPosition)
{
    SetOptions(kQuick);
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    mDriver.mHideBeforeStart = true;
    Dialog& dialog = Start();
    ASSERT_TRUE(mWindow.mShown);
    Click(kUpdateNowButton);
    EXPECT_EQ(0, gShowWindowAllowed.load());
    EXPECT_FALSE(mWindow.mShowAllowed);
    EXPECT_FALSE(mWindow.mShown);
    EXPECT_EQ(std::make_pair(320, 240), mDriver.mPositionSeen);
    // The failed start is in a window nobody sees any more: the run ends.
    EXPECT_EQ(UPDATE_FAILED, dialog.mDialogState);
    EXPECT_EQ(1, mWindow.ExitCode());
}

// ---- What each state shows -------------------------------------------------------------------

struct DisplayCase {
    std::int32_t state;
    int messageRow;   // -1: unchanged (14)
    int closeRow;     // the Close button's text
    std::vector<int> shown;
    std::vector<int> hidden;
};

TEST_F(DialogLogic, EachStateShowsItsControlsAndTexts)
{
    const std::vector<int> upgradeGroup = {kRadioInstallNow, kRadioRemindLater, kRadioDontShowAgain, kContinueButton,
                                           kServerVersion, kServerVersionText};
    const DisplayCase cases[] = {
        {CHECK_SERVER, 14, 6, {kMessageText, kUpdateNowButton, kCloseButton},
         {kProgressBar, kRadioInstallNow, kRadioRemindLater, kRadioDontShowAgain, kContinueButton, kServerVersion,
          kServerVersionText}},
        {PREPARE_UPDATE_CHECK, 47, 32, {kCloseButton}, {}},
        {UPGRADE_OFFER, 56, 6, upgradeGroup, {kCloseButton, kUpdateNowButton}},
        {UPDATE_OFFER, 0, 6, {kMessageText, kServerVersion, kServerVersionText, kUpdateNowButton, kCloseButton},
         {kRadioInstallNow, kContinueButton, kCheckDontShowAgain}},
        {UP_TO_DATE, 1, 34, {kMessageText, kCloseButton},
         {kUpdateNowButton, kServerVersion, kServerVersionText, kContinueButton}},
        {UPDATE_IN_PROGRESS, 8, 32, {kProgressBar},
         {kServerVersion, kServerVersionText, kUpdateNowButton, kCheckDontShowAgain}},
        {UPDATE_SUCCESSFUL, 10, 34, {kCloseButton}, {}},
        {UPDATE_FAILED, 12, 34, {kCloseButton}, {}},
        {CONNECTION_FAILED, 53, 34, {kCloseButton}, {}},
        {SERVER_MAINTENANCE, 30, 34, {kCloseButton}, {}},
        {CLIENT_CANNOT_BUILD_REQUEST, 48, 34, {kCloseButton}, upgradeGroup},
        {SERVER_ERROR_OCCURRED, 48, 34, {kCloseButton}, upgradeGroup},
        {PLEASE_CONTACT_SUPPORT, 48, 34, {kCloseButton}, upgradeGroup},
        {99, 48, 34, {kCloseButton}, upgradeGroup},
    };
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    mDriver.mMajorUpgradeProductVersion = 2;
    for (const DisplayCase& c : cases) {
        SCOPED_TRACE(c.state);
        mWindow = test::FakeWindow();
        Dialog& dialog = StartIn(CHECK_SERVER);
        dialog.SetDialogState(c.state);
        EXPECT_EQ(c.state, dialog.mDialogState);
        EXPECT_EQ(T(c.messageRow), mWindow.At(kMessageText).text);
        EXPECT_EQ(T(c.closeRow), mWindow.At(kCloseButton).text);
        for (int id : c.shown) {
            EXPECT_TRUE(mWindow.At(id).visible) << "control " << id << " hidden";
        }
        for (int id : c.hidden) {
            EXPECT_FALSE(mWindow.At(id).visible) << "control " << id << " shown";
        }
        mDialog.reset();
    }
}

TEST_F(DialogLogic, StateDisplaysFillTheVersionLabelsAndTheHeader)
{
    mInfo.mProductTitle = L"Quarn & Co Tool";
    Publish();
    mDriver.mMaxUpdateableProductVersion = L"2.1.7";
    mDriver.mMajorUpgradeProductVersion = 3;
    Dialog& dialog = StartIn(CHECK_SERVER);

    dialog.SetDialogState(UPGRADE_OFFER);
    EXPECT_EQ(L"Quarn && Co Tool - version 3", mWindow.At(kServerVersion).text);
    EXPECT_FALSE(mWindow.At(kContinueButton).enabled);
    EXPECT_EQ(kRadioInstallNow, mWindow.mFocus);

    dialog.SetDialogState(UPDATE_OFFER);
    EXPECT_EQ(L"2.1.7", mWindow.At(kServerVersion).text);
    EXPECT_TRUE(mWindow.At(kUpdateNowButton).enabled);
    EXPECT_EQ(T(5), mWindow.At(kUpdateNowButton).text);

    dialog.SetDialogState(UP_TO_DATE);
    EXPECT_EQ(L"1.2.3", mWindow.At(kServerVersion).text);
    EXPECT_FALSE(mWindow.At(kServerVersion).visible);

    const int systemCloses = mWindow.mSystemCloseEnabled;
    dialog.SetDialogState(UPDATE_SUCCESSFUL);
    EXPECT_EQ(100, mWindow.mProgress);
    EXPECT_EQ(L"Version 2.1 Build 7", mWindow.mHeaderSecondLine);
    EXPECT_TRUE(mWindow.At(kCloseButton).enabled);
    EXPECT_EQ(systemCloses + 1, mWindow.mSystemCloseEnabled);

    dialog.SetDialogState(UPDATE_FAILED);
    EXPECT_EQ(L"Version 1.2 Build 3", mWindow.mHeaderSecondLine);

    mInfo.mProgramVersion = L"7";
    Publish();
    dialog.SetDialogState(UPDATE_FAILED);
    EXPECT_EQ(L"Version . Build ", mWindow.mHeaderSecondLine);
}

TEST_F(DialogLogic, TheGeneralErrorNamesTheCaptionWithItsAmpersandsDoubled)
{
    mCmdLine.mWindowCaption = L"Acme & Sons";
    Dialog& dialog = StartIn(CHECK_SERVER);
    const test::LogCapture log;
    dialog.SetDialogState(SERVER_ERROR_OCCURRED);
    EXPECT_EQ(L"Acme && Sons has encountered an error. Please contact the support.", mWindow.At(kMessageText).text);
    EXPECT_TRUE(log.Contains(L"ERR", L"Dialog::SetDialogState: SERVER_ERROR_OCCURRED"));
    dialog.SetDialogState(99);
    EXPECT_TRUE(log.Contains(L"ERR", L"Dialog::SetDialogState: Wrong mDialogState! (99)"));
}

TEST_F(DialogLogic, TheUpdateOfferShowsTheCheckBoxOnlyInTheSilentCheck)
{
    for (unsigned options : {0u, static_cast<unsigned>(kCheckSilent)}) {
        mWindow = test::FakeWindow();
        SetOptions(options);
        Dialog& dialog = StartIn(CHECK_SERVER);
        dialog.SetDialogState(UPDATE_OFFER);
        EXPECT_EQ(options != 0, mWindow.At(kCheckDontShowAgain).visible);
        mDialog.reset();
    }
}

// ---- Progress ----------------------------------------------------------------------------------

TEST_F(DialogLogic, DownloadProgressSetsTheBarAndItsLabel)
{
    struct Case {
        std::uint32_t done;
        std::uint32_t total;
        int percent;
        std::wstring label;
    };
    const Case cases[] = {
        {512, 2048, 25, L"512 Bytes / 2.00 KB"},
        {0, 2048, 0, L"0 Bytes / 2.00 KB"},
        {5, 0, 0, L"5 Bytes / 0 Bytes"},
        {3u << 20, 4u << 20, 75, L"3.00 MB / 4.00 MB"},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 100, L"4.00 GB / 4.00 GB"},
    };
    Dialog& dialog = StartIn(UPDATE_IN_PROGRESS);
    for (const Case& c : cases) {
        dialog.ShowDownloadProgress(c.done, c.total);
        EXPECT_EQ(c.percent, mWindow.mProgress);
        EXPECT_EQ(c.label, mWindow.At(kDownloadProgressText).text);
    }
}

} // namespace
} // namespace qrnv
