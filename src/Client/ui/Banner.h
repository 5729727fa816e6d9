#pragma once
// The banner picture at the right of the header band: fetched once per product and major
// version into the product temporary folder by a thread of its own, shown from the file
// when it is there and complete, else the built-in bitmap.

#include <cstdint>
#include <string>

namespace qrnv {

struct ProgramInfo;

// "Banner_<short name>_<major>.bmp": the program name's ASCII form with blanks as "_", and
// the version's text before its first "." (empty without a ".").
std::wstring BannerFileName(const ProgramInfo& info);

// The banner file in the product temporary folder (which this creates); empty when there
// is no such folder.
std::wstring BannerFilePath(const ProgramInfo& info);

// "<base>/Banner/<file name>": the base from DebugBannerDownloadUrl_v2 or DebugUrl_v2, else
// the built-in service address (not trimmed: it ends with "/"). fromSetting tells which.
std::wstring BannerDownloadUrl(const ProgramInfo& info, std::wstring& base, bool& fromSetting);

// Limits of a banner the window is given: anything beyond them is no banner of ours.
inline constexpr std::uint64_t kMaxBannerFileBytes = 16u * 1024u * 1024u;
inline constexpr std::int32_t kMaxBannerSide = 4096;

// True when the file is a Windows bitmap whose headers are sound and whose pixels lie
// inside the file: 1, 4, 8, 16, 24 or 32 bits, uncompressed, RLE or bit fields, at most
// kMaxBannerSide pixels each way and kMaxBannerFileBytes long.
bool IsUsableBannerBitmap(const std::wstring& path);
// The same test on the file's first bytes and its size.
bool IsUsableBannerBitmapData(const std::string& head, std::uint64_t fileSize);

// The banner thread's routine; its parameter is not used. 0 when the banner file is there
// at the end, -1 (as unsigned) when there is no product name, the name is the "Unknown"
// text, or the download failed. Nobody waits for it.
unsigned BannerThread(void* unused);

} // namespace qrnv
