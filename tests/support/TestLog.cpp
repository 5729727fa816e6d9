#include "support/TestLog.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "Client/Log.h"
#include "Client/system/Thread.h"
#include "sdk/text/Format.h"
#include "support/TestFolders.h"

namespace qrnv::test {

LogCapture::LogCapture()
{
    // Sets the log up if nobody did yet, so that it stays where it is for the test.
    mPath = GetLog().FilePath();
    mThreadTag = FormatText(L"[08%x] ", CurrentThreadId());
    std::error_code error;
    mStart = std::filesystem::file_size(ToFsPath(mPath), error);
    if (error) {
        mStart = 0;
    }
}

std::vector<LogLine> LogCapture::Lines() const
{
    std::vector<LogLine> lines;
    std::ifstream in(ToFsPath(mPath), std::ios::binary);
    if (!in) {
        return lines;
    }
    in.seekg(static_cast<std::streamoff>(mStart));
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Lines are "<time, 23 characters> LVL: QRNV:[id] message" in Latin-1, ended by CR LF.
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::wstring line;
        for (std::size_t i = pos; i < end; ++i) {
            line.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])));
        }
        pos = end + 2;
        const std::size_t colon = line.find(L": ", 20);
        const std::size_t id = line.find(mThreadTag);
        if (colon == std::wstring::npos || id == std::wstring::npos || colon < 3) {
            continue;
        }
        lines.push_back({line.substr(colon - 3, 3), line.substr(id + mThreadTag.size())});
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
