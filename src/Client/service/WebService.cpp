#include "Client/service/WebService.h"

#include <tinyxml2.h>

#include <algorithm>
#include <array>

#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/service/HttpWrapper.h"
#include "Client/system/InternetErrors.h"
#include "Client/system/LastError.h"
#include "sdk/text/TextConvert.h"
#include "sdk/text/TextEdit.h"

#ifndef QRNV_SERVICE_BASE_URL
#define QRNV_SERVICE_BASE_URL L"https://update.quarn.example/Renova/"
#endif

namespace qrnv {
namespace {

// The failures after which the call tries once more over plain HTTP.
constexpr std::array<std::uint32_t, 4> kRetryWithoutSsl = {kInternetCannotConnect, kInternetSecCertDateInvalid,
                                                           kInternetInvalidCa, kInternetSecCertRevFailed};

void CheckLastError(const wchar_t* step)
{
    const std::uint32_t code = GetLastErrorCode();
    if (code != 0) {
        LogError(step, GetErrorMessage(code), static_cast<std::int32_t>(code));
        SetLastErrorCode(0);
    }
}

// Steps 3 to 9 of a call; the caller has printed and logged the request.
std::uint32_t Post(const std::wstring& argumentName, const std::wstring& request, const std::wstring& methodPath,
                   std::wstring& response, bool clearErrorBeforeUrl)
{
    if (clearErrorBeforeUrl) {
        SetLastErrorCode(0);
    }
    std::wstring url = DefaultServiceBaseUrl();
    const std::wstring debugUrl = GetDebugUrl(GetProgramInfo());
    if (!debugUrl.empty()) {
        url = debugUrl;
    }
    url += kServiceFile;
    url += methodPath;
    LogInfo(L"url to Webserver: %s", url);

    if (!clearErrorBeforeUrl) {
        SetLastErrorCode(0);
    }
    CHttpWrapper http;
    CheckLastError(L"After Create CHttpWrapper: \"%s\" (%d)");
    http.AddPostArgument(argumentName, UrlEncode(request));
    CheckLastError(L"After AddPostArgument: \"%s\" (%d)");
    std::uint32_t result = http.PostUrl(url, response);
    CheckLastError(L"After PostUrl: \"%s\" (%d)");

    if (result == kPostOk) {
        LogInfo(L"%s result = %d", methodPath, static_cast<std::int32_t>(result));
        return result;
    }
    LogError(L"%s result = %d", methodPath, static_cast<std::int32_t>(result));
    const bool retryable = std::find(kRetryWithoutSsl.begin(), kRetryWithoutSsl.end(), result) != kRetryWithoutSsl.end();
    if (retryable && url.find(L"https://") != std::wstring::npos) {
        url = ReplaceAll(url, L"https://", L"http://");
        LogWarning(L"Try to connect without SSL: %s", url);
        result = http.PostUrl(url, response);
        if (result == kPostOk) {
            LogInfo(L"%s result = %d", methodPath, static_cast<std::int32_t>(result));
        } else {
            LogError(L"%s result = %d", methodPath, static_cast<std::int32_t>(result));
        }
    }
    return result;
}

} // namespace

std::wstring DefaultServiceBaseUrl()
{
    return QRNV_SERVICE_BASE_URL;
}

std::wstring PrintServiceDocument(const tinyxml2::XMLDocument& document)
{
    tinyxml2::XMLPrinter printer(nullptr, false);
    document.Print(&printer);
    return AnsiToWide(std::string(printer.CStr(), static_cast<std::size_t>(printer.CStrSize() > 0 ? printer.CStrSize() - 1 : 0)));
}

std::uint32_t PostXmlToService(const std::wstring& argumentName, const tinyxml2::XMLDocument& document,
                               const std::wstring& methodPath, std::wstring& response)
{
    const std::wstring request = PrintServiceDocument(document);
    LogInfo(L"%s", request);
    return Post(argumentName, request, methodPath, response, false);
}

void PostStatusXmlToService(const std::wstring& argumentName, const tinyxml2::XMLDocument& document,
                            const std::wstring& methodPath)
{
    const std::wstring request = PrintServiceDocument(document);
    LogInfo(L"%s", request);
    std::wstring response;
    Post(argumentName, request, methodPath, response, true);
}

std::string UnwrapServiceAnswer(const std::wstring& response)
{
    const std::string bytes = WideToAnsi(response);
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (doc.Parse(bytes.c_str(), bytes.size()) != tinyxml2::XML_SUCCESS) {
        return {};
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root) {
        return {};
    }
    const tinyxml2::XMLNode* first = root->FirstChild();
    const tinyxml2::XMLText* text = first ? first->ToText() : nullptr;
    if (!text || !text->Value()) {
        return {};
    }
    return text->Value();
}

} // namespace qrnv
