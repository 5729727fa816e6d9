#pragma once
// The window the dialog logic drives: the operations the logic needs of a dialog window,
// offered by the Win32 window (dialog template 103) and by the console window.

#include <cstdint>
#include <memory>
#include <string>

namespace qrnv {


// Control ids of dialog template 103.
enum DialogControl : int {
    kMessageText = 0x3EC,          // LBL_MESSAGE_TEXT
    kProgressBar = 0x3EA,
    kDownloadProgressText = 0x3F0, // LBL_DOWNLOAD_PROGRESS
    kServerVersionText = 0x3F2,    // LBL_SERVER_VERSION_TEXT
    kServerVersion = 0x3F5,        // LBL_SERVER_VERSION
    kRadioInstallNow = 0x400,      // radInstallNowMajorUpgradePopup
    kRadioRemindLater = 0x3FF,     // radRemindMeLaterMajorUpgradePopup
    kRadioDontShowAgain = 0x3FE,   // radDontShowAgainMajorUpgradePopup
    kCheckDontShowAgain = 0x3EE,   // CHK_DONT_SHOW_AGAIN
    kUpdateNowButton = 0x80,       // UPDATE_NOW_BUTTON
    kContinueButton = 0x82,        // CONTINUE_BUTTON
    kCloseButton = 0x81,           // CLOSE_BUTTON
};

// The timer that polls the driver's threads.
inline constexpr unsigned kDriverTimerId = 4711;

// What a window delivers to the dialog logic, always on the UI thread.
class DialogHandlers {
public:
    virtual ~DialogHandlers() = default;

    // Once, after the window and its controls exist and before it is shown; the window has
    // set its icons and the bold font of kServerVersion. The result is the window system's
    // "set the default focus" answer.
    virtual bool OnInitDialog() = 0;
    // Every tick of a timer started with StartTimer (the id as given there).
    virtual void OnTimer(unsigned id) = 0;
    // A click of one of the buttons, the check box or a radio button (a DialogControl id).
    virtual void OnButton(int controlId) = 0;
    // A close request: the title bar, Alt+F4, the system menu or PostClose.
    virtual void OnClose() = 0;
};

class DialogWindow {
public:
    virtual ~DialogWindow() = default;

    // Creates the window and runs it modally: calls handlers.OnInitDialog(), then delivers
    // timer ticks, button clicks and close requests to the handlers on this (the UI) thread
    // until EndModal; returns the end code (-1 when the window could not be created).
    // Escape never closes or cancels the window.
    virtual std::int32_t RunModal(DialogHandlers& handlers) = 0;

    virtual void ShowControl(int id, bool visible) = 0;
    virtual void EnableControl(int id, bool enabled) = 0;
    virtual void SetControlText(int id, const std::wstring& text) = 0;
    virtual void SetWindowTitle(const std::wstring& title) = 0;
    // Non-zero when checked (the radio handler tests for exactly 1).
    virtual int GetCheck(int id) = 0;
    virtual void SetCheck(int id, int state) = 0;
    virtual void SetFocusTo(int id) = 0;
    // May be called from any thread (download progress).
    virtual void SetProgressPosition(int position) = 0;
    virtual int GetProgressUpperLimit() = 0;

    virtual void StartTimer(unsigned id, unsigned intervalMs) = 0;
    virtual void StopTimer(unsigned id) = 0;
    // Posts a close request to itself (WM_CLOSE); delivered later to the dialog's OnClose.
    virtual void PostClose() = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::wstring& caption, const std::wstring& question) = 0;

    // While showing is not allowed, every request to show the window is dropped: the
    // template's own visibility, ShowNormal, MoveTo. Not allowed until the first call.
    // Both may be called from any thread.
    virtual void SetShowAllowed(bool allowed) = 0;
    virtual bool IsShowAllowed() const = 0;

    // Shows the window normally (dropped while showing is not allowed).
    virtual void ShowNormal() = 0;
    // May be called from any thread (the worker hand-off hides the window from its own).
    virtual void Hide() = 0;
    // Top of the z-order without moving, sizing or redrawing.
    virtual void BringToTop() = 0;
    // Moves the window without sizing; also asks to show it (dropped while not allowed).
    virtual void MoveTo(int x, int y) = 0;
    // The window's top-left screen corner; false when there is no window. Any thread.
    virtual bool GetScreenTopLeft(int& left, int& top) = 0;
    virtual void EnableSystemClose() = 0;
    virtual void EndModal(std::int32_t code) = 0;

    // The header band: title, second line, and the banner picture (a BMP file, or empty for
    // the built-in bitmap 130). A file that cannot be loaded as a bitmap leaves the band
    // without a picture, at its default height.
    virtual void CreateHeader(const std::wstring& title, const std::wstring& secondLine) = 0;
    virtual void SetHeaderSecondLine(const std::wstring& secondLine) = 0;
    virtual void SetBanner(const std::wstring& bmpPath) = 0;
};

// The window of this platform: dialog template 103 on Windows, the console window elsewhere.
std::unique_ptr<DialogWindow> CreatePlatformDialogWindow();

} // namespace qrnv
