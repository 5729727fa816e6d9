#pragma once
// The window the dialog logic drives: the operations the logic needs of a dialog window,
// offered by the Win32 window (dialog template 103) and by the console window.

#include <cstdint>
#include <string>

namespace qrnv {

class Dialog;

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

class DialogWindow {
public:
    virtual ~DialogWindow() = default;

    // Creates the window for the dialog and runs it modally: calls dialog.OnInitDialog(),
    // then delivers timer ticks, button clicks and close requests to the dialog's handlers
    // on this (the UI) thread until EndModal; returns the end code (-1 when the window
    // could not be created).
    virtual std::int32_t RunModal(Dialog& dialog) = 0;

    virtual void ShowControl(int id, bool visible) = 0;
    virtual void EnableControl(int id, bool enabled) = 0;
    virtual void SetControlText(int id, const std::wstring& text) = 0;
    virtual void SetWindowTitle(const std::wstring& title) = 0;
    // Non-zero when checked (the radio handler tests for exactly 1).
    virtual int GetCheck(int id) = 0;
    virtual void SetCheck(int id, int state) = 0;
    virtual void SetFocusTo(int id) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual int GetProgressUpperLimit() = 0;

    virtual void StartTimer(unsigned id, unsigned intervalMs) = 0;
    virtual void StopTimer(unsigned id) = 0;
    // Posts a close request to itself (WM_CLOSE); delivered later to the dialog's OnClose.
    virtual void PostClose() = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::wstring& caption, const std::wstring& question) = 0;

    // Shows the window normally (dropped while showing is not allowed).
    virtual void ShowNormal() = 0;
    virtual void Hide() = 0;
    // Top of the z-order without moving, sizing or redrawing.
    virtual void BringToTop() = 0;
    // Moves the window without sizing; also asks to show it (dropped while not allowed).
    virtual void MoveTo(int x, int y) = 0;
    virtual bool GetScreenTopLeft(int& left, int& top) = 0;
    virtual void EnableSystemClose() = 0;
    virtual void EndModal(std::int32_t code) = 0;

    // The header band: title, second line, and the banner picture (a BMP file, or empty for
    // the built-in bitmap 130).
    virtual void CreateHeader(const std::wstring& title, const std::wstring& secondLine) = 0;
    virtual void SetHeaderSecondLine(const std::wstring& secondLine) = 0;
    virtual void SetBanner(const std::wstring& bmpPath) = 0;
};

} // namespace qrnv
