#pragma once
// The running program's own path, folder and file name.

#include <string>

namespace qrnv {

// Full path of the running executable (at most 260 characters); empty when unknown.
std::wstring GetModulePath();

// The folder of the running program with a final separator. Logs
// "GetModulDirectory failed: %s" and returns false when the path is unknown.
bool GetModuleDirectory(std::wstring& out);

// The bare file name of the running program. Logs "GetModuleFileName failed: %s" when the
// path is unknown, "GetModuleFileName failed!" when it has no separator.
bool GetModuleFileNameOnly(std::wstring& out);

} // namespace qrnv
