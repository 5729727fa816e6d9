#pragma once
// The client's HTTP client for the update web service: collects form arguments and sends
// them in one POST, giving the body of a 200 answer or a numeric failure code.

#include <cstdint>
#include <string>
#include <string_view>

#include "Client/service/HttpSession.h"

namespace qrnv {

// Results of PostUrl besides a WinINet error number or a non-200 status code.
inline constexpr std::uint32_t kPostOk = 0;
inline constexpr std::uint32_t kPostNoObject = 1;   // no connection, no request, or no body to send
inline constexpr std::uint32_t kPostNoStatus = 2;   // the status code could not be read
inline constexpr std::uint32_t kHttpStatusOk = 200;

class CHttpWrapper {
public:
    // Opens the internet session with the agent "QuarnRenova" and the user's proxy settings.
    CHttpWrapper();
    virtual ~CHttpWrapper();
    CHttpWrapper(const CHttpWrapper&) = delete;
    CHttpWrapper& operator=(const CHttpWrapper&) = delete;

    // Appends name=UrlEncode(value), joined by "&". Always true.
    bool AddPostArgument(const std::wstring& name, const std::wstring& value);

    // Posts the arguments to the URL: 0 with the body in response, else the failure code
    // (a WinINet error number leaves its message in response).
    std::uint32_t PostUrl(const std::wstring& url, std::wstring& response);

    const std::wstring& PostArguments() const { return mPostArguments; }

private:
    HttpSession mSession;
    std::wstring mPostArguments;
};

// ASCII letters and digits stay, a blank becomes "+", everything else "%" and its value in
// lower-case hexadecimal, at least two digits.
std::wstring UrlEncode(const std::wstring& text);

// The answer body as PostUrl gives it: each byte one character, widened with its sign.
std::wstring WidenAnswerBytes(std::string_view bytes);

// "https://h/a/b" gives host h, object a/b, secure. No port, user or query handling.
void SplitUrl(const std::wstring& url, std::wstring& host, std::wstring& object, bool& secure);

} // namespace qrnv
