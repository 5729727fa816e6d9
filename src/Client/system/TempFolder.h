#pragma once
// The temporary folders: "Quarn Software" and "Quarn Renova" under the user's temporary
// path (the log's folder), and below them one folder per product (worker, ad viewer, banner).

#include <string>

namespace qrnv {

struct ProgramInfo;

// The system's temporary path, with a final separator; empty when there is none. On POSIX:
// TMPDIR, else XDG_RUNTIME_DIR, else a private folder per user under /tmp.
std::wstring GetSystemTempPath();

// The temporary path + "Quarn Software" (created) + separator.
bool GetTempFolder(std::wstring& out);

// GetTempFolder + "Quarn Renova" + separator + the product's folder ("<ascii name> <major>"),
// each level created; a final separator when asked.
bool GetProductTempFolder(std::wstring& out, const ProgramInfo& info, bool withSeparator);

// POSIX: false when the path exists but is a link, no folder, or a folder of another user,
// where somebody else could plant files for us. Always true on Windows, where the user's
// profile protects the temporary folder.
bool IsPrivateFolder(const std::wstring& path);

} // namespace qrnv
