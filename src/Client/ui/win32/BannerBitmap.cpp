#include "Client/ui/win32/BannerBitmap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Client/Log.h"
#include "Client/system/LastError.h"
#include "Client/ui/win32/resource.h"

namespace qrnv {
namespace {

struct FileCloser {
    void operator()(HANDLE file) const { CloseHandle(file); }
};
using OwnedFile = std::unique_ptr<void, FileCloser>;

std::uint32_t ReadLe32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t ReadLe16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Looks at the file before the system parses it: the size, the "BM" signature and the
// picture's sides, so that a wrong or hostile file never reaches LoadImage.
bool IsPlausibleBmp(const std::wstring& path, std::wstring& why)
{
    HANDLE raw = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        why = GetLastErrorText();
        return false;
    }
    OwnedFile file(raw);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(raw, &size)) {
        why = GetLastErrorText();
        return false;
    }
    // File header (14 bytes) and at least the smallest info header (12 bytes).
    if (size.QuadPart < 26) {
        why = L"too short for a bitmap";
        return false;
    }
    if (size.QuadPart > kBannerFileMaxBytes) {
        why = L"larger than a banner may be";
        return false;
    }
    unsigned char head[26] = {};
    DWORD got = 0;
    if (!ReadFile(raw, head, sizeof head, &got, nullptr) || got != sizeof head) {
        why = L"unreadable";
        return false;
    }
    if (head[0] != 'B' || head[1] != 'M') {
        why = L"not a bitmap file";
        return false;
    }
    const std::uint32_t infoSize = ReadLe32(head + 14);
    long long width = 0;
    long long height = 0;
    if (infoSize == 12) { // BITMAPCOREHEADER
        width = ReadLe16(head + 18);
        height = ReadLe16(head + 20);
    } else if (infoSize >= 40) { // BITMAPINFOHEADER and its successors
        width = static_cast<std::int32_t>(ReadLe32(head + 18));
        height = static_cast<std::int32_t>(ReadLe32(head + 22));
    } else {
        why = L"unknown bitmap header";
        return false;
    }
    if (width <= 0 || height == 0 || width > kBannerMaxSide || std::llabs(height) > kBannerMaxSide) {
        why = L"picture size out of range";
        return false;
    }
    return true;
}

} // namespace

OwnedBitmap LoadBannerFile(const std::wstring& path)
{
    std::wstring why;
    if (!IsPlausibleBmp(path, why)) {
        LogWarning(L"Banner: can not load %s: %s", path, why);
        return nullptr;
    }
    HANDLE image = LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION | LR_DEFAULTSIZE | LR_LOADFROMFILE);
    if (!image) {
        LogWarning(L"Banner: can not load %s: %s", path, GetLastErrorText());
        return nullptr;
    }
    return OwnedBitmap(static_cast<HBITMAP>(image));
}

OwnedBitmap LoadDefaultBanner()
{
    HANDLE image = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BANNER), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION);
    if (!image) {
        LogWarning(L"Banner: built-in banner missing: %s", GetLastErrorText());
        return nullptr;
    }
    return OwnedBitmap(static_cast<HBITMAP>(image));
}

} // namespace qrnv
