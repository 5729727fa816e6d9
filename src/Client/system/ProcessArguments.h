#pragma once
// The process's own command line.

#include <cstdint>
#include <string>
#include <vector>

namespace qrnv {

#ifndef _WIN32
// POSIX: main hands its arguments over once, before anything asks for them.
void SetProcessArguments(int argc, char** argv);
#endif

// The arguments, the program's path first: on Windows the raw command line split as the
// C runtime splits it, on POSIX the arguments as the process received them.
std::vector<std::wstring> GetProcessArguments();

// The complete raw command line (on POSIX: the arguments joined and quoted by the Windows
// rules, so that splitting it gives them back).
std::wstring GetRawCommandLine();

std::uint32_t CurrentProcessId();

} // namespace qrnv
