#pragma once
// The dialog window in a terminal: while the window is shown it draws the dialog (title,
// header band, banner, message and the visible controls with their state) on its output,
// anew after every change, and reads one action per line from its input:
//
//   click install | click close | click continue    the three push buttons
//   check dontshowagain                              the check box
//   radio installnow | remindlater | dontshowagain   the radio buttons
//   close                                            the window's own close
//   yes | no                                         the answer to an open question
//
// A hidden window takes no input, as a hidden window gets no clicks; in the silent modes it
// is never shown and never reads. A closed input counts as the window's close, and a
// question it leaves open as No. The modal loop waits in poll() for input or the next timer
// tick and delivers both on the UI thread.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "Client/ui/DialogWindow.h"

namespace qrnv {

class ConsoleWindow final : public DialogWindow {
public:
    ConsoleWindow(int inputFd, int outputFd);
    ~ConsoleWindow() override = default;

    std::int32_t RunModal(DialogHandlers& handlers) override;

    void ShowControl(int id, bool visible) override;
    void EnableControl(int id, bool enabled) override;
    void SetControlText(int id, const std::wstring& text) override;
    void SetWindowTitle(const std::wstring& title) override;
    int GetCheck(int id) override;
    void SetCheck(int id, int state) override;
    void SetFocusTo(int id) override;
    void SetProgressPosition(int position) override;
    int GetProgressUpperLimit() override;
    void StartTimer(unsigned id, unsigned intervalMs) override;
    void StopTimer(unsigned id) override;
    void PostClose() override;
    bool AskYesNo(const std::wstring& caption, const std::wstring& question) override;
    void SetShowAllowed(bool allowed) override;
    bool IsShowAllowed() const override;
    void ShowNormal() override;
    void Hide() override;
    void BringToTop() override;
    void MoveTo(int x, int y) override;
    bool GetScreenTopLeft(int& left, int& top) override;
    void EnableSystemClose() override;
    void EndModal(std::int32_t code) override;
    void CreateHeader(const std::wstring& title, const std::wstring& secondLine) override;
    void SetHeaderSecondLine(const std::wstring& secondLine) override;
    void SetBanner(const std::wstring& bmpPath) override;

    // The dialog as the terminal shows it (also while hidden).
    std::wstring Render() const;
    bool IsShown() const;

    // The progress bar's range: 0 to this.
    static constexpr int kProgressRange = 100;

private:
    using Clock = std::chrono::steady_clock;

    struct Control {
        std::wstring text;
        bool visible = false;
        bool enabled = true;
        int check = 0;
    };
    struct Timer {
        unsigned intervalMs = 0;
        Clock::time_point next;
    };

    // One wait for input or the next tick, and what it brought; false when nothing can reach
    // the dialog any more and the run was ended.
    bool WaitAndDispatch(DialogHandlers& handlers);
    // Waits for input or a tick; ticks are delivered to the dialog. False when no source of
    // events is left. readInput says whether the input is read at all.
    bool WaitOnce(DialogHandlers& handlers, bool readInput);
    void DeliverDueTicks(DialogHandlers& handlers);
    void ReadInput();
    bool TakeLine(std::string& line);
    void HandleLine(DialogHandlers& handlers, const std::string& line);
    bool Clickable(int id, std::wstring& why);
    void Print(const std::wstring& text);
    void DrawIfChanged();
    void RequestShow();
    void Changed();

    const int mIn;
    const int mOut;
    DialogHandlers* mHandlers = nullptr;

    mutable std::mutex mLock;
    std::map<int, Control> mControls;
    std::wstring mTitle;
    std::wstring mHeaderTitle;
    std::wstring mHeaderSecondLine;
    std::wstring mBannerPath;
    bool mHeaderCreated = false;
    bool mBannerSet = false;
    int mProgress = 0;
    int mFocus = 0;
    int mX = 0;
    int mY = 0;
    bool mShown = false;
    bool mShowAllowed = false;
    bool mSystemClose = true;
    bool mDirty = true;
    // Counts every change of what the window shows.
    unsigned long long mChanges = 0;
    bool mEnded = false;
    std::int32_t mCode = 0;

    std::map<unsigned, Timer> mTimers;
    int mPendingCloses = 0;

    std::string mInputBuffer;
    bool mInputOpen = true;
    bool mInputEndPending = false;
    // What the window showed when the closed input last closed it: once it shows something
    // else, the dialog has moved on and the close is tried once more.
    unsigned long long mChangesAtInputClose = ~0ull;
};

} // namespace qrnv
