// The update dialog's window on Windows: dialog template 103 run modally in a message loop of
// our own, so that every queued message passes the pre-translation (Escape) first.

#include <atomic>
#include <memory>

#include "Client/Log.h"
#include "Client/system/LastError.h"
#include "Client/ui/DialogWindow.h"
#include "Client/ui/win32/BannerBitmap.h"
#include "Client/ui/win32/GdiHandles.h"
#include "Client/ui/win32/WizTrackWnd.h"
#include "Client/ui/win32/resource.h"
#include "sdk/WinInclude.h"

#include <commctrl.h>

namespace qrnv {
namespace {

static_assert(IDC_MESSAGE_TEXT == kMessageText && IDC_PROGRESS == kProgressBar
              && IDC_DOWNLOAD_PROGRESS == kDownloadProgressText && IDC_SERVER_VERSION_TEXT == kServerVersionText
              && IDC_SERVER_VERSION == kServerVersion && IDC_RADIO_INSTALL_NOW == kRadioInstallNow
              && IDC_RADIO_REMIND_LATER == kRadioRemindLater && IDC_RADIO_DONT_SHOW_AGAIN == kRadioDontShowAgain
              && IDC_CHECK_DONT_SHOW_AGAIN == kCheckDontShowAgain && IDC_UPDATE_NOW_BUTTON == kUpdateNowButton
              && IDC_CONTINUE_BUTTON == kContinueButton && IDC_CLOSE_BUTTON == kCloseButton,
              "the resource script and the code name the same controls");
static_assert(IDC_HEADER_BAND == CWizTrackWnd::kControlId, "the header band's place");

// The Escape key's code; every queued message that carries it as wParam is consumed.
constexpr WPARAM kEscapeCode = 27;

bool IsClickSource(int id)
{
    switch (id) {
    case kUpdateNowButton:
    case kContinueButton:
    case kCloseButton:
    case kCheckDontShowAgain:
    case kRadioInstallNow:
    case kRadioRemindLater:
    case kRadioDontShowAgain:
        return true;
    default:
        return false;
    }
}

class Win32DialogWindow final : public DialogWindow {
public:
    ~Win32DialogWindow() override;

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

    void SetShowAllowed(bool allowed) override { mShowAllowed.store(allowed); }
    bool IsShowAllowed() const override { return mShowAllowed.load(); }
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

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitWindow();
    void PaintMinimised();
    HWND Control(int id) const;
    bool OnUiThread() const { return GetCurrentThreadId() == mUiThreadId.load(); }

    std::atomic<HWND> mWindow{nullptr};
    std::atomic<DWORD> mUiThreadId{0};
    std::atomic<bool> mShowAllowed{false};
    DialogHandlers* mHandlers = nullptr;
    bool mEnded = false;
    std::int32_t mEndCode = 0;

    HICON mIcon = nullptr;      // shared resource icons: the system owns them
    HICON mSmallIcon = nullptr;
    OwnedFont mBoldFont;
    HeaderLayout mHeaderLayout;
    CWizTrackWnd mHeader;
    OwnedBitmap mDefaultBanner;
    OwnedBitmap mFileBanner;
};

Win32DialogWindow::~Win32DialogWindow()
{
    if (HWND window = mWindow.exchange(nullptr)) {
        DestroyWindow(window);
    }
}

std::int32_t Win32DialogWindow::RunModal(DialogHandlers& handlers)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    mHandlers = &handlers;
    mEnded = false;
    mEndCode = 0;
    mUiThreadId.store(GetCurrentThreadId());
    HINSTANCE instance = GetModuleHandleW(nullptr);
    mIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    mSmallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                               LR_SHARED));

    HWND window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_UPDATE_DIALOG), nullptr,
                                     &Win32DialogWindow::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!window) {
        LogError(L"Can not create the update dialog. %s", GetLastErrorText());
        mHandlers = nullptr;
        return -1;
    }

    // A quit message before the end (another part of the process asked the program to stop)
    // ends the run as a failed one and is passed on to the caller's loop.
    std::int32_t result = -1;
    MSG message;
    while (!mEnded) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1) {
            LogError(L"Update dialog: message loop failed. %s", GetLastErrorText());
            break;
        }
        if (message.wParam == kEscapeCode) {
            continue;
        }
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (mEnded) {
        result = mEndCode;
    }
    mWindow.store(nullptr);
    DestroyWindow(window);
    mHandlers = nullptr;
    return result;
}

INT_PTR CALLBACK Win32DialogWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Win32DialogWindow* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Win32DialogWindow*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->mWindow.store(window);
    } else {
        self = reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!self || !self->mHandlers) {
        return FALSE;
    }
    return self->HandleMessage(message, wParam, lParam);
}

INT_PTR Win32DialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitWindow();
        return mHandlers->OnInitDialog() ? TRUE : FALSE;
    case WM_TIMER:
        mHandlers->OnTimer(static_cast<unsigned>(wParam));
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (HIWORD(wParam) == BN_CLICKED && IsClickSource(id)) {
            mHandlers->OnButton(id);
            return TRUE;
        }
        // Enter without a focused button and Escape arrive as IDOK and IDCANCEL; neither may
        // end the dialog, which has no OK or Cancel of its own.
        return id == IDOK || id == IDCANCEL;
    }
    case WM_CLOSE:
        mHandlers->OnClose();
        return TRUE;
    case WM_WINDOWPOSCHANGING:
        if (!mShowAllowed.load()) {
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
        }
        return FALSE;
    case WM_PAINT:
        if (IsIconic(mWindow.load())) {
            PaintMinimised();
            return TRUE;
        }
        return FALSE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(mIcon);
    default:
        return FALSE;
    }
}

void Win32DialogWindow::OnInitWindow()
{
    HWND window = mWindow.load();
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(mIcon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(mSmallIcon ? mSmallIcon : mIcon));

    HWND version = Control(kServerVersion);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(version, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    if (font && GetObjectW(font, sizeof description, &description) == sizeof description) {
        description.lfWeight = FW_BOLD;
        mBoldFont.reset(CreateFontIndirectW(&description));
        if (mBoldFont) {
            SendMessageW(version, WM_SETFONT, reinterpret_cast<WPARAM>(mBoldFont.get()), FALSE);
        }
    }
}

void Win32DialogWindow::PaintMinimised()
{
    HWND window = mWindow.load();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, mIcon);
    EndPaint(window, &ps);
}

HWND Win32DialogWindow::Control(int id) const
{
    HWND window = mWindow.load();
    return window ? GetDlgItem(window, id) : nullptr;
}

void Win32DialogWindow::ShowControl(int id, bool visible)
{
    if (HWND control = Control(id)) {
        ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
    }
}

void Win32DialogWindow::EnableControl(int id, bool enabled)
{
    if (HWND control = Control(id)) {
        EnableWindow(control, enabled ? TRUE : FALSE);
    }
}

void Win32DialogWindow::SetControlText(int id, const std::wstring& text)
{
    if (HWND control = Control(id)) {
        SetWindowTextW(control, text.c_str());
    }
}

void Win32DialogWindow::SetWindowTitle(const std::wstring& title)
{
    if (HWND window = mWindow.load()) {
        SetWindowTextW(window, title.c_str());
    }
}

int Win32DialogWindow::GetCheck(int id)
{
    HWND control = Control(id);
    return control ? static_cast<int>(SendMessageW(control, BM_GETCHECK, 0, 0)) : 0;
}

void Win32DialogWindow::SetCheck(int id, int state)
{
    if (HWND control = Control(id)) {
        SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(state), 0);
    }
}

void Win32DialogWindow::SetFocusTo(int id)
{
    if (HWND control = Control(id)) {
        SetFocus(control);
    }
}

void Win32DialogWindow::SetProgressPosition(int position)
{
    HWND control = Control(kProgressBar);
    if (!control) {
        return;
    }
    // From another thread a posted message: the UI thread may be busy, and a sent message
    // would wait for it.
    if (OnUiThread()) {
        SendMessageW(control, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    } else {
        PostMessageW(control, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
}

int Win32DialogWindow::GetProgressUpperLimit()
{
    HWND control = Control(kProgressBar);
    return control ? static_cast<int>(SendMessageW(control, PBM_GETRANGE, FALSE, 0)) : 0;
}

void Win32DialogWindow::StartTimer(unsigned id, unsigned intervalMs)
{
    HWND window = mWindow.load();
    if (window && !SetTimer(window, id, intervalMs, nullptr)) {
        LogError(L"Update dialog: can not start timer %u. %s", id, GetLastErrorText());
    }
}

void Win32DialogWindow::StopTimer(unsigned id)
{
    if (HWND window = mWindow.load()) {
        KillTimer(window, id);
    }
}

void Win32DialogWindow::PostClose()
{
    if (HWND window = mWindow.load()) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

bool Win32DialogWindow::AskYesNo(const std::wstring& caption, const std::wstring& question)
{
    return MessageBoxW(mWindow.load(), question.c_str(), caption.c_str(), MB_YESNO) == IDYES;
}

void Win32DialogWindow::ShowNormal()
{
    if (HWND window = mWindow.load()) {
        ShowWindow(window, SW_SHOWNORMAL);
    }
}

void Win32DialogWindow::Hide()
{
    HWND window = mWindow.load();
    if (!window) {
        return;
    }
    // Another thread must not wait for the UI thread: that one may be waiting for it.
    if (OnUiThread()) {
        ShowWindow(window, SW_HIDE);
    } else {
        ShowWindowAsync(window, SW_HIDE);
    }
}

void Win32DialogWindow::BringToTop()
{
    if (HWND window = mWindow.load()) {
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
    }
}

void Win32DialogWindow::MoveTo(int x, int y)
{
    if (HWND window = mWindow.load()) {
        SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    }
}

bool Win32DialogWindow::GetScreenTopLeft(int& left, int& top)
{
    HWND window = mWindow.load();
    RECT rect;
    if (!window || !GetWindowRect(window, &rect)) {
        return false;
    }
    left = rect.left;
    top = rect.top;
    return true;
}

void Win32DialogWindow::EnableSystemClose()
{
    HWND window = mWindow.load();
    if (!window) {
        return;
    }
    if (HMENU menu = GetSystemMenu(window, FALSE)) {
        EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    }
}

void Win32DialogWindow::EndModal(std::int32_t code)
{
    // The loop ends once the message being handled is done; the last code given counts.
    mEndCode = code;
    mEnded = true;
    if (HWND window = mWindow.load()) {
        PostMessageW(window, WM_NULL, 0, 0);
    }
}

void Win32DialogWindow::CreateHeader(const std::wstring& title, const std::wstring& secondLine)
{
    HWND window = mWindow.load();
    if (!window) {
        return;
    }
    mHeaderLayout = HeaderLayout{};
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    mHeader.Create(window, mHeaderLayout, title, secondLine, font);
}

void Win32DialogWindow::SetHeaderSecondLine(const std::wstring& secondLine)
{
    mHeader.SetSecondLine(secondLine);
}

void Win32DialogWindow::SetBanner(const std::wstring& bmpPath)
{
    HWND window = mWindow.load();
    if (!window) {
        return;
    }
    if (bmpPath.empty()) {
        if (!mDefaultBanner) {
            mDefaultBanner = LoadDefaultBanner();
        }
        mHeader.SetBitmap(window, mDefaultBanner.get());
        return;
    }
    // The band keeps using the old picture until it has the new one.
    OwnedBitmap loaded = LoadBannerFile(bmpPath);
    mHeader.SetBitmap(window, loaded.get());
    mFileBanner = std::move(loaded);
}

} // namespace

std::unique_ptr<DialogWindow> CreatePlatformDialogWindow()
{
    return std::make_unique<Win32DialogWindow>();
}

} // namespace qrnv
