#pragma once
// The SDK's log engine: filters an entry by level, stamps it with the local time and the
// calling thread, and appends it as one line to the log file, on disk before Write returns.

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "sdk/log/LogPlatform.h"
#include "sdk/text/Format.h"

namespace qrnv {

inline constexpr std::int32_t kLogOk = 0;
inline constexpr std::int32_t kLogFail = static_cast<std::int32_t>(0x80004005);       // E_FAIL
inline constexpr std::int32_t kLogInvalidArg = static_cast<std::int32_t>(0x80070057); // E_INVALIDARG

// Levels the program writes with; every level passes the filter at kLogAlways.
inline constexpr std::uint32_t kLogLevelError = 2;
inline constexpr std::uint32_t kLogLevelWarning = 3;
inline constexpr std::uint32_t kLogLevelInfo = 4;
inline constexpr std::uint32_t kLogLevelAudit = 5;
inline constexpr std::uint32_t kLogAlways = 15;

// Limits of one entry: the formatted message, the body of a record, the bytes of a line.
inline constexpr std::size_t kLogFormatChars = 12288;
inline constexpr std::size_t kLogBodyChars = 8191;
inline constexpr std::size_t kLogLineBytes = 8191;
inline constexpr std::size_t kLogNameChars = 40;
inline constexpr std::size_t kLogSourceChars = 19;
inline constexpr std::size_t kLogPathChars = 259;

class CLog {
public:
    CLog();
    virtual ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Name (at most 40 characters), threshold (negative counts as 0), thread ids on or off.
    std::int32_t Init(const wchar_t* name, std::int32_t threshold, bool showThreadId);

    // A pattern: expands it and opens that file for appending; 1 when open, else 0.
    // Null or empty: closes the file; 1 when one was open.
    std::int32_t OpenFile(const wchar_t* pattern);
    void Close();

    static const wchar_t* LevelName(std::uint32_t level);

    void Print(std::uint32_t level, const wchar_t* source, std::wstring_view format, std::span<const FormatArg> args);
    void Write(std::uint32_t level, const wchar_t* source, const wchar_t* message);

    // The expanded path of the open file (empty when none).
    std::wstring FilePath() const;
    std::int32_t Threshold() const { return mThreshold; }

private:
    bool Passes(std::uint32_t level) const;
    void WriteRecord(std::uint32_t level, std::int64_t fileTime, const std::wstring& source, const std::wstring& body);

    std::int32_t mThreshold = 0;
    bool mShowThreadId = true;
    std::wstring mName;
    std::wstring mPath;
    logplatform::LogFile mFile;
    mutable std::recursive_mutex mLock;
    bool mInitialised = false;
    bool mFlushAfterEachEntry = true;
};

// "%Y%m%d%H%M%S" of the current local time.
std::wstring MakeTimeStamp();

// Every "%D" becomes the time stamp, then every "%P" the process id; at most 259 characters.
std::wstring ExpandLogPath(std::wstring_view pattern);

} // namespace qrnv
