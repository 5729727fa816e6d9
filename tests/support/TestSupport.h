#pragma once
// Small helpers the test programs share: fresh folders, files, the environment. (Child
// processes: support/ChildProcess.h; log files: support/LogLines.h.) They talk to the operating system directly, not through the client's seam, so
// that a fault in the seam cannot hide itself in the tests' own expectations.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qrnv::test {

// The folder separator of file system paths ("\" on Windows, "/" elsewhere).
wchar_t Separator();

// A new, empty folder below the system's temporary folder, with a final separator. The
// first call remembers the temporary folder the process started with, so later changes of
// the temporary folder (SetTempFolder) do not nest fresh folders inside each other.
std::wstring MakeFreshFolder(const std::wstring& hint);

// Makes a folder and every missing level above it; true when it exists afterwards.
bool MakeFolder(const std::wstring& path);

// Removes a folder with everything in it; silent when it is missing.
void RemoveTree(const std::wstring& path);

// Makes the process (and the children it starts afterwards) use this temporary folder:
// TMPDIR on POSIX, TMP and TEMP on Windows. Returns the previous value.
std::wstring SetTempFolder(const std::wstring& folder);

// Makes a folder in which this user cannot create anything; false where the platform or
// the user's rights do not allow that (Windows ignores a folder's read-only flag; root may
// write anywhere).
bool MakeUnwritableFolder(const std::wstring& path);

// Sets (or with an empty value removes) an environment variable of the process.
void SetEnv(const std::wstring& name, const std::wstring& value);
std::wstring GetEnv(const std::wstring& name);
// Sets the variable, even to an empty value; nullptr removes it.
void PutEnv(const std::wstring& name, const std::wstring* value);
// The variable's value, or false when it is not set.
bool FindEnv(const std::wstring& name, std::wstring& value);
// The names of the temporary-folder variables (TMPDIR; TMP and TEMP).
std::vector<std::wstring> TempVariables();

// The file's bytes; empty when it cannot be read. The std::string forms take UTF-8 paths.
std::string ReadFileBytes(const std::wstring& path);
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Written beside the target and renamed over it, so a reader never sees half a file.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);
bool CopyFileTo(const std::string& from, const std::string& to);
bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);

// The names (without folder) of the entries of a folder, sorted.
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// Sets the last-access and last-write times of a file to noon, local time, of that day.
bool SetFileDay(const std::wstring& path, int year, int month, int day);

// Changes the current directory; returns the previous one.
std::wstring ChangeDirectory(const std::wstring& folder);

// The running test program's full path and the folder it lies in (with a final separator).
std::wstring OwnExecutablePath();
std::wstring OwnExecutableFolder();

// A program of the build beside the running test ("qrnv_test_child" gives the path of
// qrnv_test_child or qrnv_test_child.exe).
std::wstring HelperProgramPath(const std::wstring& name);

// The calling thread's system identifier and the process id, from the system itself.
std::uint32_t SystemThreadId();
std::uint32_t SystemProcessId();

// The current local time as "%Y%m%d%H%M%S".
std::string LocalTimeStamp();

// UTF-8 (POSIX file names, messages) and back.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

// A path of ours as the standard library's (UTF-8 bytes on POSIX).
std::filesystem::path ToFsPath(const std::wstring& path);

// A fresh folder (MakeFreshFolder), removed with everything in it when the object goes.
// Path() ends with a separator; Utf8() is the same without it, for the narrow-path tests.
class ScopedFolder {
public:
    explicit ScopedFolder(const std::wstring& hint = L"folder");
    ~ScopedFolder();
    ScopedFolder(const ScopedFolder&) = delete;
    ScopedFolder& operator=(const ScopedFolder&) = delete;
    const std::wstring& Path() const { return mPath; }
    std::string Utf8() const;
    std::string operator/(const std::string& name) const;

private:
    std::wstring mPath;
};

// An environment variable set (or, with nullptr, removed) while the object lives; the value
// before is put back at the end. Started programs inherit it.
class ScopedVariable {
public:
    ScopedVariable(const std::wstring& name, const std::wstring* value);
    ScopedVariable(const std::wstring& name, const std::wstring& value) : ScopedVariable(name, &value) {}
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::wstring mName;
    bool mHad = false;
    std::wstring mOld;
};

// A ScopedFolder that is the system's temporary path while the object lives (TMPDIR on
// POSIX, TMP and TEMP on Windows).
class ScopedTempPath {
public:
    ScopedTempPath();
    const std::wstring& Path() const { return mFolder.Path(); }

private:
    ScopedFolder mFolder;
    std::vector<std::unique_ptr<ScopedVariable>> mVariables;
};

} // namespace qrnv::test
