#pragma once
// Facts of the platform that the portable logic builds paths and command lines from.

namespace qrnv {

#ifdef _WIN32
// Folder separator of file system paths (registry paths always use a backslash).
inline constexpr wchar_t kPathSeparator = L'\\';
// Length of the root part ("C:\") before which no folder is created.
inline constexpr unsigned kPathRootLength = 3;
// What follows the installed location inside its quotes in the worker's command line, so
// that it arrives with exactly one trailing separator after the C runtime's splitting.
inline constexpr const wchar_t* kWorkerLocationTail = L"\\\\";
// The client's own file name as it lies in a product folder.
inline constexpr const wchar_t* kProgramFileName = L"quarnrenova.exe";
// Characters that mark an option on the command line (one of them is removed).
inline constexpr const wchar_t* kOptionPrefixes = L"-/";
#else
inline constexpr wchar_t kPathSeparator = L'/';
inline constexpr unsigned kPathRootLength = 1;
inline constexpr const wchar_t* kWorkerLocationTail = L"/";
inline constexpr const wchar_t* kProgramFileName = L"quarnrenova";
// Only "-": a leading "/" here starts every absolute path.
inline constexpr const wchar_t* kOptionPrefixes = L"-";
#endif

// Longest path the program handles, including the terminator, as on Windows.
inline constexpr unsigned kMaxPath = 260;

} // namespace qrnv
