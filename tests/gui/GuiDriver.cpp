// The GUI test driver: starts the test subject, finds its dialog window from outside (class
// #32770 of the subject's process), reads every control's text, visibility and enabled state
// by id, clicks buttons as a user would (only visible, enabled ones), answers the message box
// and takes a screenshot of the screen at each display.
//
// usage: qrnv_gui_driver <subject.exe> <screenshot folder, as a Linux path> <flow> <language id>
// flows: offers, uptodate, error, hidden. Exit code 0 when every check held.
// With "client" first it runs the full client's flows instead (ClientFlows.h).

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Client/ProgramInfoAccess.h"
#include "Client/ui/DialogWindow.h"
#include "Client/ui/Texts.h"
#include "ClientFlows.h"
#include "GuiScript.h"
#include "WindowChecks.h"
#include "sdk/WinInclude.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

#include <commctrl.h>

namespace qrnv::gui {
namespace {

class Driver : public WindowChecks {
public:
    Driver(std::wstring subject, std::wstring shotFolder, std::wstring flow, std::int32_t language)
        : WindowChecks(std::move(shotFolder), std::move(flow), language), mSubject(std::move(subject))
    {
        mToken = std::to_wstring(GetCurrentProcessId()) + L"-" + mFlow + L"-" + std::to_wstring(language);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        mLogPath = std::wstring(temp) + L"qrnv-gui-" + mToken + L".log";
        mNext = CreateEventW(nullptr, FALSE, FALSE, NextEventName(mToken).c_str());
        mEntered = CreateEventW(nullptr, FALSE, FALSE, EnteredEventName(mToken).c_str());
    }

    ~Driver() override
    {
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
                    Failures() == 0 ? "ok" : "FAILED", Checks(), Failures());
        std::fflush(stdout);
        return Failures() == 0 ? 0 : 1;
    }

private:
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
        mDialog = WaitForWindow(T(kTextProductName) + L" " + kRenovaVersion, nullptr, mProcessId);
        return Check(mDialog != nullptr, "the dialog window of the subject is found by class and title");
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

    // The close question of the subject, answered; the subject logs the answer it got.
    void AnswerQuestion(bool yes, const std::string& shot)
    {
        if (AnswerBox(yes, T(26), T(27), shot)) {
            Check(WaitForLog(yes ? L"AskYesNo yes" : L"AskYesNo no"), "the subject gets the answer");
        }
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
    std::wstring mToken;
    std::wstring mLogPath;
    HANDLE mNext = nullptr;
    HANDLE mEntered = nullptr;
};

} // namespace
} // namespace qrnv::gui

namespace {

// A Linux path as Wine's programs name it.
std::wstring WindowsPath(const std::wstring& linuxPath)
{
    std::wstring path = L"Z:" + linuxPath;
    for (auto& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    return path;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 8 && std::wstring(argv[1]) == L"client") {
        qrnv::gui::ClientFlowOptions options;
        options.mClient = WindowsPath(argv[2]);
        options.mWorker = WindowsPath(argv[3]);
        options.mShotFolder = argv[4];
        options.mServiceFolder = WindowsPath(argv[5]);
        options.mServiceBase = argv[6];
        options.mLanguage = _wtoi(argv[7]);
        options.mOnly = argc > 8 ? argv[8] : L"";
        return qrnv::gui::RunClientFlows(options);
    }
    if (argc != 5) {
        std::printf("usage: qrnv_gui_driver <subject.exe> <screenshot folder> <flow> <language id>\n"
                    "       qrnv_gui_driver client <quarnrenova.exe> <QuarnRenovaWorker.exe> <screenshot folder>\n"
                    "                       <service folder> <service base url> <language id> [case]\n"
                    "(paths as Linux paths)\n");
        return 2;
    }
    qrnv::gui::Driver driver(argv[1], argv[2], argv[3], _wtoi(argv[4]));
    return driver.Run();
}
