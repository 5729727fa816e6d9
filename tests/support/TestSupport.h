#pragma once
// Small helpers the test programs share: fresh folders, files, the environment, child
// processes. They talk to the operating system directly, not through the client's seam, so
// that a fault in the seam cannot hide itself in the tests' own expectations.

#include <cstdint>
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

// The file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
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

// The file name of a program of the build in the test program's own folder ("name" on
// POSIX, "name.exe" on Windows), with its folder.
std::wstring BuiltProgramPath(const std::wstring& name);

// The calling thread's system identifier and the process id, from the system itself.
std::uint32_t SystemThreadId();
std::uint32_t SystemProcessId();

// The current local time as "%Y%m%d%H%M%S".
std::string LocalTimeStamp();

// UTF-8 (POSIX file names, messages) and back.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

// A child process started from a command line. On Windows the line goes to CreateProcess
// as it stands; on POSIX it is split by the Windows C runtime's rules (as the client's own
// process start does) and the first argument names the program.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::wstring& commandLine);
    // The exit code (8 bits on POSIX); -1 when it could not be waited for, -2 when the
    // child did not end within timeoutMs (it is then killed).
    int Wait(std::uint32_t timeoutMs = 120000);

private:
#ifdef _WIN32
    void* mProcess = nullptr;
#else
    int mPid = -1;
#endif
};

// Starts the command line and waits for its end; the exit code as Wait gives it, or -1
// when it could not be started.
int RunProcess(const std::wstring& commandLine, std::uint32_t timeoutMs = 120000);

} // namespace qrnv::test
