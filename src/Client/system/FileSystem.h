#pragma once
// Folders and files: the small file-system operations that the log set-up, the temporary
// folders, discovery and the downloads share.

#include <cstdint>
#include <string>
#include <vector>

namespace qrnv {

// Creates one folder. False with the last error set when it was not created (also when it
// exists: the last error is then kErrorAlreadyExists). New folders are private to the user
// on POSIX (0700).
bool MakeDirectory(const std::wstring& path);

// allLevels: creates every missing level of the path, logging each level that fails for
// another reason than "already exists"; true when the whole path exists afterwards.
// One level: true when created, when it exists, or when its parent is the root; otherwise
// logs "can not create directory %s because: \"%s\"" and returns false.
bool CreateDirectoryPath(const std::wstring& path, bool allLevels);

// True when the file can be opened for reading (on POSIX: a regular file; opening never
// blocks on a pipe planted under the name).
bool FileExists(const std::wstring& path);

// The first bytes of a regular file, at most maxBytes of them: callers that want only the
// head of a file never read a huge one whole. False when it cannot be opened or read (on
// POSIX also when it is no regular file; opening never blocks on a pipe).
bool ReadFileHead(const std::wstring& path, std::size_t maxBytes, std::string& out);

// Reads at most maxBytes from the start of a regular file into bytes and gives the file's
// whole size; false when it cannot be opened or read (on POSIX: also when it is no regular
// file, without blocking on a pipe planted under the name).
bool ReadFilePrefix(const std::wstring& path, std::size_t maxBytes, std::string& bytes, std::uint64_t& fileSize);

// Deletes a file; false with the last error set when it could not be deleted.
bool DeleteFileAt(const std::wstring& path);

// The names of the files (not folders) directly in folder; empty when it cannot be read.
std::vector<std::wstring> ListFileNames(const std::wstring& folder);

// The last-access date of the file in local time, as "%d%02d%02d".
bool GetFileDateText(const std::wstring& path, std::wstring& out);

// Seconds since 1970-01-01 00:00 UTC.
std::int64_t CurrentUnixTime();

} // namespace qrnv
