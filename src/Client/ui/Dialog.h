#pragma once
// The update dialog: runs the driver's check and hand-off on threads of their own, polls
// them with a timer, evaluates each result against its state and either moves to the next
// state, starts the next thread, reports, or ends the run with an exit code. It draws
// nothing itself: every change goes through the DialogWindow it was given, so the same
// logic runs behind the Win32 window, the console window and the tests' fake window.

#include <atomic>
#include <cstdint>
#include <string>

#include "Client/service/DownloadCallback.h"
#include "Client/service/UpdaterBase.h"
#include "Client/system/Thread.h"
#include "Client/ui/DialogWindow.h"

namespace qrnv {

class CmdLineInfo;

// The dialog states. The numbers appear in log lines; the gaps are numbers nobody uses.
enum DialogState : std::int32_t {
    NO_DIALOG_STATE = 0,
    CHECK_SERVER = 1,
    PREPARE_UPDATE_CHECK = 2,
    UPGRADE_OFFER = 3,
    UPDATE_OFFER = 4,
    UP_TO_DATE = 5,
    UPDATE_IN_PROGRESS = 6,
    UPDATE_SUCCESSFUL = 7,
    UPDATE_FAILED = 8,
    CLIENT_CANNOT_BUILD_REQUEST = 15,
    CONNECTION_FAILED = 16,
    SERVER_MAINTENANCE = 17,
    SERVER_ERROR_OCCURRED = 18,
    PLEASE_CONTACT_SUPPORT = 20,
};

// The codes the modal run ends with; the start-up makes them the process exit code.
inline constexpr std::int32_t kExitNothingToDo = 0;
inline constexpr std::int32_t kExitError = 1;
inline constexpr std::int32_t kExitUpdateAvailable = 2;
inline constexpr std::int32_t kExitUpgradeAvailable = 4;
inline constexpr std::int32_t kExitUnexpectedAfterUpgradeOffer = 5;
inline constexpr std::int32_t kExitUpdateSuccessful = 8;
inline constexpr std::int32_t kExitUpdateFailed = 9;
inline constexpr std::int32_t kExitAdViewerStarted = 256;
inline constexpr std::int32_t kExitAdViewerFailed = 257;
// The silent quick check's bit mask: an update not ignored, a major upgrade not ignored.
inline constexpr std::int32_t kExitBitUpdate = 2;
inline constexpr std::int32_t kExitBitUpgrade = 4;
// The modal run could not take place (no window).
inline constexpr std::int32_t kExitNoWindow = -1;

// Timer periods while the check thread and the update thread run.
inline constexpr unsigned kCheckPollMs = 1000;
inline constexpr unsigned kUpdatePollMs = 100;
// How long the two reports that should leave before the process ends get.
inline constexpr unsigned kReportGraceMs = 1000;

// What the dialog does outside its window and the settings: reports, the ad viewer, the
// self-update stub's start and the grace waits. The real ones by default; the tests record
// them instead of sending anything.
class DialogServices {
public:
    virtual ~DialogServices() = default;
    virtual void ReportUpdateStatus(std::int32_t status, std::uint32_t updateId);
    virtual void ReportUpgradeOffer(std::int32_t choice, const std::wstring& programName,
                                    const std::wstring& programVersion, std::int32_t majorVersion);
    virtual bool DownloadAdViewer(const std::wstring& url);
    virtual bool StartAdViewer(const std::wstring& campaignId);
    // Starts a program without waiting and without elevation: 0 when it started.
    virtual std::uint32_t StartProgram(const std::wstring& path, const std::wstring& arguments);
    virtual std::wstring OwnProgramPath();
    virtual void Wait(std::uint32_t ms);
};

// The services that act for real.
DialogServices& RealDialogServices();

class Dialog : public DialogHandlers, public DriverWindow, public DownloadProgressSink {
public:
    explicit Dialog(DialogWindow& window, DialogServices& services = RealDialogServices());
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally through its window; the end code (kExitNoWindow when the
    // window could not be made).
    virtual std::int32_t DoModal();

    // DialogHandlers: called by the window, on the UI thread.
    bool OnInitDialog() override;
    void OnTimer(unsigned timerId) override;
    void OnButton(int controlId) override;
    void OnClose() override;

    void OnBtnClickedNowButton();
    void OnBnClickedCloseButton();
    void OnBnClickedChkDontShowAgain();
    void OnBnClickedRadio();
    void OnBnClickedContinueButton();

    // Enters a state: stores it and rearranges the window.
    void SetDialogState(std::int32_t state);
    void EvaluateResult();
    void ShowNoUpdate();
    void ShowUpdateAvailable();
    void ShowUpgradeOffer();
    void StartSelfUpdateStub();
    // The banner file when it is there and complete, else the built-in banner.
    void ShowBanner();
    // The three radio buttons, Continue, Close (the other way round) and the version labels.
    void ShowUpgradePopup(bool visible);

    // DownloadProgressSink: the progress bar and its label. Any thread.
    void ShowDownloadProgress(std::uint32_t done, std::uint32_t total) override;

    // DriverWindow, for the worker hand-off on the update thread.
    void DisallowShowingAndHide() override;
    bool GetScreenTopLeft(int& left, int& top) override;

    // True while a check or update thread has been started and not yet seen to end.
    bool DriverThreadRunning() const;

    UpdaterBase* mDriver = nullptr;
    CmdLineInfo* mCmdLine = nullptr;
    std::int32_t mDialogState = NO_DIALOG_STATE;
    std::int32_t mUpdateResult = 1;
    std::uint32_t mUpdateId = 0;
    ThreadHandle mBannerThread = kNoThread;
    std::int32_t mDontShowAgain = 0;
    ThreadHandle mDriverThread = kNoThread;
    unsigned mTimerId = 0;
    // A banner download is running; guarded by gBannerLock.
    std::int32_t mBannerLoading = 0;

private:
    void End(std::int32_t code);
    // gShowWindowAllowed, and the window's own show rule with it.
    void AllowShowing(bool allowed);
    // A hidden window with no thread running can never be answered: end the run instead of
    // waiting for ever.
    void EndWhenNobodyCanAnswer();
    // End when -UpdateSilent is given.
    void SilentEnd(std::int32_t code);
    // End with 1 when any of the silent modes is given.
    void AnySilentEnd();
    void Report(std::int32_t status);
    bool StartUpdateThread(const wchar_t* errorText);
    void EvaluateCheckServer();
    void EvaluateUnexpected(const wchar_t* errorFormat, std::int32_t value, std::int32_t silentCode);
    void GeneralErrorDisplay();
    void VisibilityStep();
    // The product name (text 50) replaced by the window caption when one is given.
    std::wstring WithCaption(const std::wstring& text) const;
    std::wstring Text(int row) const;
    bool AnySilent() const;
    bool IsStub() const;

    DialogWindow& mWindow;
    DialogServices& mServices;
    bool mEnded = false;
};

// The one dialog; the worker threads and the banner thread reach it through this.
extern Dialog* gDialog;
// Sets the dialog's mBannerLoading under the banner lock; nothing when there is no dialog.
void SetBannerLoading(std::int32_t loading);
// While 0 every request to show the dialog window is dropped. 0 at process start.
extern std::atomic<std::int32_t> gShowWindowAllowed;

} // namespace qrnv
