#pragma once
// Reading log files back: the lines of a file and the fields of one line.

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

} // namespace qrnv::test
