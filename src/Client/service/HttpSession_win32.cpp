#include "Client/service/HttpSession.h"

#include <vector>

#include "sdk/WinInclude.h"

#include <wininet.h>

#include "Client/system/InternetErrors.h"
#include "Client/system/LastError.h"

namespace qrnv {
namespace {

constexpr DWORD_PTR kContext = 1;
constexpr DWORD kMessageChars = 1023;

// WinINet's own text for its error numbers lives in wininet.dll.
std::wstring WinInetMessage(DWORD code)
{
    wchar_t buffer[kMessageChars + 1] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, GetModuleHandleW(L"wininet.dll"),
                             code, 0, buffer, kMessageChars, nullptr);
    if (n == 0) {
        n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                           kMessageChars, nullptr);
    }
    return std::wstring(buffer, n);
}

std::uint32_t Failure(std::wstring& message)
{
    const DWORD code = GetLastError();
    message = WinInetMessage(code);
    SetLastError(code);
    return code != 0 ? code : static_cast<DWORD>(kInternetInternalError);
}

// The time-outs on a handle of every level. Windows hands a session's values down to the
// connections and requests made from it, and its defaults are these values; Wine does
// neither, and without them waited for a silent server without end.
void SetTimeouts(HINTERNET handle)
{
    // An option a handle does not take is no failure of the post.
    const DWORD lastError = GetLastError();
    DWORD connect = HttpConnectTimeoutMs();
    DWORD receive = HttpReceiveTimeoutMs();
    InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
    InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
    SetLastError(lastError);
}

// WinINet ends the reads of a body whose connection closed early as it ends a complete one;
// only the announced length tells them apart.
std::uint32_t BodyComplete(HINTERNET request, std::size_t received, std::wstring& message)
{
    const DWORD lastError = GetLastError(); // a body without a length is no failure
    DWORD announced = 0;
    DWORD size = sizeof announced;
    if (HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size, nullptr) &&
        received < announced) {
        message = WinInetMessage(kInternetConnectionAborted);
        SetLastError(kInternetConnectionAborted);
        return kInternetConnectionAborted;
    }
    SetLastError(lastError);
    return 0;
}

} // namespace

struct HttpSession::Impl {
    HINTERNET session = nullptr;
    std::vector<HINTERNET> children; // closed before the session, newest first
};

HttpSession::HttpSession(const std::wstring& agent) : mImpl(std::make_unique<Impl>())
{
    mImpl->session = InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (mImpl->session) {
        SetTimeouts(mImpl->session);
    }
}

HttpSession::~HttpSession()
{
    for (auto it = mImpl->children.rbegin(); it != mImpl->children.rend(); ++it) {
        InternetCloseHandle(*it);
    }
    if (mImpl->session) {
        InternetCloseHandle(mImpl->session);
    }
}

std::uint32_t HttpSession::Connect(const std::wstring& host, bool secure, Handle& connection, std::wstring& message)
{
    connection = nullptr;
    if (!mImpl->session) {
        return 0; // no object: the caller reports it
    }
    std::wstring name;
    std::uint16_t port = 0;
    SplitHostPort(host, name, port);
    HINTERNET h = InternetConnectW(mImpl->session, name.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                   secure ? INTERNET_FLAG_SECURE : 0, kContext);
    if (!h) {
        return Failure(message);
    }
    mImpl->children.push_back(h);
    SetTimeouts(h);
    connection = h;
    return 0;
}

std::uint32_t HttpSession::OpenRequest(Handle connection, const std::wstring& object, bool secure, Handle& request,
                                       std::wstring& message)
{
    request = nullptr;
    const std::wstring path = L"/" + object;
    const DWORD flags = INTERNET_FLAG_EXISTING_CONNECT | (secure ? INTERNET_FLAG_SECURE : 0);
    HINTERNET h = HttpOpenRequestW(static_cast<HINTERNET>(connection), L"POST", path.c_str(), nullptr, nullptr, nullptr,
                                   flags, kContext);
    if (!h) {
        return Failure(message);
    }
    mImpl->children.push_back(h);
    SetTimeouts(h);
    request = h;
    return 0;
}

std::uint32_t HttpSession::SendRequest(Handle request, const std::wstring& headers, const std::string& body,
                                       std::wstring& message)
{
    if (!HttpSendRequestW(static_cast<HINTERNET>(request), headers.c_str(), static_cast<DWORD>(headers.size()),
                          const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))) {
        return Failure(message);
    }
    return 0;
}

bool HttpSession::QueryStatusCode(Handle request, std::uint32_t& status)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!HttpQueryInfoW(static_cast<HINTERNET>(request), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &size,
                        nullptr)) {
        return false;
    }
    status = value;
    return true;
}

std::uint32_t HttpSession::ReadBody(Handle request, std::string& body, std::wstring& message)
{
    body.clear();
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(static_cast<HINTERNET>(request), buffer, sizeof buffer, &read)) {
            return Failure(message);
        }
        if (read == 0) {
            return BodyComplete(static_cast<HINTERNET>(request), body.size(), message);
        }
        if (body.size() + read > kMaxAnswerBytes) {
            body.clear();
            message = WinInetMessage(kHttpInvalidServerResponse);
            SetLastError(kHttpInvalidServerResponse);
            return kHttpInvalidServerResponse;
        }
        body.append(buffer, read);
    }
}

} // namespace qrnv
