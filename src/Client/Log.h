#pragma once
// The log front end every module writes through: printf-style messages with the source tag
// "QRNV" to the process-wide log engine, and the log's set-up under the product's name.

#include <span>
#include <string>
#include <string_view>

#include "sdk/log/CLog.h"
#include "sdk/text/Format.h"

namespace qrnv {

// At most this many "%" in a format; a message with more is dropped.
inline constexpr int kLogMaxArguments = 7;

void LogMessage(std::uint32_t level, std::wstring_view format, std::span<const FormatArg> args);

template <class... A>
void LogInfo(std::wstring_view format, const A&... args)
{
    static_assert(sizeof...(A) <= kLogMaxArguments, "at most seven arguments");
    const FormatArg list[] = {FormatArg(args)..., FormatArg()};
    LogMessage(kLogLevelInfo, format, std::span<const FormatArg>(list, sizeof...(A)));
}

template <class... A>
void LogWarning(std::wstring_view format, const A&... args)
{
    static_assert(sizeof...(A) <= kLogMaxArguments, "at most seven arguments");
    const FormatArg list[] = {FormatArg(args)..., FormatArg()};
    LogMessage(kLogLevelWarning, format, std::span<const FormatArg>(list, sizeof...(A)));
}

template <class... A>
void LogError(std::wstring_view format, const A&... args)
{
    static_assert(sizeof...(A) <= kLogMaxArguments, "at most seven arguments");
    const FormatArg list[] = {FormatArg(args)..., FormatArg()};
    LogMessage(kLogLevelError, format, std::span<const FormatArg>(list, sizeof...(A)));
}

// The process-wide engine, set up first with the name "QuarnRenova" when it is not yet.
CLog& GetLog();

// (Re)starts the log under the program name: closes the current file, opens
// "<temp>\Quarn Software\Quarn Renova\%D_<name>.log" and writes "STARTING LOG".
void SetUpLog(const std::wstring& programName);

// True once SetUpLog has completed.
bool IsLogSetUp();

// Closes the log file and forgets the set-up, so the next log call sets it up again; for
// tests only.
void ResetLogForTests();

} // namespace qrnv
