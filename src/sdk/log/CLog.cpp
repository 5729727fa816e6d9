#include "sdk/log/CLog.h"

#include "sdk/text/TextConvert.h"
#include "sdk/text/TextEdit.h"

namespace qrnv {
namespace {

const wchar_t* const kLevelNames[22] = {
    L"off", L"CRI", L"ERR", L"WAR", L"INF", L"AUD", L"DB1", L"DB2", L"DB3", L"DB4", L"RS1",
    L"RS2", L"RS3", L"RS4", L"RS5", L"ALW", L"RS6", L"RS7", L"RS8", L"RS9", L"RSA", L"TRM",
};

} // namespace

CLog::CLog()
{
    mInitialised = true;
}

CLog::~CLog()
{
    Close();
    mInitialised = false;
}

std::int32_t CLog::Init(const wchar_t* name, std::int32_t threshold, bool showThreadId)
{
    if (!mInitialised) {
        return kLogFail;
    }
    if (!name) {
        return kLogInvalidArg;
    }
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mName = std::wstring(name).substr(0, kLogNameChars);
    mThreshold = threshold < 0 ? 0 : threshold;
    mShowThreadId = showThreadId;
    return kLogOk;
}

std::int32_t CLog::OpenFile(const wchar_t* pattern)
{
    if (!mInitialised) {
        return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (!pattern || !*pattern) {
        const bool wasOpen = mFile.IsOpen();
        mFile.Close();
        mPath.clear();
        return wasOpen ? 1 : 0;
    }
    // A file still open from before is closed first, so no handle is left behind.
    mFile.Close();
    mPath = ExpandLogPath(pattern);
    if (!mFile.Open(mPath, mFlushAfterEachEntry)) {
        mPath.clear();
        return 0;
    }
    return 1;
}

void CLog::Close()
{
    if (!mInitialised) {
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mFile.Close();
    mPath.clear();
}

const wchar_t* CLog::LevelName(std::uint32_t level)
{
    return kLevelNames[level >= 21 ? 21 : level];
}

bool CLog::Passes(std::uint32_t level) const
{
    return level == kLogAlways || level <= static_cast<std::uint32_t>(mThreshold);
}

void CLog::Print(std::uint32_t level, const wchar_t* source, std::wstring_view format, std::span<const FormatArg> args)
{
    if (!mInitialised || !Passes(level)) {
        return;
    }
    std::wstring message = FormatTextV(format, args);
    if (message.size() > kLogFormatChars - 1) {
        message.resize(kLogFormatChars - 1);
    }
    Write(level, source, message.c_str());
}

void CLog::Write(std::uint32_t level, const wchar_t* source, const wchar_t* message)
{
    if (!mInitialised || !Passes(level)) {
        return;
    }
    const std::wstring text = message ? std::wstring(message) : std::wstring();
    std::wstring body = mShowThreadId ? FormatText(L"[08%x] %s", logplatform::CurrentThreadId(), text) : text;
    if (!body.empty() && body.back() == L'\n') {
        body.pop_back();
    }
    // CR LF ends a record in the file: inside a message (a server's answer, say) it would
    // make a line without a head, or let the text forge one. A line feed keeps the shape.
    for (std::size_t at = body.find(L"\r\n"); at != std::wstring::npos; at = body.find(L"\r\n", at)) {
        body.erase(at, 1);
    }
    if (body.size() > kLogBodyChars) {
        body.resize(kLogBodyChars);
    }
    std::wstring tag = source ? std::wstring(source) : std::wstring();
    if (tag.size() > kLogSourceChars) {
        tag.resize(kLogSourceChars);
    }
    WriteRecord(level, logplatform::NowFileTime(), tag, body);
}

void CLog::WriteRecord(std::uint32_t level, std::int64_t fileTime, const std::wstring& source, const std::wstring& body)
{
    const logplatform::LocalTime t = logplatform::ToLocalTime(fileTime);
    const std::wstring time = FormatText(L"%02lu.%02lu.%04lu %02lu:%02lu:%02lu:%03lu", t.day, t.month, t.year, t.hour,
                                         t.minute, t.second, t.millisecond);
    std::wstring entry = FormatText(L"%s: %s%s", LevelName(level), source, source.empty() ? L"" : L":");
    entry += body;
    const std::wstring line = FormatText(L"%-20s %s", time, entry);

    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (!mFile.IsOpen()) {
        return;
    }
    std::string bytes = ToCLocaleBytes(line);
    if (bytes.size() > kLogLineBytes) {
        bytes.resize(kLogLineBytes);
    }
    bytes += "\r\n";
    mFile.Append(bytes);
    if (mFlushAfterEachEntry) {
        mFile.Flush();
    }
}

std::wstring CLog::FilePath() const
{
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mPath;
}

std::wstring MakeTimeStamp()
{
    const logplatform::LocalTime t = logplatform::ToLocalTime(logplatform::NowFileTime());
    return FormatText(L"%04u%02u%02u%02u%02u%02u", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

std::wstring ExpandLogPath(std::wstring_view pattern)
{
    std::wstring path = ReplaceAll(std::wstring(pattern), L"%D", MakeTimeStamp());
    path = ReplaceAll(std::move(path), L"%P", FormatText(L"%lu", logplatform::CurrentProcessId()));
    if (path.size() > kLogPathChars) {
        path.resize(kLogPathChars);
    }
    return path;
}

} // namespace qrnv
