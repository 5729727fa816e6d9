#include "WindowChecks.h"

#include <cstdio>

#include "Client/ProgramInfoAccess.h"
#include "Client/ui/DialogWindow.h"
#include "Client/ui/Texts.h"
#include "GuiScript.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

#include <commctrl.h>

namespace qrnv::gui {

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

WindowChecks::WindowChecks(std::wstring shotFolder, std::wstring flow, std::int32_t language)
    : mShotFolder(std::move(shotFolder)), mFlow(std::move(flow)), mLanguage(language)
{
}

WindowChecks::~WindowChecks()
{
    if (mProcess) {
        if (WaitForSingleObject(mProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(mProcess, 99);
        }
        CloseHandle(mProcess);
    }
}

void WindowChecks::Fail(const std::string& what)
{
    ++mFailures;
    std::printf("FAIL [%s]: %s\n", mStep.c_str(), what.c_str());
    std::fflush(stdout);
}

bool WindowChecks::Check(bool ok, const std::string& what)
{
    ++mChecks;
    if (!ok) {
        Fail(what);
    }
    return ok;
}

void WindowChecks::CheckEqual(const std::wstring& expected, const std::wstring& actual, const std::string& what)
{
    Check(expected == actual, what + ": expected \"" + Narrow(expected) + "\", got \"" + Narrow(actual) + "\"");
}

void WindowChecks::CheckEqual(long long expected, long long actual, const std::string& what)
{
    Check(expected == actual, what + ": expected " + std::to_string(expected) + ", got " + std::to_string(actual));
}

void WindowChecks::Step(const std::string& step)
{
    mStep = step;
    std::printf("step %s\n", step.c_str());
    std::fflush(stdout);
}

const std::wstring& WindowChecks::T(int row) const { return GetText(row, mLanguage); }

namespace {

struct FindWindowQuery {
    DWORD mProcessId;
    std::wstring mTitle;
    HWND mExcept;
    HWND mFound;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto* query = reinterpret_cast<FindWindowQuery*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if ((query->mProcessId != 0 && process != query->mProcessId) || window == query->mExcept
        || std::wstring(className) != L"#32770") {
        return TRUE;
    }
    // Asked of the window's thread, so a window found has handled what came before.
    if (WindowChecks::TitleOf(window) != query->mTitle) {
        return TRUE;
    }
    query->mFound = window;
    return FALSE;
}

struct VisibleWindows {
    DWORD mProcessId;
    RECT mUnion;
    bool mAny;
};

BOOL CALLBACK UniteVisible(HWND window, LPARAM parameter)
{
    auto* windows = reinterpret_cast<VisibleWindows*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    RECT rect{};
    if (process == windows->mProcessId && IsWindowVisible(window) && GetWindowRect(window, &rect)) {
        if (windows->mAny) {
            UnionRect(&windows->mUnion, &windows->mUnion, &rect);
        } else {
            windows->mUnion = rect;
            windows->mAny = true;
        }
    }
    return TRUE;
}

} // namespace

HWND WindowChecks::WaitForWindow(const std::wstring& title, HWND except, DWORD processId, DWORD waitMs)
{
    const DWORD start = GetTickCount();
    do {
        FindWindowQuery query{processId, title, except, nullptr};
        EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&query));
        if (query.mFound) {
            return query.mFound;
        }
        Sleep(50);
    } while (GetTickCount() - start < waitMs);
    return nullptr;
}

std::wstring WindowChecks::TitleOf(HWND window) { return WindowText(window); }

std::wstring WindowChecks::WindowText(HWND window)
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

LRESULT WindowChecks::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
        Fail("no answer to message " + std::to_string(message));
    }
    return static_cast<LRESULT>(result);
}

void WindowChecks::ExpectControls(const std::vector<Expect>& expected)
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
    ExpectTextsFit(expected);
}

void WindowChecks::ExpectTextsFit(const std::vector<Expect>& controls)
{
    // The template's font, "MS Shell Dlg" 8 pt, made here: a font of the other process
    // cannot be selected into this one's device context. The same prefix gives the same
    // face and the same font link.
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    HFONT normal = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg");
    HFONT bold = CreateFontW(height, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg");
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    for (const Expect& e : controls) {
        HWND control = Item(e.mId);
        wchar_t className[32] = {};
        GetClassNameW(control, className, 32);
        const std::wstring kind = className;
        if (!control || !Shown(e.mId) || (kind != L"Static" && kind != L"Button")) {
            continue;
        }
        const std::wstring text = WindowText(control);
        if (text.empty()) {
            continue;
        }
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        RECT client{};
        GetClientRect(control, &client);
        UINT flags = DT_CALCRECT | DT_EXPANDTABS;
        int room = client.right;
        if (kind == L"Static") {
            const LONG type = style & SS_TYPEMASK;
            flags |= type == SS_LEFTNOWORDWRAP ? 0 : DT_WORDBREAK;
            flags |= (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
        } else {
            const LONG type = style & BS_TYPEMASK;
            // The box or circle and its gap come before a check box's or radio button's
            // text; a push button keeps a border and a margin on each side.
            room -= type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON || type == BS_AUTOCHECKBOX
                    || type == BS_CHECKBOX ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 6;
            flags |= DT_SINGLELINE;
        }
        SelectObject(dc, e.mId == kServerVersion ? bold : normal);
        RECT needed{0, 0, room, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, flags);
        Check(needed.right <= room && needed.bottom <= client.bottom,
              std::string(e.mName) + " text fits: needs " + std::to_string(needed.right) + " x "
                  + std::to_string(needed.bottom) + ", has " + std::to_string(room) + " x "
                  + std::to_string(client.bottom) + " (" + Narrow(text) + ")");
    }
    DeleteDC(dc);
    DeleteObject(normal);
    DeleteObject(bold);
}

void WindowChecks::ExpectBandHeight(int height)
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

void WindowChecks::ExpectFocus(int id, const char* name)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(mDialog, nullptr);
    Check(GetGUIThreadInfo(thread, &info) && info.hwndFocus == Item(id), std::string("keyboard focus on ") + name);
}

void WindowChecks::ExpectCentred()
{
    RECT window{};
    GetWindowRect(mDialog, &window);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int dx = (window.left - work.left) - (work.right - window.right);
    const int dy = (window.top - work.top) - (work.bottom - window.bottom);
    Check(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2, "the dialog is centred on the screen");
}

void WindowChecks::Click(int id, const char* name)
{
    HWND control = Item(id);
    if (!Check(control && IsWindowVisible(control) && IsWindowEnabled(control),
               std::string(name) + " can be clicked (visible and enabled)")) {
        return;
    }
    Send(control, BM_CLICK);
}

bool WindowChecks::AnswerBox(bool yes, const std::wstring& caption, const std::wstring& question, const std::string& shot)
{
    HWND box = WaitForWindow(caption, mDialog, mProcessId);
    if (!Check(box != nullptr, "the close question appears with its caption " + Narrow(caption))) {
        return false;
    }
    bool found = false;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        found = found || WindowText(child) == question;
    }
    Check(found, "the close question asks: " + Narrow(question));
    HWND yesButton = GetDlgItem(box, IDYES);
    HWND noButton = GetDlgItem(box, IDNO);
    Check(yesButton && noButton, "the question has Yes and No");
    if (!shot.empty()) {
        Screenshot(shot);
    }
    HWND button = yes ? yesButton : noButton;
    if (!button) {
        return false;
    }
    Send(button, BM_CLICK);
    return true;
}

// ImageMagick's import on the Linux side, started through Wine (which does not wait for
// Linux programs; the file appears under its name when done).
void WindowChecks::Screenshot(const std::string& name)
{
    Sleep(400); // let the window paint what it just changed
    Send(mDialog, WM_NULL);
    VisibleWindows windows{mProcessId, {}, false};
    EnumWindows(&UniteVisible, reinterpret_cast<LPARAM>(&windows));
    std::wstring crop;
    if (windows.mAny) {
        constexpr int kMargin = 8;
        const RECT& r = windows.mUnion;
        const int left = r.left > kMargin ? r.left - kMargin : 0;
        const int top = r.top > kMargin ? r.top - kMargin : 0;
        crop = FormatText(L" -crop %dx%d+%d+%d +repage", static_cast<int>(r.right + kMargin - left),
                          static_cast<int>(r.bottom + kMargin - top), left, top);
    }
    const std::wstring base = mShotFolder + L"/" + mFlow + L"-" + std::to_wstring(++mShot) + L"-" + Utf8ToWide(name);
    const std::wstring command = L"Z:\\bin\\sh -c \"/usr/bin/import -window root" + crop + L" '" + base + L".tmp.png' && mv '"
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

std::vector<Expect> WindowChecks::CheckServerDisplay()
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

std::vector<Expect> WindowChecks::UpgradeOfferDisplay()
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

std::vector<Expect> WindowChecks::UpdateOfferDisplay(bool checkBox)
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

std::vector<Expect> WindowChecks::InProgressDisplay(int messageRow, int closeRow)
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

std::vector<Expect> WindowChecks::UpToDateDisplay()
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

std::vector<Expect> WindowChecks::ErrorDisplay()
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

} // namespace qrnv::gui
