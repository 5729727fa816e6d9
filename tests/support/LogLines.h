#pragma once
// Reading log files back: the lines of a file, the fields of one line, and what this
// process's own log got from the calling thread during a test.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrnv::test {

// A file split at "\r\n". complete is false when the file does not end with "\r\n".
struct LogFileLines {
    std::vector<std::string> lines;
    bool complete = true;
};
LogFileLines SplitLogLines(const std::string& bytes);

// "dd.mm.yyyy hh:mm:ss:mmm LVL: TAG:[08<hex tid>] body", or without a tag
// "... LVL: [08<hex tid>] body".
struct LogLine {
    std::string stamp; // yyyymmddhhmmss, for comparing with LocalTimeStamp
    int millisecond = 0;
    std::string level;
    std::string tag;       // empty when the line has none
    std::string threadHex; // without the literal "08"
    std::string body;
};
std::optional<LogLine> ParseLogLine(const std::string& line);

// The hexadecimal form the engine prints a thread id in: lower case, no leading zeros.
std::string ThreadHex(std::uint32_t id);

// One line of the process's log as LogCapture gives it.
struct CapturedLine {
    std::wstring level;   // "ERR", "WAR", "INF", ...
    std::wstring message; // the text after the thread id
};

// Remembers where the log file ends when made; Lines() gives what the making thread wrote
// since. Other threads' lines are left out: runs of other programs in the same second share
// the file, and the code under test logs on the calling thread.
class LogCapture {
public:
    LogCapture();
    std::vector<CapturedLine> Lines() const;
    // Only the messages, in order.
    std::vector<std::wstring> Messages() const;
    bool Contains(const std::wstring& level, const std::wstring& message) const;

private:
    std::wstring mPath;
    std::string mThreadHex;
    unsigned long long mStart = 0;
};

} // namespace qrnv::test
