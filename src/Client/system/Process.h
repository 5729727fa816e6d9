#pragma once
// Starting other programs: the update worker, the ad viewer, the self-update stub.

#include <cstdint>
#include <string>

namespace qrnv {

// Starts a program and, when asked, waits for its end and reads its exit code (exitCode is
// 0 unless a waited-for program ended). Returns 0 when the program started (and, if waited
// for, its exit code was read), else the system's error code, after the error line
// "StartProcess for %s failed because: \"%s\"".
//
// elevated: the shell's "runas" start with path as the file and arguments as parameters
// (logged "Try start application %s per UseShellExecute with commandline: %s").
// Otherwise a plain start of the command line "\"path\" arguments", or of arguments alone
// when path is empty, where the system finds the program named first in it (logged "Try
// start application %s per CreateProcess with commandline: %s").
//
// POSIX: the command line is split into arguments by the Windows C runtime's rules, so the
// program gets what it would get on Windows; an empty path searches PATH. "runas" goes
// through pkexec when the process is not root and pkexec is installed, otherwise it is a
// plain start. Exit statuses have 8 bits there: 255 stands for -1 and is reported as
// 0xFFFFFFFF; a program ended by a signal reports 128 + the signal number, as shells do.
// A program that is not waited for is reaped in the background, so it leaves no zombie.
std::uint32_t StartProcess(const std::wstring& path, const std::wstring& arguments, bool wait, std::uint32_t& exitCode,
                           bool elevated);

// Lets the file's owner, and only the owner, read, write and run a downloaded program
// (POSIX: mode 0700). Nothing to do on Windows, where any file may be run: true.
// False with the last error set when the mode could not be changed.
bool MakeOwnerExecutable(const std::wstring& path);

// True while a process with this identifier exists (also when it belongs to someone we may
// not signal or open). An identifier may have been reused: callers use this only to decide
// that something is certainly abandoned.
bool IsProcessRunning(std::uint32_t processId);

} // namespace qrnv
