#include "Client/ui/Banner.h"

#include "Client/Discovery.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/service/Download.h"
#include "Client/service/WebService.h"
#include "Client/system/AsciiName.h"
#include "Client/system/FileSystem.h"
#include "Client/system/Platform.h"
#include "Client/system/SplitVersion.h"
#include "Client/system/TempFolder.h"
#include "Client/ui/Dialog.h"
#include "Client/ui/Texts.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {

constexpr unsigned kThreadFailed = static_cast<unsigned>(-1);

// Bitmap file header (14 bytes) and the largest information header (124 bytes).
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kHeadBytes = kFileHeaderBytes + 124;
constexpr std::uint32_t kCoreHeaderBytes = 12;

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

std::uint32_t U16(const std::string& b, std::size_t at)
{
    return static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8);
}

std::uint32_t U32(const std::string& b, std::size_t at)
{
    return U16(b, at) | (U16(b, at + 2) << 16);
}

} // namespace

std::wstring BannerFileName(const ProgramInfo& info)
{
    std::wstring shortName;
    ToAsciiName(info.mProgramName, shortName);
    for (wchar_t& c : shortName) {
        if (c == L' ') {
            c = L'_';
        }
    }
    VersionParts parts;
    SplitVersion(info.mProgramVersion, parts);
    return FormatText(L"Banner_%s_%s.bmp", shortName, parts.mFirst);
}

std::wstring BannerFilePath(const ProgramInfo& info)
{
    std::wstring folder;
    if (!GetProductTempFolder(folder, info, false) || folder.empty()) {
        return {};
    }
    return folder + kPathSeparator + BannerFileName(info);
}

std::wstring BannerDownloadUrl(const ProgramInfo& info, std::wstring& base, bool& fromSetting)
{
    base = GetDebugBannerDownloadUrl(info);
    fromSetting = !base.empty();
    if (!fromSetting) {
        base = DefaultServiceBaseUrl();
    }
    return FormatText(L"%s/Banner/%s", base, BannerFileName(info));
}

bool IsUsableBannerBitmapData(const std::string& b, std::uint64_t fileSize)
{
    if (fileSize > kMaxBannerFileBytes || b.size() < kFileHeaderBytes + kCoreHeaderBytes || b[0] != 'B' || b[1] != 'M') {
        return false;
    }
    const std::uint32_t pixelOffset = U32(b, 10);
    const std::uint32_t infoBytes = U32(b, 14);
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = kRgb;
    if (infoBytes == kCoreHeaderBytes) {
        width = U16(b, 18);
        height = U16(b, 20);
        planes = U16(b, 22);
        bits = U16(b, 24);
    } else if (infoBytes == 40 || infoBytes == 52 || infoBytes == 56 || infoBytes == 64 || infoBytes == 108 ||
               infoBytes == 124) {
        if (b.size() < kFileHeaderBytes + infoBytes) {
            return false;
        }
        width = static_cast<std::int32_t>(U32(b, 18));
        height = static_cast<std::int32_t>(U32(b, 22));
        planes = U16(b, 26);
        bits = U16(b, 28);
        compression = U32(b, 30);
    } else {
        return false;
    }
    const bool topDown = height < 0;
    const std::int64_t rows = topDown ? -height : height;
    if (width < 1 || width > kMaxBannerSide || rows < 1 || rows > kMaxBannerSide || planes != 1) {
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return false;
    }
    switch (compression) {
    case kRgb:
        break;
    case kRle8:
    case kRle4:
        if (topDown || bits != (compression == kRle8 ? 8u : 4u)) {
            return false;
        }
        break;
    case kBitFields:
    case kAlphaBitFields:
        if (bits != 16 && bits != 32) {
            return false;
        }
        break;
    default: // JPEG, PNG and the like inside a bitmap: not for the header band
        return false;
    }
    if (pixelOffset < kFileHeaderBytes + infoBytes || pixelOffset >= fileSize) {
        return false;
    }
    if (compression == kRle8 || compression == kRle4) {
        return true;
    }
    const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4;
    return pixelOffset + rowBytes * static_cast<std::uint64_t>(rows) <= fileSize;
}

bool IsUsableBannerBitmap(const std::wstring& path)
{
    std::string head;
    std::uint64_t size = 0;
    return ReadFilePrefix(path, kHeadBytes, head, size) && IsUsableBannerBitmapData(head, size);
}

unsigned BannerThread(void*)
{
    const ProgramInfo& info = GetProgramInfo();
    if (info.mProgramName.empty()) {
        return kThreadFailed;
    }
    if (info.mProgramName == GetText(kTextUnknown, EffectiveLanguage(info.mLanguage))) {
        return kThreadFailed;
    }
    std::wstring folder;
    if (!GetProductTempFolder(folder, info, true)) {
        return kThreadFailed;
    }
    const std::wstring fileName = BannerFileName(info);
    if (FileExists(folder + fileName)) {
        return 0;
    }
    SetBannerLoading(1);
    std::wstring base;
    bool fromSetting = false;
    const std::wstring url = BannerDownloadUrl(info, base, fromSetting);
    if (fromSetting) {
        LogWarning(L"Banner: Changed url to DEBUG-URL: %s", base);
    }
    const bool ok = DownloadFile(url, folder, fileName, false);
    SetBannerLoading(0);
    return ok ? 0 : kThreadFailed;
}

} // namespace qrnv
