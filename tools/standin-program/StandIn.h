#pragma once
// The stand-ins for the maker's update worker and ad viewer: each start appends the program's
// whole command line to a record file and ends with the exit code it was told.

#include <optional>
#include <string>

namespace qrnv::standin {

// Exit codes of the stand-in's own failures, apart from every code a test may ask for.
inline constexpr int kExitRecordFailed = 124;
inline constexpr int kExitBadExitCodeSetting = 125;

struct StandInSettings {
    const wchar_t* recordVariable;   // names the file the command line is appended to
    const wchar_t* exitCodeVariable; // the decimal exit code, default 0, -1 allowed
    const char* programName;         // for messages
};

int RunStandIn(int argc, char** argv, const StandInSettings& settings);

// A decimal 32-bit exit code with an optional minus sign; nothing when the text is not one.
std::optional<int> ParseExitCode(const std::wstring& text);

// Platform parts.
void TakeProcessArguments(int argc, char** argv);
std::optional<std::wstring> ReadEnvironment(const wchar_t* name);
// Appends the line and a line feed, UTF-8; false when the file cannot be written.
bool AppendLine(const std::wstring& path, const std::wstring& line);

} // namespace qrnv::standin
