#pragma once
// One session of the platform's HTTP service (WinINet on Windows, libcurl elsewhere), with
// the steps of a form post. Every failure is a WinINet error number with its message text.

#include <cstdint>
#include <memory>
#include <string>

namespace qrnv {

// WinINet's own defaults, which the client relies on: a server that accepts no connection
// within a minute, or sends nothing for half a minute, ends the post with a time-out. The
// Windows transport sets them on its handles all the same, where Wine lacks them.
inline constexpr std::uint32_t kHttpConnectTimeoutMs = 60000;
inline constexpr std::uint32_t kHttpReceiveTimeoutMs = 30000;
// Tests shorten both through this environment variable (milliseconds).
inline constexpr const char* kHttpTimeoutEnvironment = "QRNV_HTTP_TIMEOUT_MS";

// A real answer is a few kilobytes; reading stops here so a hostile body cannot exhaust
// memory, and the post then fails as an answer that cannot be parsed.
inline constexpr std::size_t kMaxAnswerBytes = 8 * 1024 * 1024;

class HttpSession {
public:
    using Handle = void*;

    // Opens the session with the agent name and the system's preconfigured proxy settings.
    explicit HttpSession(const std::wstring& agent);
    // Closes the session and every connection and request opened through it.
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Each step gives 0 or the error number, with the message in `message`. A step that
    // gives 0 and a null handle produced no object. A host written "host:port" is
    // connected on that port, otherwise on the scheme's default port.
    std::uint32_t Connect(const std::wstring& host, bool secure, Handle& connection, std::wstring& message);
    std::uint32_t OpenRequest(Handle connection, const std::wstring& object, bool secure, Handle& request,
                              std::wstring& message);
    std::uint32_t SendRequest(Handle request, const std::wstring& headers, const std::string& body, std::wstring& message);
    bool QueryStatusCode(Handle request, std::uint32_t& status);
    // The whole body, at most kMaxAnswerBytes; a longer body or a broken transfer gives the
    // error number.
    std::uint32_t ReadBody(Handle request, std::string& body, std::wstring& message);

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

// The connect and receive time-outs in force (the defaults above unless a test shortened them).
std::uint32_t HttpConnectTimeoutMs();
std::uint32_t HttpReceiveTimeoutMs();

// "host:port" split; port 0 when the host names none.
void SplitHostPort(const std::wstring& host, std::wstring& name, std::uint16_t& port);

} // namespace qrnv
