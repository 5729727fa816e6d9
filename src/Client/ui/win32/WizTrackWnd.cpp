#include "Client/ui/win32/WizTrackWnd.h"

#include <mutex>

#include "Client/Log.h"
#include "Client/system/LastError.h"
#include "Client/system/ProcessObjects.h"

namespace qrnv {
namespace {

const wchar_t kBandClassName[] = L"QuarnRenovaHeaderBand";

// The class is registered once per process; a second registration attempt is harmless.
bool RegisterBandClass(WNDPROC proc)
{
    static const bool registered = [proc] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        // No class brush: painting fills the whole band, so erasing first would only flicker.
        wc.hbrBackground = nullptr;
        wc.lpszClassName = kBandClassName;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

void DrawLine(HDC dc, int y, int right, COLORREF colour)
{
    OwnedPen pen(CreatePen(PS_SOLID, 1, colour));
    HGDIOBJ old = SelectObject(dc, pen.get());
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, right, y);
    SelectObject(dc, old);
}

void DrawTextLine(HDC dc, HFONT font, COLORREF colour, int x, int y, const std::wstring& text)
{
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, colour);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
    if (oldFont) {
        SelectObject(dc, oldFont);
    }
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

} // namespace

CWizTrackWnd::~CWizTrackWnd()
{
    if (mWindow && IsWindow(mWindow)) {
        DestroyWindow(mWindow);
    }
}

bool CWizTrackWnd::Create(HWND parent, HeaderLayout& layout, const std::wstring& title,
                          const std::wstring& secondLine, HFONT font)
{
    std::lock_guard<std::mutex> lock(gTrackWindowLock);
    mLayout = &layout;
    mNormalFont = font;
    LOGFONTW description{};
    if (font && GetObjectW(font, sizeof description, &description) == sizeof description) {
        description.lfWeight = FW_BOLD;
        mBoldFont.reset(CreateFontIndirectW(&description));
    }
    mTitle = title;
    mSecondLine = secondLine;
    mBitmapX = 0;
    mBitmapY = 0;
    return CreateBandWindow(parent, BandRectangle(parent));
}

bool CWizTrackWnd::SetBitmap(HWND parent, HBITMAP bitmap)
{
    std::lock_guard<std::mutex> lock(gTrackWindowLock);
    if (!mLayout) {
        return false;
    }
    mLayout->mBitmap = bitmap;
    if (mWindow) {
        DestroyWindow(mWindow);
        mWindow = nullptr;
    }
    if (!CreateBandWindow(parent, BandRectangle(parent))) {
        return false;
    }
    InvalidateRect(mWindow, nullptr, TRUE);
    return true;
}

void CWizTrackWnd::SetSecondLine(const std::wstring& text)
{
    mSecondLine = text;
    if (mWindow) {
        InvalidateRect(mWindow, nullptr, TRUE);
    }
}

RECT CWizTrackWnd::BandRectangle(HWND parent)
{
    RECT rect{};
    GetClientRect(parent, &rect);
    BITMAP info{};
    if (!mLayout->mBitmap || GetObjectW(mLayout->mBitmap, sizeof info, &info) != sizeof info) {
        mHasBitmap = 0;
        rect.bottom = rect.top + mLayout->mDefaultHeight;
        return rect;
    }
    mHasBitmap = 1;
    mBitmapX = -info.bmWidth;
    mBitmapY = 0;
    // A bottom-up DIB reports a positive height, a top-down one a negative height.
    rect.bottom = rect.top + (info.bmHeight < 0 ? -info.bmHeight : info.bmHeight) + 2;
    return rect;
}

bool CWizTrackWnd::CreateBandWindow(HWND parent, const RECT& rect)
{
    if (!RegisterBandClass(&CWizTrackWnd::WindowProc)) {
        LogError(L"CWizTrackWnd: can not register the window class. %s", GetLastErrorText());
        return false;
    }
    mWindow = CreateWindowExW(WS_EX_TOPMOST, kBandClassName, L"", WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlId)), GetModuleHandleW(nullptr),
                              this);
    if (!mWindow) {
        LogError(L"CWizTrackWnd: can not create the window. %s", GetLastErrorText());
        return false;
    }
    return true;
}

void CWizTrackWnd::Paint(HDC dc, const RECT& client)
{
    std::lock_guard<std::mutex> lock(gTrackWindowLock);
    if (!mLayout) {
        return;
    }
    OwnedBrush background(CreateSolidBrush(mLayout->mBackgroundColour));
    FillRect(dc, &client, background.get());

    if (mHasBitmap && mLayout->mBitmap) {
        BITMAP info{};
        HDC source = CreateCompatibleDC(dc);
        if (source && GetObjectW(mLayout->mBitmap, sizeof info, &info) == sizeof info) {
            HGDIOBJ old = SelectObject(source, mLayout->mBitmap);
            const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
            BitBlt(dc, client.right + mBitmapX, mBitmapY, info.bmWidth, height, source, 0, 0, SRCCOPY);
            SelectObject(source, old);
        }
        if (source) {
            DeleteDC(source);
        }
    }

    DrawTextLine(dc, mBoldFont.get(), mLayout->mTextColour, mLayout->mTextX, mLayout->mTitleLineY, mTitle);
    DrawTextLine(dc, mNormalFont, mLayout->mTextColour, mLayout->mTextX,
                 mLayout->mLineGap + 2 * mLayout->mTitleLineY, mSecondLine);

    DrawLine(dc, client.bottom - 2, client.right, GetSysColor(COLOR_BTNSHADOW));
    DrawLine(dc, client.bottom - 1, client.right, GetSysColor(COLOR_BTNHIGHLIGHT));
}

LRESULT CALLBACK CWizTrackWnd::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CWizTrackWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_PAINT:
        if (self) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT client;
            GetClientRect(window, &client);
            self->Paint(dc, client);
            EndPaint(window, &ps);
            return 0;
        }
        break;
    case WM_PRINTCLIENT:
        if (self) {
            RECT client;
            GetClientRect(window, &client);
            self->Paint(reinterpret_cast<HDC>(wParam), client);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        if (self && self->mWindow == window) {
            self->mWindow = nullptr;
        }
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace qrnv
