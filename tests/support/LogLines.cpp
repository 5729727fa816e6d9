#include "support/LogLines.h"

#include <cstdint>
#include <cstdio>
#include <regex>

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

} // namespace qrnv::test
