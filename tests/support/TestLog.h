#pragma once
// The log lines the code under test writes, read back from the process's log file.

#include <string>
#include <vector>

namespace qrnv::test {

struct LogLine {
    std::wstring level;   // "ERR", "WAR", "INF", ...
    std::wstring message; // the text after the thread id
};

// Remembers where the log file ends when made; Lines() gives what the making thread wrote
// since. Other threads' lines are left out: runs of other programs in the same second share
// the file, and the code under test logs on the calling thread.
class LogCapture {
public:
    LogCapture();
    std::vector<LogLine> Lines() const;
    // Only the messages, in order.
    std::vector<std::wstring> Messages() const;
    bool Contains(const std::wstring& level, const std::wstring& message) const;

private:
    std::wstring mPath;
    std::wstring mThreadTag;
    unsigned long long mStart = 0;
};

} // namespace qrnv::test
