#pragma once
// Reading and working a dialog window of another process from outside, as the GUI flows
// need it: each control's text, visibility and enabled state by id, clicks on visible and
// enabled controls only, the Yes/No box, screenshots, and the displays of template 103.
// Every check is counted; a failed one is printed with the step it belongs to.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/WinInclude.h"

namespace qrnv::gui {

inline constexpr DWORD kWaitMs = 15000;
inline constexpr UINT kSendTimeoutMs = 5000;

// One control as a display should have it; a text of nullopt is not compared.
struct Expect {
    int mId;
    const char* mName;
    bool mVisible;
    bool mEnabled;
    std::optional<std::wstring> mText;
};

std::string Narrow(const std::wstring& text);

class WindowChecks {
public:
    WindowChecks(std::wstring shotFolder, std::wstring flow, std::int32_t language);
    virtual ~WindowChecks();
    WindowChecks(const WindowChecks&) = delete;
    WindowChecks& operator=(const WindowChecks&) = delete;

    int Checks() const { return mChecks; }
    // A window's text, answered by the window's own thread.
    static std::wstring TitleOf(HWND window);
    int Failures() const { return mFailures; }

protected:
    void Fail(const std::string& what);
    bool Check(bool ok, const std::string& what);
    void CheckEqual(const std::wstring& expected, const std::wstring& actual, const std::string& what);
    void CheckEqual(long long expected, long long actual, const std::string& what);
    void Step(const std::string& step);

    const std::wstring& T(int row) const;

    // A top-level dialog-class window with this title, of the process (0: of any process).
    HWND WaitForWindow(const std::wstring& title, HWND except, DWORD processId, DWORD waitMs = kWaitMs);
    static std::wstring WindowText(HWND window);
    HWND Item(int id) const { return GetDlgItem(mDialog, id); }
    // The control's own visible style: it holds also while the whole dialog is hidden.
    bool Shown(int id) const { return (GetWindowLongW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Also checks that each shown control's text fits it (ExpectTextsFit).
    void ExpectControls(const std::vector<Expect>& expected);
    // Every shown static text, button, radio button and check box: its text, laid out as
    // the control lays it out in the dialog font, fits the control (no cut-off line).
    void ExpectTextsFit(const std::vector<Expect>& controls);
    void ExpectBandHeight(int height);
    void ExpectFocus(int id, const char* name);
    void ExpectCentred();
    // Clicks as a user can: only a control that is visible and enabled.
    void Click(int id, const char* name);
    // The Yes/No box of the dialog's process: a dialog-class window with the caption, the
    // question in one of its texts; a screenshot of it, then its Yes or No button.
    bool AnswerBox(bool yes, const std::wstring& caption, const std::wstring& question, const std::string& shot);
    // The screen around the process's visible windows (the whole screen when none shows),
    // as <folder>/<flow>-<n>-<name>.png.
    void Screenshot(const std::string& name);

    // The displays of template 103 for the product of GuiScript.h.
    std::vector<Expect> CheckServerDisplay();
    std::vector<Expect> UpgradeOfferDisplay();
    std::vector<Expect> UpdateOfferDisplay(bool checkBox);
    std::vector<Expect> InProgressDisplay(int messageRow, int closeRow);
    std::vector<Expect> UpToDateDisplay();
    std::vector<Expect> ErrorDisplay();

    std::wstring mShotFolder;
    std::wstring mFlow;
    std::int32_t mLanguage;
    HANDLE mProcess = nullptr; // terminated at the end when it still runs
    DWORD mProcessId = 0;
    HWND mDialog = nullptr;

private:
    std::string mStep = "start";
    int mChecks = 0;
    int mFailures = 0;
    int mShot = 0;
};

} // namespace qrnv::gui
