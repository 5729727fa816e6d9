#include "Client/service/HttpWrapper.h"

#include "Client/Log.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

constexpr const wchar_t* kAgent = L"QuarnRenova";
constexpr const wchar_t* kFormHeader = L"Content-Type: application/x-www-form-urlencoded";
constexpr std::size_t kMessageChars = 1023;

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

std::wstring CutMessage(std::wstring message)
{
    if (message.size() > kMessageChars) {
        message.resize(kMessageChars);
    }
    return message;
}

} // namespace

std::wstring UrlEncode(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size() * 3);
    for (wchar_t c : text) {
        if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) {
            out.push_back(c);
        } else if (c == L' ') {
            out.push_back(L'+');
        } else {
            std::wstring piece = FormatText(L"%%%2x", static_cast<unsigned>(static_cast<std::uint32_t>(c)));
            for (auto& p : piece) {
                if (p == L' ') {
                    p = L'0';
                }
            }
            out += piece;
        }
    }
    return out;
}

void SplitUrl(const std::wstring& url, std::wstring& host, std::wstring& object, bool& secure)
{
    std::wstring rest = url;
    secure = false;
    if (StartsWith(rest, L"https")) {
        rest = rest.size() > 8 ? rest.substr(8) : std::wstring();
        secure = true;
    } else if (StartsWith(rest, L"http")) {
        rest = rest.size() > 7 ? rest.substr(7) : std::wstring();
    }
    const std::size_t slash = rest.find(L'/');
    if (slash == std::wstring::npos) {
        host = rest;
        object.clear();
    } else {
        host = rest.substr(0, slash);
        object = rest.substr(slash + 1);
    }
}

CHttpWrapper::CHttpWrapper() : mSession(kAgent) {}

CHttpWrapper::~CHttpWrapper() = default;

bool CHttpWrapper::AddPostArgument(const std::wstring& name, const std::wstring& value)
{
    if (!mPostArguments.empty()) {
        mPostArguments += L"&";
    }
    mPostArguments += name + L"=" + UrlEncode(value);
    return true;
}

std::uint32_t CHttpWrapper::PostUrl(const std::wstring& url, std::wstring& response)
{
    std::wstring host, object;
    bool secure = false;
    SplitUrl(url, host, object, secure);

    std::wstring message;
    HttpSession::Handle connection = nullptr;
    if (const std::uint32_t error = mSession.Connect(host, secure, connection, message)) {
        response = CutMessage(message);
        LogError(L"extract server and objects failed because: %s", response);
        return error;
    }
    if (!connection) {
        LogError(L"Can\u00b4t get an httpConnection");
        return kPostNoObject;
    }

    HttpSession::Handle request = nullptr;
    if (const std::uint32_t error = mSession.OpenRequest(connection, object, secure, request, message)) {
        response = CutMessage(message);
        LogError(L"open request failed because: %s", response);
        return error;
    }
    if (!request) {
        LogError(L"Can\u00b4t open Http request.");
        return kPostNoObject;
    }

    if (!mPostArguments.empty()) {
        const std::string body = WideToAnsi(mPostArguments);
        if (body.empty()) {
            LogError(L"Can\u00b4t send request.");
            return kPostNoObject;
        }
        if (const std::uint32_t error = mSession.SendRequest(request, kFormHeader, body, message)) {
            response = CutMessage(message);
            LogError(L"send the request failed because: %s", response);
            LogError(L"%s", response);
            return error;
        }
    }

    std::uint32_t status = 0;
    if (!mSession.QueryStatusCode(request, status)) {
        LogError(L"Can\u00b4t read status code.");
        return kPostNoStatus;
    }
    if (status != kHttpStatusOk) {
        return status;
    }

    std::string bytes;
    if (const std::uint32_t error = mSession.ReadBody(request, bytes, message)) {
        response = CutMessage(message);
        LogError(L"read the answer failed because: %s", response);
        return error;
    }
    response = WidenAnswerBytes(bytes);
    return kPostOk;
}

std::wstring WidenAnswerBytes(std::string_view bytes)
{
    std::wstring response;
    response.reserve(bytes.size());
    for (char b : bytes) {
        // Each byte widened with its sign into 16 bits, as the service's ASCII answers expect.
        response.push_back(static_cast<wchar_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(static_cast<signed char>(b)))));
    }
    return response;
}

} // namespace qrnv
