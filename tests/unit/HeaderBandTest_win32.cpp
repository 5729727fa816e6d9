// The header band and its banner pictures: the band's geometry as the bitmap changes, and
// what it paints, read back pixel by pixel from a memory bitmap (WM_PRINTCLIENT).

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Client/ui/win32/BannerBitmap.h"
#include "Client/ui/win32/WizTrackWnd.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

using test::LogCapture;
using test::ScopedFolder;

constexpr int kParentWidth = 400;

// A 24-bit BMP file: left part blue, the rightmost 4 columns red. headerOnly leaves the
// pixels out; width and height may be anything, for hostile headers.
std::vector<unsigned char> MakeBmp(int width, int height, bool headerOnly = false)
{
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(stride) * static_cast<DWORD>(height < 0 ? -height : height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::vector<unsigned char> bytes(sizeof file + sizeof info);
    memcpy(bytes.data(), &file, sizeof file);
    memcpy(bytes.data() + sizeof file, &info, sizeof info);
    if (!headerOnly) {
        for (int y = 0; y < (height < 0 ? -height : height); ++y) {
            for (int x = 0; x < stride; ++x) {
                const int column = x / 3;
                const bool red = column >= width - 4;
                const int channel = x % 3; // blue, green, red
                unsigned char value = 0;
                if (column < width) {
                    value = channel == 0 ? (red ? 0 : 255) : channel == 2 ? (red ? 255 : 0) : 0;
                }
                bytes.push_back(value);
            }
        }
    }
    return bytes;
}

std::wstring WriteFile(const ScopedFolder& folder, const wchar_t* name, const std::vector<unsigned char>& bytes)
{
    const std::wstring path = folder.Path() + name;
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (f) {
        if (!bytes.empty()) {
            fwrite(bytes.data(), 1, bytes.size(), f);
        }
        fclose(f);
    }
    return path;
}

struct BitmapSize {
    int width;
    int height;
};

BitmapSize SizeOf(HBITMAP bitmap)
{
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
}

TEST(BannerBitmap, LoadsABmpFileInItsOwnSize)
{
    ScopedFolder folder;
    OwnedBitmap bitmap = LoadBannerFile(WriteFile(folder, L"Banner.bmp", MakeBmp(200, 40)));
    ASSERT_NE(nullptr, bitmap);
    EXPECT_EQ(200, SizeOf(bitmap.get()).width);
    EXPECT_EQ(40, SizeOf(bitmap.get()).height);
}

TEST(BannerBitmap, FilesThatAreNoUsableBannerGiveNoBitmapAndAWarning)
{
    ScopedFolder folder;
    std::vector<unsigned char> text(400, 'x');
    std::vector<unsigned char> oneByteShort = MakeBmp(200, 40);
    oneByteShort.pop_back();
    std::vector<unsigned char> paletteMissing = MakeBmp(10, 10, true);
    paletteMissing[28] = 8; // 8 bits per pixel: a colour table of 256 entries should follow
    std::vector<unsigned char> jpegInside = MakeBmp(10, 10);
    jpegInside[30] = BI_JPEG;
    struct Case {
        const wchar_t* name;
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {L"empty.bmp", {}},
        {L"text.bmp", text},
        {L"short.bmp", {'B', 'M', 0, 0}},
        {L"wide.bmp", MakeBmp(100000, 40, true)},
        {L"tall.bmp", MakeBmp(200, -100000, true)},
        {L"zero.bmp", MakeBmp(0, 40, true)},
        {L"pixels-missing.bmp", MakeBmp(200, 40, true)},
        {L"one-byte-short.bmp", oneByteShort},
        {L"palette-missing.bmp", paletteMissing},
        {L"jpeg-inside.bmp", jpegInside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
        LogCapture log;
        EXPECT_EQ(nullptr, LoadBannerFile(WriteFile(folder, c.name, c.bytes)));
        const auto lines = log.Lines();
        ASSERT_EQ(1u, lines.size());
        EXPECT_EQ(L"WAR", lines[0].level);
        EXPECT_EQ(0u, lines[0].message.find(L"Banner: can not load "));
    }
    LogCapture log;
    EXPECT_EQ(nullptr, LoadBannerFile(folder.Path() + L"missing.bmp"));
    EXPECT_EQ(1u, log.Lines().size());
}

TEST(BannerBitmap, AFileLargerThanABannerMayBeIsNotRead)
{
    ScopedFolder folder;
    const std::wstring path = WriteFile(folder, L"huge.bmp", MakeBmp(200, 40));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER size;
    size.QuadPart = kBannerFileMaxBytes + 1;
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    LogCapture log;
    EXPECT_EQ(nullptr, LoadBannerFile(path));
    EXPECT_TRUE(log.Contains(L"WAR", L"Banner: can not load " + path + L": larger than a banner may be"));
}

// A hidden top-level window as the band's parent, its client area kParentWidth wide.
class HeaderBand : public ::testing::Test {
protected:
    void SetUp() override
    {
        mParent = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, kParentWidth, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (!mParent) {
            GTEST_SKIP() << "no window can be created here (no display?)";
        }
        mFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    void TearDown() override
    {
        if (mParent) {
            DestroyWindow(mParent);
        }
    }

    RECT BandRect() const
    {
        RECT rect{};
        HWND band = GetDlgItem(mParent, CWizTrackWnd::kControlId);
        GetWindowRect(band, &rect);
        MapWindowPoints(nullptr, mParent, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    // The band as it paints itself, one COLORREF per pixel, row by row.
    struct Picture {
        int width = 0;
        int height = 0;
        std::vector<COLORREF> pixels;
        COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
        // Pixels in the rows [top, bottom) and columns [left, right) that are not white.
        int Inked(int left, int top, int right, int bottom) const
        {
            int count = 0;
            for (int y = top; y < bottom && y < height; ++y) {
                for (int x = left; x < right && x < width; ++x) {
                    count += At(x, y) != RGB(255, 255, 255) ? 1 : 0;
                }
            }
            return count;
        }
    };

    Picture Paint(const CWizTrackWnd& band) const
    {
        Picture picture;
        RECT client{};
        GetClientRect(band.Window(), &client);
        picture.width = client.right;
        picture.height = client.bottom;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = picture.width;
        info.bmiHeader.biHeight = -picture.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(dc, target);
        SendMessageW(band.Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        GdiFlush();
        const auto* words = static_cast<const DWORD*>(bits);
        for (int i = 0; i < picture.width * picture.height; ++i) {
            const DWORD w = words[i]; // 0x00RRGGBB
            picture.pixels.push_back(RGB((w >> 16) & 0xFF, (w >> 8) & 0xFF, w & 0xFF));
        }
        SelectObject(dc, old);
        DeleteObject(target);
        DeleteDC(dc);
        return picture;
    }

    OwnedBitmap TestBitmap(int width, int height)
    {
        ScopedFolder folder;
        return LoadBannerFile(WriteFile(folder, L"b.bmp", MakeBmp(width, height)));
    }

    HWND mParent = nullptr;
    HFONT mFont = nullptr;
    HeaderLayout mLayout;
};

TEST_F(HeaderBand, WithoutBitmapAWhiteBandOfTheDefaultHeightAcrossTheParent)
{
    CWizTrackWnd band;
    ASSERT_TRUE(band.Create(mParent, mLayout, L"WWWW Title", L"WWWW Version 5.1 Build 2", mFont));
    const RECT rect = BandRect();
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(kParentWidth, rect.right);
    EXPECT_EQ(59, rect.bottom);

    const Picture p = Paint(band);
    ASSERT_EQ(59, p.height);
    EXPECT_EQ(RGB(255, 255, 255), p.At(kParentWidth - 1, 10)); // no picture
    EXPECT_EQ(RGB(255, 255, 255), p.At(5, 5));
    for (int x : {0, kParentWidth / 2, kParentWidth - 1}) {
        EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), p.At(x, 57)) << x;
        EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), p.At(x, 58)) << x;
    }
    // Title from (12, 14), second line from (12, 32); nothing left of x 12 or above y 14.
    EXPECT_GT(p.Inked(12, 14, 200, 31), 0);
    EXPECT_GT(p.Inked(12, 32, 250, 50), 0);
    EXPECT_EQ(0, p.Inked(0, 0, 12, 56));
    EXPECT_EQ(0, p.Inked(0, 0, kParentWidth, 14));
}

TEST_F(HeaderBand, TheTitleIsBoldTheSecondLineIsNot)
{
    CWizTrackWnd band;
    ASSERT_TRUE(band.Create(mParent, mLayout, L"WWWWWWWW", L"WWWWWWWW", mFont));
    const Picture p = Paint(band);
    EXPECT_GT(p.Inked(0, 14, kParentWidth, 32), p.Inked(0, 32, kParentWidth, 50));
}

TEST_F(HeaderBand, SetBitmapRebuildsTheBandAtTheBitmapsHeightWithItsRightEdgeAtTheBandsEdge)
{
    OwnedBitmap banner = TestBitmap(200, 40);
    ASSERT_NE(nullptr, banner);
    CWizTrackWnd band;
    ASSERT_TRUE(band.Create(mParent, mLayout, L"Title", L"Version", mFont));
    HWND first = band.Window();
    ASSERT_TRUE(band.SetBitmap(mParent, banner.get()));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(banner.get(), mLayout.mBitmap);
    const RECT rect = BandRect();
    EXPECT_EQ(kParentWidth, rect.right);
    EXPECT_EQ(42, rect.bottom);

    const Picture p = Paint(band);
    ASSERT_EQ(42, p.height);
    EXPECT_EQ(RGB(255, 0, 0), p.At(kParentWidth - 1, 0));   // the bitmap's red right edge
    EXPECT_EQ(RGB(255, 0, 0), p.At(kParentWidth - 1, 39));
    EXPECT_EQ(RGB(0, 0, 255), p.At(kParentWidth - 200, 20)); // its first column
    EXPECT_EQ(RGB(255, 255, 255), p.At(kParentWidth - 201, 20));
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), p.At(kParentWidth - 1, 40));
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), p.At(kParentWidth - 1, 41));
}

TEST_F(HeaderBand, SetBitmapWithNoneGoesBackToTheDefaultHeightWithoutPicture)
{
    OwnedBitmap banner = TestBitmap(129, 58);
    CWizTrackWnd band;
    ASSERT_TRUE(band.Create(mParent, mLayout, L"Title", L"Version", mFont));
    ASSERT_TRUE(band.SetBitmap(mParent, banner.get()));
    EXPECT_EQ(60, BandRect().bottom);
    ASSERT_TRUE(band.SetBitmap(mParent, nullptr));
    EXPECT_EQ(59, BandRect().bottom);
    const Picture p = Paint(band);
    EXPECT_EQ(RGB(255, 255, 255), p.At(kParentWidth - 1, 10));
    EXPECT_EQ(0, p.Inked(kParentWidth - 129, 0, kParentWidth, 57));
}

TEST_F(HeaderBand, AnEmptySecondLineLeavesOnlyTheTitle)
{
    CWizTrackWnd band;
    ASSERT_TRUE(band.Create(mParent, mLayout, L"Title", L"Version 5.1 Build 2", mFont));
    band.SetSecondLine(L"");
    const Picture p = Paint(band);
    EXPECT_GT(p.Inked(12, 14, 200, 31), 0);
    EXPECT_EQ(0, p.Inked(0, 31, kParentWidth, 57));
}

TEST_F(HeaderBand, DoesNotFollowLaterSizeChangesOfTheParent)
{
    CWizTrackWnd band;
    ASSERT_TRUE(band.Create(mParent, mLayout, L"Title", L"Version", mFont));
    SetWindowPos(mParent, nullptr, 0, 0, kParentWidth + 100, 300, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(kParentWidth, BandRect().right);
}

} // namespace
} // namespace qrnv
