// The GUI test driver: starts the test subject, finds its dialog window from outside (class
// #32770 of the subject's process), reads every control's text, visibility and enabled state
// by id, clicks buttons as a user would (only visible, enabled ones), answers the message box
// and takes a screenshot of the screen at each display.
//
// usage: qrnv_gui_driver <subject.exe> <screenshot folder, as a Linux path> <flow> <language id>
// flows: offers, uptodate, error, hidden. Exit code 0 when every check held.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Client/ProgramInfoAccess.h"
#include "Client/ui/DialogWindow.h"
#include "Client/ui/Texts.h"
#include "GuiScript.h"
#include "sdk/WinInclude.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

#include <commctrl.h>

namespace qrnv::gui {
namespace {

constexpr DWORD kWaitMs = 15000;
constexpr UINT kSendTimeoutMs = 5000;

struct Expect {
    int mId;
    const char* mName;
    bool mVisible;
    bool mEnabled;
    std::optional<std::wstring> mText;
};

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

class Driver {
public:
    Driver(std::wstring subject, std::wstring shotFolder, std::wstring flow, std::int32_t language)
        : mSubject(std::move(subject)), mShotFolder(std::move(shotFolder)), mFlow(std::move(flow)),
          mLanguage(language)
    {
        mToken = std::to_wstring(GetCurrentProcessId()) + L"-" + mFlow + L"-" + std::to_wstring(language);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        mLogPath = std::wstring(temp) + L"qrnv-gui-" + mToken + L".log";
        mNext = CreateEventW(nullptr, FALSE, FALSE, NextEventName(mToken).c_str());
        mEntered = CreateEventW(nullptr, FALSE, FALSE, EnteredEventName(mToken).c_str());
    }

    ~Driver()
    {
        if (mProcess) {
            if (WaitForSingleObject(mProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(mProcess, 99);
            }
            CloseHandle(mProcess);
        }
        CloseHandle(mNext);
        CloseHandle(mEntered);
        DeleteFileW(mLogPath.c_str());
    }

    int Run()
    {
        std::printf("--- flow %s, language %d\n", Narrow(mFlow).c_str(), mLanguage);
        if (mFlow == L"offers") {
            FlowOffers();
        } else if (mFlow == L"uptodate") {
            FlowUpToDate();
        } else if (mFlow == L"error") {
            FlowError();
        } else if (mFlow == L"hidden") {
            FlowHidden();
        } else {
            Fail("unknown flow");
        }
        std::printf("--- flow %s, language %d: %s (%d checks, %d failed)\n", Narrow(mFlow).c_str(), mLanguage,
                    mFailures == 0 ? "ok" : "FAILED", mChecks, mFailures);
        std::fflush(stdout);
        return mFailures == 0 ? 0 : 1;
    }

private:
    // --- checks

    void Fail(const std::string& what)
    {
        ++mFailures;
        std::printf("FAIL [%s]: %s\n", mStep.c_str(), what.c_str());
        std::fflush(stdout);
    }
    bool Check(bool ok, const std::string& what)
    {
        ++mChecks;
        if (!ok) {
            Fail(what);
        }
        return ok;
    }
    void CheckEqual(const std::wstring& expected, const std::wstring& actual, const std::string& what)
    {
        Check(expected == actual, what + ": expected \"" + Narrow(expected) + "\", got \"" + Narrow(actual) + "\"");
    }
    void CheckEqual(long long expected, long long actual, const std::string& what)
    {
        Check(expected == actual,
              what + ": expected " + std::to_string(expected) + ", got " + std::to_string(actual));
    }
    void Step(const std::string& step)
    {
        mStep = step;
        std::printf("step %s\n", step.c_str());
        std::fflush(stdout);
    }

    const std::wstring& T(int row) const { return GetText(row, mLanguage); }

    // --- the subject

    bool Start(const std::wstring& arguments)
    {
        std::wstring line = L"\"" + mSubject + L"\" -language " + std::to_wstring(mLanguage) + L" -token " + mToken
            + L" -log \"" + mLogPath + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!Check(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)
                       != FALSE,
                   "the subject starts")) {
            return false;
        }
        CloseHandle(info.hThread);
        mProcess = info.hProcess;
        mProcessId = info.dwProcessId;
        if (!Check(WaitForSingleObject(mEntered, kWaitMs) == WAIT_OBJECT_0, "the subject enters its first display")) {
            return false;
        }
        mDialog = WaitForWindow(T(kTextProductName) + L" " + kRenovaVersion, nullptr);
        return Check(mDialog != nullptr, "the dialog window of the subject is found by class and title");
    }

    struct FindWindowQuery {
        DWORD mProcessId;
        std::wstring mTitle;
        HWND mExcept;
        HWND mFound;
    };

    static BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
    {
        auto* query = reinterpret_cast<FindWindowQuery*>(parameter);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        wchar_t className[64] = {};
        GetClassNameW(window, className, 64);
        if (process != query->mProcessId || window == query->mExcept || std::wstring(className) != L"#32770") {
            return TRUE;
        }
        if (WindowText(window) != query->mTitle) {
            return TRUE;
        }
        query->mFound = window;
        return FALSE;
    }

    // A top-level dialog-class window of the subject with this title.
    HWND WaitForWindow(const std::wstring& title, HWND except)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < kWaitMs) {
            FindWindowQuery query{mProcessId, title, except, nullptr};
            EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&query));
            if (query.mFound) {
                return query.mFound;
            }
            Sleep(50);
        }
        return nullptr;
    }

    void Next(const std::string& what)
    {
        SetEvent(mNext);
        Check(WaitForSingleObject(mEntered, kWaitMs) == WAIT_OBJECT_0, "the subject enters the next display: " + what);
    }

    void ExpectEnded(std::int32_t code)
    {
        Step("end");
        if (!Check(WaitForSingleObject(mProcess, kWaitMs) == WAIT_OBJECT_0, "the subject ends")) {
            for (const auto& line : LogLines()) {
                std::printf("  subject: %s\n", Narrow(line).c_str());
            }
            return;
        }
        DWORD exitCode = 0;
        GetExitCodeProcess(mProcess, &exitCode);
        CheckEqual(code, static_cast<std::int32_t>(exitCode), "exit code (the RunModal result)");
        CheckEqual(1, CountLog(FormatText(L"RunModal %d", code)), "RunModal returned the code of EndModal");
    }

    std::vector<std::wstring> LogLines()
    {
        std::vector<std::wstring> lines;
        HANDLE file = CreateFileW(mLogPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return lines;
        }
        std::string bytes;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            bytes.append(buffer, got);
        }
        CloseHandle(file);
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find('\n', start);
            if (end == std::string::npos) {
                end = bytes.size();
            }
            lines.push_back(Utf8ToWide(bytes.substr(start, end - start)));
            start = end + 1;
        }
        return lines;
    }

    int CountLog(const std::wstring& line)
    {
        int count = 0;
        for (const auto& l : LogLines()) {
            count += l == line ? 1 : 0;
        }
        return count;
    }

    bool WaitForLog(const std::wstring& line)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < kWaitMs) {
            if (CountLog(line) > 0) {
                return true;
            }
            Sleep(50);
        }
        return false;
    }

    // --- reading the window from outside

    static std::wstring WindowText(HWND window)
    {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
            return L"<no answer>";
        }
        std::wstring text(length + 1, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                            kSendTimeoutMs, &copied);
        text.resize(copied);
        return text;
    }

    HWND Item(int id) const { return GetDlgItem(mDialog, id); }

    // The control's own visible style: it holds also while the whole dialog is hidden.
    bool Shown(int id) const { return (GetWindowLongW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }

    LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
            Fail("no answer to message " + std::to_string(message));
        }
        return static_cast<LRESULT>(result);
    }

    void ExpectControls(const std::vector<Expect>& expected)
    {
        for (const Expect& e : expected) {
            HWND control = Item(e.mId);
            if (!Check(control != nullptr, std::string(e.mName) + " exists")) {
                continue;
            }
            Check(Shown(e.mId) == e.mVisible, std::string(e.mName) + (e.mVisible ? " is shown" : " is hidden"));
            Check((IsWindowEnabled(control) != FALSE) == e.mEnabled,
                  std::string(e.mName) + (e.mEnabled ? " is enabled" : " is disabled"));
            if (e.mText) {
                CheckEqual(*e.mText, WindowText(control), std::string(e.mName) + " text");
            }
        }
    }

    void ExpectBandHeight(int height)
    {
        HWND band = Item(kBandId);
        if (!Check(band != nullptr, "the header band (id 103) exists")) {
            return;
        }
        RECT bandRect{};
        RECT dialogClient{};
        GetClientRect(band, &bandRect);
        GetClientRect(mDialog, &dialogClient);
        CheckEqual(height, bandRect.bottom, "header band height");
        CheckEqual(dialogClient.right, bandRect.right, "header band spans the client width");
        POINT origin{0, 0};
        MapWindowPoints(band, mDialog, &origin, 1);
        Check(origin.x == 0 && origin.y == 0, "header band at the client's top left");
    }

    void ExpectFocus(int id, const char* name)
    {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        const DWORD thread = GetWindowThreadProcessId(mDialog, nullptr);
        Check(GetGUIThreadInfo(thread, &info) && info.hwndFocus == Item(id), std::string("keyboard focus on ") + name);
    }

    // Clicks as a user can: only a control that is visible and enabled.
    void Click(int id, const char* name)
    {
        HWND control = Item(id);
        if (!Check(control && IsWindowVisible(control) && IsWindowEnabled(control),
                   std::string(name) + " can be clicked (visible and enabled)")) {
            return;
        }
        Send(control, BM_CLICK);
    }

    // The Yes/No box: a dialog-class window of the subject with the caption, the question in
    // one of its texts; answered with its Yes or No button.
    void AnswerQuestion(bool yes, const std::string& shot)
    {
        HWND box = WaitForWindow(T(26), mDialog);
        if (!Check(box != nullptr, "the close question appears with its caption")) {
            return;
        }
        bool found = false;
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            found = found || WindowText(child) == T(27);
        }
        Check(found, "the close question asks: " + Narrow(T(27)));
        HWND yesButton = GetDlgItem(box, IDYES);
        HWND noButton = GetDlgItem(box, IDNO);
        Check(yesButton && noButton, "the question has Yes and No");
        Screenshot(shot);
        if (HWND button = yes ? yesButton : noButton) {
            Send(button, BM_CLICK);
        }
        Check(WaitForLog(yes ? L"AskYesNo yes" : L"AskYesNo no"), "the subject gets the answer");
    }

    // --- screenshots: ImageMagick's import on the Linux side, started through Wine (which
    // does not wait for Linux programs; the file appears under its name when done).

    void Screenshot(const std::string& name)
    {
        Sleep(400); // let the subject paint what it just changed
        Send(mDialog, WM_NULL);
        const std::wstring base = mShotFolder + L"/" + mFlow + L"-" + std::to_wstring(++mShot) + L"-" + Utf8ToWide(name);
        const std::wstring command = L"Z:\\bin\\sh -c \"/usr/bin/import -window root '" + base + L".tmp.png' && mv '"
            + base + L".tmp.png' '" + base + L".png'\"";
        std::wstring windowsPath = L"Z:" + base + L".png";
        for (auto& c : windowsPath) {
            c = c == L'/' ? L'\\' : c;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring line = command;
        if (!Check(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)
                       != FALSE,
                   "the screenshot program starts")) {
            return;
        }
        // Wine runs a Linux program outside its own process list and fills info with values
        // that are no handles (closing them closed one of ours): it is left alone.
        const DWORD start = GetTickCount();
        while (GetFileAttributesW(windowsPath.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < kWaitMs) {
            Sleep(50);
        }
        Check(GetFileAttributesW(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES, "screenshot " + Narrow(base) + ".png");
    }

    // --- expected displays (the controls of template 103 in each)

    std::vector<Expect> CheckServerDisplay()
    {
        return {
            {kMessageText, "LBL_MESSAGE_TEXT", true, true, T(14)},
            {kProgressBar, "progress bar", false, true, std::nullopt},
            {kDownloadProgressText, "LBL_DOWNLOAD_PROGRESS", false, true, L""},
            {kServerVersionText, "LBL_SERVER_VERSION_TEXT", false, true, T(25)},
            {kServerVersion, "LBL_SERVER_VERSION", false, true, L""},
            {kRadioInstallNow, "radInstallNow", false, true, T(59)},
            {kRadioRemindLater, "radRemindMeLater", false, true, T(55)},
            {kRadioDontShowAgain, "radDontShowAgain", false, true, T(57)},
            {kCheckDontShowAgain, "CHK_DONT_SHOW_AGAIN", false, true, T(7)},
            {kUpdateNowButton, "UPDATE_NOW_BUTTON", true, false, T(5)},
            {kContinueButton, "CONTINUE_BUTTON", false, false, T(54)},
            {kCloseButton, "CLOSE_BUTTON", true, true, T(6)},
        };
    }

    std::vector<Expect> UpgradeOfferDisplay()
    {
        return {
            {kMessageText, "LBL_MESSAGE_TEXT", true, true, T(56)},
            {kProgressBar, "progress bar", false, true, std::nullopt},
            {kServerVersionText, "LBL_SERVER_VERSION_TEXT", true, true, T(25)},
            {kServerVersion, "LBL_SERVER_VERSION", true, true,
             DoubleAmpersands(FormatText(T(58), kProductTitle, kUpgradeMajorVersion))},
            {kRadioInstallNow, "radInstallNow", true, true, T(59)},
            {kRadioRemindLater, "radRemindMeLater", true, true, T(55)},
            {kRadioDontShowAgain, "radDontShowAgain", true, true, T(57)},
            {kCheckDontShowAgain, "CHK_DONT_SHOW_AGAIN", false, true, std::nullopt},
            {kUpdateNowButton, "UPDATE_NOW_BUTTON", false, false, std::nullopt},
            {kContinueButton, "CONTINUE_BUTTON", true, false, T(54)},
            {kCloseButton, "CLOSE_BUTTON", false, true, std::nullopt},
        };
    }

    std::vector<Expect> UpdateOfferDisplay(bool checkBox)
    {
        return {
            {kMessageText, "LBL_MESSAGE_TEXT", true, true, T(0)},
            {kProgressBar, "progress bar", false, true, std::nullopt},
            {kServerVersionText, "LBL_SERVER_VERSION_TEXT", true, true, T(25)},
            {kServerVersion, "LBL_SERVER_VERSION", true, true, kOfferedVersion},
            {kRadioInstallNow, "radInstallNow", false, true, std::nullopt},
            {kRadioRemindLater, "radRemindMeLater", false, true, std::nullopt},
            {kRadioDontShowAgain, "radDontShowAgain", false, true, std::nullopt},
            {kCheckDontShowAgain, "CHK_DONT_SHOW_AGAIN", checkBox, true, T(7)},
            {kUpdateNowButton, "UPDATE_NOW_BUTTON", true, true, T(5)},
            {kContinueButton, "CONTINUE_BUTTON", false, false, std::nullopt},
            {kCloseButton, "CLOSE_BUTTON", true, true, T(6)},
        };
    }

    std::vector<Expect> InProgressDisplay(int messageRow, int closeRow)
    {
        return {
            {kMessageText, "LBL_MESSAGE_TEXT", true, true, T(messageRow)},
            {kProgressBar, "progress bar", true, true, std::nullopt},
            {kServerVersionText, "LBL_SERVER_VERSION_TEXT", false, true, std::nullopt},
            {kServerVersion, "LBL_SERVER_VERSION", false, true, std::nullopt},
            {kRadioInstallNow, "radInstallNow", false, true, std::nullopt},
            {kCheckDontShowAgain, "CHK_DONT_SHOW_AGAIN", false, true, std::nullopt},
            {kUpdateNowButton, "UPDATE_NOW_BUTTON", false, true, std::nullopt},
            {kContinueButton, "CONTINUE_BUTTON", false, false, std::nullopt},
            {kCloseButton, "CLOSE_BUTTON", true, true, T(closeRow)},
        };
    }

    std::vector<Expect> UpToDateDisplay()
    {
        return {
            {kMessageText, "LBL_MESSAGE_TEXT", true, true, T(1)},
            {kProgressBar, "progress bar", false, true, std::nullopt},
            {kServerVersionText, "LBL_SERVER_VERSION_TEXT", false, true, std::nullopt},
            {kServerVersion, "LBL_SERVER_VERSION", false, true, kProgramVersion},
            {kRadioInstallNow, "radInstallNow", false, true, std::nullopt},
            {kCheckDontShowAgain, "CHK_DONT_SHOW_AGAIN", false, true, std::nullopt},
            {kUpdateNowButton, "UPDATE_NOW_BUTTON", false, false, std::nullopt},
            {kContinueButton, "CONTINUE_BUTTON", false, false, std::nullopt},
            {kCloseButton, "CLOSE_BUTTON", true, true, T(34)},
        };
    }

    std::vector<Expect> ErrorDisplay()
    {
        return {
            {kMessageText, "LBL_MESSAGE_TEXT", true, true, DoubleAmpersands(T(48))},
            {kProgressBar, "progress bar", false, true, std::nullopt},
            {kServerVersionText, "LBL_SERVER_VERSION_TEXT", false, true, std::nullopt},
            {kServerVersion, "LBL_SERVER_VERSION", false, true, std::nullopt},
            {kRadioInstallNow, "radInstallNow", false, true, std::nullopt},
            {kUpdateNowButton, "UPDATE_NOW_BUTTON", true, false, T(5)},
            {kContinueButton, "CONTINUE_BUTTON", false, false, std::nullopt},
            {kCloseButton, "CLOSE_BUTTON", true, true, T(34)},
        };
    }

    // --- what holds for every dialog of the flows

    void ExpectTemplateGeometry()
    {
        RECT close{};
        RECT cont{};
        RECT install{};
        GetWindowRect(Item(kCloseButton), &close);
        GetWindowRect(Item(kContinueButton), &cont);
        GetWindowRect(Item(kUpdateNowButton), &install);
        Check(EqualRect(&close, &cont) != FALSE, "CONTINUE_BUTTON and CLOSE_BUTTON share one place");
        Check(install.right < close.left && install.top == close.top, "UPDATE_NOW_BUTTON left of CLOSE_BUTTON, same row");
        const LONG style = GetWindowLongW(mDialog, GWL_STYLE);
        const LONG exStyle = GetWindowLongW(mDialog, GWL_EXSTYLE);
        Check((style & (WS_CAPTION | WS_SYSMENU | WS_POPUP | DS_MODALFRAME)) == (WS_CAPTION | WS_SYSMENU | WS_POPUP | DS_MODALFRAME),
              "dialog style: popup, caption, system menu, modal frame");
        Check((exStyle & WS_EX_APPWINDOW) != 0, "dialog extended style: application window");
        Check((GetWindowLongW(Item(kProgressBar), GWL_STYLE) & PBS_SMOOTH) != 0, "the progress bar is smooth");
        // Wine answers WM_QUERYDRAGICON only within the process: the subject reports it.
        Check(WaitForLog(L"icons set, drag icon is the big icon"), "window icons set; WM_QUERYDRAGICON gives the big one");
    }

    void ExpectCentred()
    {
        RECT window{};
        GetWindowRect(mDialog, &window);
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const int dx = (window.left - work.left) - (work.right - window.right);
        const int dy = (window.top - work.top) - (work.bottom - window.bottom);
        Check(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2, "the dialog is centred on the screen");
    }

    // Escape, posted as the keyboard would send it, reaches no handler; a posted timer tick
    // behind it shows that the subject has handled everything before it.
    void ExpectEscapeIgnored()
    {
        HWND target = Item(kCloseButton);
        PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(target, WM_CHAR, 27, 0x00010001);
        PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        PostMessageW(mDialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(mDialog, WM_TIMER, 99, 0);
        Check(WaitForLog(L"OnTimer 99"), "the tick after Escape arrives");
        for (const auto& line : LogLines()) {
            Check(line.rfind(L"OnClose", 0) != 0 && line.rfind(L"OnButton", 0) != 0 && line.rfind(L"EndModal", 0) != 0,
                  "Escape calls no handler (log: " + Narrow(line) + ")");
        }
        Check(IsWindow(mDialog) && IsWindowVisible(mDialog), "the dialog is still open after Escape");
    }

    // --- the flows

    void FlowOffers()
    {
        Step("check server");
        if (!Start(L"-displays upgrade,update,success")) {
            return;
        }
        Check(IsWindowVisible(mDialog) != FALSE, "the dialog is visible");
        ExpectControls(CheckServerDisplay());
        ExpectBandHeight(kBandHeightDefaultBanner);
        ExpectTemplateGeometry();
        ExpectCentred();
        Check(WaitForLog(L"OnTimer 4711"), "timer 4711 ticks reach OnTimer");
        Screenshot("check");

        Step("escape");
        ExpectEscapeIgnored();

        Step("close asked, answered no");
        Click(kCloseButton, "CLOSE_BUTTON");
        AnswerQuestion(false, "check-close-question");
        Check(CountLog(FormatText(L"OnButton %d", static_cast<int>(kCloseButton))) == 1, "the click reached OnButton");
        CheckEqual(1, CountLog(L"OnClose"), "the posted close reached OnClose");
        Check(IsWindowVisible(mDialog) != FALSE, "No keeps the dialog open");
        ExpectControls({{kMessageText, "LBL_MESSAGE_TEXT", true, true, T(14)}});

        Step("upgrade offer");
        Next("upgrade offer");
        ExpectControls(UpgradeOfferDisplay());
        ExpectFocus(kRadioInstallNow, "radInstallNow");
        Screenshot("upgrade-offer");
        Click(kRadioRemindLater, "radRemindMeLater");
        CheckEqual(BST_CHECKED, Send(Item(kRadioRemindLater), BM_GETCHECK), "radRemindMeLater checked");
        CheckEqual(BST_UNCHECKED, Send(Item(kRadioInstallNow), BM_GETCHECK), "radInstallNow not checked");
        ExpectControls({{kContinueButton, "CONTINUE_BUTTON", true, true, T(54)}});
        Screenshot("upgrade-offer-chosen");

        Step("update offer");
        Click(kContinueButton, "CONTINUE_BUTTON");
        Check(WaitForSingleObject(mEntered, kWaitMs) == WAIT_OBJECT_0, "Continue enters the update offer");
        ExpectControls(UpdateOfferDisplay(false));
        Screenshot("update-offer");

        Step("update in progress");
        Click(kUpdateNowButton, "UPDATE_NOW_BUTTON");
        Check(WaitForSingleObject(mEntered, kWaitMs) == WAIT_OBJECT_0, "Install enters the update in progress");
        ExpectControls(InProgressDisplay(8, 32));
        Screenshot("update-in-progress");

        Step("update successful");
        Next("update successful");
        ExpectControls(InProgressDisplay(10, 34));
        const LRESULT upper = Send(Item(kProgressBar), PBM_GETRANGE, FALSE, 0);
        CheckEqual(100, upper, "progress range's upper end");
        CheckEqual(upper, Send(Item(kProgressBar), PBM_GETPOS), "progress at the upper end");
        ExpectBandHeight(kTestBannerHeight + 2);
        Screenshot("update-successful");
        Click(kCloseButton, "CLOSE_BUTTON");
        ExpectEnded(8);
    }

    void FlowUpToDate()
    {
        Step("check server");
        if (!Start(L"-displays uptodate")) {
            return;
        }
        ExpectControls(CheckServerDisplay());
        Step("up to date");
        Next("up to date");
        ExpectControls(UpToDateDisplay());
        Screenshot("up-to-date");
        Click(kCloseButton, "CLOSE_BUTTON");
        ExpectEnded(0);
    }

    void FlowError()
    {
        Step("check server");
        if (!Start(L"-displays error")) {
            return;
        }
        ExpectBandHeight(kBandHeightDefaultBanner);
        Step("general error");
        Next("general error");
        ExpectControls(ErrorDisplay());
        // The subject gives the band a file that is not a bitmap: no picture, default height.
        ExpectBandHeight(kBandHeightNoBanner);
        Screenshot("error");
        Click(kCloseButton, "CLOSE_BUTTON");
        ExpectEnded(1);
    }

    void FlowHidden()
    {
        Step("check server, hidden");
        if (!Start(L"-hidden -checkbox -windowrec \"100 200\" -displays update,handoff")) {
            return;
        }
        Check(!IsWindowVisible(mDialog), "the dialog stays hidden while showing is not allowed");
        ExpectControls(CheckServerDisplay());
        ExpectBandHeight(kBandHeightNoBanner);
        RECT window{};
        GetWindowRect(mDialog, &window);
        Check(window.left == 100 && window.top == 200, "the window rectangle's top left is (100, 200)");
        // Somebody else asking to show it changes nothing either.
        ShowWindow(mDialog, SW_SHOWNORMAL);
        Send(mDialog, WM_NULL);
        Check(!IsWindowVisible(mDialog), "a show request from outside is dropped");
        Screenshot("check-hidden");

        Step("update offer, made visible");
        Next("update offer");
        Check(IsWindowVisible(mDialog) != FALSE, "the offer makes the dialog visible");
        GetWindowRect(mDialog, &window);
        Check(window.left == 100 && window.top == 200, "still at (100, 200)");
        ExpectControls(UpdateOfferDisplay(true));
        ExpectBandHeight(kBandHeightDefaultBanner);
        Screenshot("update-offer");

        Step("don't show again ticked");
        Click(kCheckDontShowAgain, "CHK_DONT_SHOW_AGAIN");
        CheckEqual(BST_CHECKED, Send(Item(kCheckDontShowAgain), BM_GETCHECK), "the box is ticked");
        ExpectControls({{kUpdateNowButton, "UPDATE_NOW_BUTTON", true, false, T(5)},
                        {kCloseButton, "CLOSE_BUTTON", true, true, T(34)}});
        Screenshot("update-offer-dont-show");
        Step("don't show again cleared");
        Click(kCheckDontShowAgain, "CHK_DONT_SHOW_AGAIN");
        CheckEqual(BST_UNCHECKED, Send(Item(kCheckDontShowAgain), BM_GETCHECK), "the box is cleared");
        ExpectControls({{kUpdateNowButton, "UPDATE_NOW_BUTTON", true, true, T(5)},
                        {kCloseButton, "CLOSE_BUTTON", true, true, T(6)}});

        Step("closed from the system menu, answered no");
        PostMessageW(mDialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        AnswerQuestion(false, "update-offer-close-question");
        Check(IsWindowVisible(mDialog) != FALSE, "No keeps the dialog open");

        Step("hand-off from another thread");
        Next("hand-off");
        CheckEqual(1, CountLog(L"handoff thread done without the UI thread"),
                   "hiding, reading the position and moving the progress do not wait for the UI thread");
        CheckEqual(1, CountLog(L"handoff at 100 200"), "the other thread reads the window's top left");
        // Both arrive as posted messages: a sent query is answered before them, so wait.
        const DWORD start = GetTickCount();
        while ((IsWindowVisible(mDialog) || Send(Item(kProgressBar), PBM_GETPOS) != kHandOffProgress)
               && GetTickCount() - start < kWaitMs) {
            Sleep(50);
        }
        Check(!IsWindowVisible(mDialog), "the window is hidden");
        CheckEqual(kHandOffProgress, Send(Item(kProgressBar), PBM_GETPOS), "progress position set from the other thread");
        ShowWindow(mDialog, SW_SHOWNORMAL);
        Send(mDialog, WM_NULL);
        Check(!IsWindowVisible(mDialog), "showing is forbidden again");
        Screenshot("handed-off");

        Step("closed from the system menu while hidden, answered yes");
        PostMessageW(mDialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        AnswerQuestion(true, "handed-off-close-question");
        ExpectEnded(1);
    }

    std::wstring mSubject;
    std::wstring mShotFolder;
    std::wstring mFlow;
    std::int32_t mLanguage;
    std::wstring mToken;
    std::wstring mLogPath;
    HANDLE mNext = nullptr;
    HANDLE mEntered = nullptr;
    HANDLE mProcess = nullptr;
    DWORD mProcessId = 0;
    HWND mDialog = nullptr;
    std::string mStep = "start";
    int mChecks = 0;
    int mFailures = 0;
    int mShot = 0;
};

} // namespace
} // namespace qrnv::gui

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5) {
        std::printf("usage: qrnv_gui_driver <subject.exe> <screenshot folder> <flow> <language id>\n");
        return 2;
    }
    qrnv::gui::Driver driver(argv[1], argv[2], argv[3], _wtoi(argv[4]));
    return driver.Run();
}
