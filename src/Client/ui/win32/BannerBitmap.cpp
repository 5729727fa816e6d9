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

// Looks at the file before the system parses it: the size, the "BM" signature, the
// picture's sides and that the colour table and the pixels the headers announce are in the
// file. The system's loader trusts the headers and reads past the end of a cut-off file.
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
    const long long fileSize = size.QuadPart;
    constexpr long long kFileHeader = 14;
    // File header and at least the smallest info header (12 bytes).
    if (fileSize < kFileHeader + 12) {
        why = L"too short for a bitmap";
        return false;
    }
    if (fileSize > kBannerFileMaxBytes) {
        why = L"larger than a banner may be";
        return false;
    }
    unsigned char head[50] = {};
    DWORD got = 0;
    if (!ReadFile(raw, head, sizeof head, &got, nullptr) || got < kFileHeader + 12) {
        why = L"unreadable";
        return false;
    }
    if (head[0] != 'B' || head[1] != 'M') {
        why = L"not a bitmap file";
        return false;
    }
    const long long pixelOffset = ReadLe32(head + 10);
    const std::uint32_t infoSize = ReadLe32(head + 14);
    long long width = 0;
    long long height = 0;
    unsigned bitCount = 0;
    std::uint32_t compression = BI_RGB;
    long long imageSize = 0;
    long long colours = 0;
    long long entryBytes = 4;
    if (infoSize == 12) { // BITMAPCOREHEADER
        width = ReadLe16(head + 18);
        height = ReadLe16(head + 20);
        bitCount = ReadLe16(head + 24);
        entryBytes = 3;
    } else if (infoSize >= 40 && infoSize <= 124 && got >= 50) { // BITMAPINFOHEADER .. V5
        width = static_cast<std::int32_t>(ReadLe32(head + 18));
        height = static_cast<std::int32_t>(ReadLe32(head + 22));
        bitCount = ReadLe16(head + 28);
        compression = ReadLe32(head + 30);
        imageSize = ReadLe32(head + 34);
        colours = ReadLe32(head + 46);
    } else {
        why = L"unknown bitmap header";
        return false;
    }
    if (width <= 0 || height == 0 || width > kBannerMaxSide || std::llabs(height) > kBannerMaxSide) {
        why = L"picture size out of range";
        return false;
    }
    const bool knownDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24
        || bitCount == 32;
    const bool rle = (compression == BI_RLE8 && bitCount == 8) || (compression == BI_RLE4 && bitCount == 4);
    const bool fields = compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32);
    if (!knownDepth || !(compression == BI_RGB || rle || fields) || (rle && height < 0)) {
        why = L"unsupported bitmap format";
        return false;
    }
    if (bitCount <= 8) {
        const long long full = 1ll << bitCount;
        colours = colours == 0 ? full : colours;
        if (colours > full) {
            why = L"colour table out of range";
            return false;
        }
    } else if (colours > 256) {
        why = L"colour table out of range";
        return false;
    }
    long long tableBytes = colours * entryBytes;
    if (fields && infoSize == 40) {
        tableBytes += 12; // the three colour masks after the header
    }
    const long long stride = ((width * bitCount + 31) / 32) * 4;
    const long long pixelBytes = rle ? imageSize : stride * std::llabs(height);
    if (rle && imageSize <= 0) {
        why = L"compressed bitmap without its size";
        return false;
    }
    const long long tableEnd = kFileHeader + infoSize + tableBytes;
    const long long pixelStart = pixelOffset > tableEnd ? pixelOffset : tableEnd;
    if (pixelOffset < kFileHeader + infoSize || pixelStart + pixelBytes > fileSize) {
        why = L"cut off: the file ends before its pixels do";
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
