#pragma once
// Banner pictures for the header band: a BMP file loaded as a device-independent bitmap in
// its own size, or the built-in banner (bitmap resource 130).

#include <string>

#include "Client/ui/win32/GdiHandles.h"

namespace qrnv {

// Limits of what the band accepts from a file: anything larger is garbage or hostile, not a
// banner, and would only cost memory.
inline constexpr long long kBannerFileMaxBytes = 32ll * 1024 * 1024;
inline constexpr int kBannerMaxSide = 4096;

// Null (with a warning in the log) when the file is missing, empty, too large, not a BMP,
// or the system cannot load it.
OwnedBitmap LoadBannerFile(const std::wstring& path);

// Bitmap resource 130 of the program; null when the program has none.
OwnedBitmap LoadDefaultBanner();

} // namespace qrnv
