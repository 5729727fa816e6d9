#pragma once
// The header band across the top of the update dialog: a white child window with the
// product title in bold, a version line below it, the banner at its right edge and an
// etched line at its bottom. Its height follows the banner.

#include <string>

#include "Client/ui/win32/GdiHandles.h"

namespace qrnv {

// Colours and positions of the band; the dialog owns it, the band reads it while painting.
struct HeaderLayout {
    COLORREF mBackgroundColour = RGB(255, 255, 255);
    COLORREF mTextColour = RGB(0, 0, 0);
    int mTitleLineY = 14;
    int mTextX = 12;
    int mDefaultHeight = 59;
    // The second line's top is mLineGap + 2 * mTitleLineY.
    int mLineGap = 4;
    // Not owned; set through SetBitmap.
    HBITMAP mBitmap = nullptr;
};

class CWizTrackWnd {
public:
    // The band's control id in the dialog.
    static constexpr int kControlId = 103;

    CWizTrackWnd() = default;
    CWizTrackWnd(const CWizTrackWnd&) = delete;
    CWizTrackWnd& operator=(const CWizTrackWnd&) = delete;
    virtual ~CWizTrackWnd();

    // Creates the band as a visible child across the parent's client width: layout's default
    // height without a bitmap, else the bitmap's height + 2. Keeps references to layout and
    // font (the font stays the caller's); makes a bold copy of the font.
    bool Create(HWND parent, HeaderLayout& layout, const std::wstring& title, const std::wstring& secondLine,
                HFONT font);
    // Sets the layout's bitmap (null for none) and rebuilds the band with the new height.
    bool SetBitmap(HWND parent, HBITMAP bitmap);
    // Replaces the second line and repaints the whole band.
    void SetSecondLine(const std::wstring& text);

    // Paints the band into dc for the client rectangle: what WM_PAINT and WM_PRINTCLIENT do.
    void Paint(HDC dc, const RECT& client);

    HWND Window() const { return mWindow; }

private:
    RECT BandRectangle(HWND parent);
    bool CreateBandWindow(HWND parent, const RECT& rect);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int mBitmapX = 0;
    int mBitmapY = 0;
    std::wstring mTitle;
    std::wstring mSecondLine;
    int mHasBitmap = 0;
    HeaderLayout* mLayout = nullptr;
    OwnedFont mBoldFont;
    HFONT mNormalFont = nullptr;
    HWND mWindow = nullptr;
};

} // namespace qrnv
