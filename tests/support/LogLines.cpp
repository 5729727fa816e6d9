#include "support/LogLines.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "Client/Log.h"
#include "Client/system/Thread.h"
#include "support/TestSupport.h"

namespace qrnv::test {

LogFileLines SplitLogLines(const std::string& bytes)
{
    LogFileLines out;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            out.lines.push_back(bytes.substr(start));
            out.complete = false;
            break;
        }
        out.lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

std::optional<LogLine> ParseLogLine(const std::string& line)
{
    // Only the head goes through the expression: the library's matcher recurses per
    // character, and a body of thousands would exhaust a 1 MB thread stack on Windows.
    static const std::regex head(
        R"(^(\d{2})\.(\d{2})\.(\d{4}) (\d{2}):(\d{2}):(\d{2}):(\d{3}) ([A-Za-z0-9]{3}): (?:([^:\[]{1,19}):)?\[08([1-9a-f][0-9a-f]*|0)\] )");
    const std::string start = line.substr(0, 96);
    std::smatch m;
    if (!std::regex_search(start, m, head)) {
        return std::nullopt;
    }
    LogLine out;
    out.stamp = m[3].str() + m[2].str() + m[1].str() + m[4].str() + m[5].str() + m[6].str();
    out.millisecond = std::stoi(m[7].str());
    out.level = m[8].str();
    out.tag = m[9].str();
    out.threadHex = m[10].str();
    out.body = line.substr(static_cast<std::size_t>(m.length(0)));
    return out;
}

std::string ThreadHex(std::uint32_t id)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", static_cast<unsigned>(id));
    return buffer;
}

LogCapture::LogCapture()
{
    // Sets the log up if nobody did yet, so that it stays where it is for the test.
    mPath = GetLog().FilePath();
    mThreadHex = ThreadHex(CurrentThreadId());
    std::error_code error;
    mStart = std::filesystem::file_size(ToFsPath(mPath), error);
    if (error) {
        mStart = 0;
    }
}

std::vector<CapturedLine> LogCapture::Lines() const
{
    std::vector<CapturedLine> lines;
    const std::string bytes = ReadFileBytes(mPath);
    if (mStart >= bytes.size()) {
        return lines;
    }
    // The bytes are Latin-1: each one is the character of the same value.
    const auto widen = [](const std::string& text) {
        std::wstring out;
        for (const char c : text) {
            out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        }
        return out;
    };
    for (const std::string& line : SplitLogLines(bytes.substr(static_cast<std::size_t>(mStart))).lines) {
        const auto parsed = ParseLogLine(line);
        if (parsed && parsed->threadHex == mThreadHex) {
            lines.push_back({widen(parsed->level), widen(parsed->body)});
        }
    }
    return lines;
}

std::vector<std::wstring> LogCapture::Messages() const
{
    std::vector<std::wstring> messages;
    for (const auto& l : Lines()) {
        messages.push_back(l.message);
    }
    return messages;
}

bool LogCapture::Contains(const std::wstring& level, const std::wstring& message) const
{
    for (const auto& l : Lines()) {
        if (l.level == level && l.message == message) {
            return true;
        }
    }
    return false;
}

} // namespace qrnv::test
