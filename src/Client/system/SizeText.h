#pragma once
// The size texts of the download display.

#include <cstdint>
#include <string>

namespace qrnv {

// "%d Bytes" below 1024, else "%.2f KB", from 2^20 "%.2f MB", from 2^30 "%.2f GB". The
// count is taken as a single-precision number and scaled in single precision, so a count
// just below a unit that rounds up to it already counts as that unit. Returns out.
const std::wstring& FormatSize(std::uint32_t bytes, std::wstring& out);

} // namespace qrnv
