#include "Client/service/WebService.h"

#include <tinyxml2.h>

#include <algorithm>
#include <array>
#include <utility>

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
constexpr std::uint32_t kLastCodePoint = 0x10FFFF;

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

// One reference at the start of text (just after its "&"): its length up to and with the
// ";", or 0 when it is none.
std::size_t ReferenceLength(std::string_view text)
{
    for (std::string_view name : {"amp;", "lt;", "gt;", "quot;", "apos;"}) {
        if (text.substr(0, name.size()) == name) {
            return name.size();
        }
    }
    if (text.empty() || text[0] != '#') {
        return 0;
    }
    const bool hex = text.size() > 1 && text[1] == 'x';
    std::size_t i = hex ? 2 : 1;
    std::uint32_t value = 0;
    const std::size_t first = i;
    for (; i < text.size() && text[i] != ';'; ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return 0;
        }
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        if (value > kLastCodePoint) {
            return 0;
        }
    }
    if (i == first || i >= text.size() || value == 0) {
        return 0;
    }
    return i + 1;
}

} // namespace

bool HasOnlyValidReferences(std::string_view document)
{
    // Parts where "&" stands for itself, with their ends.
    const std::pair<std::string_view, std::string_view> kVerbatim[] = {{"<![CDATA[", "]]>"}, {"<!--", "-->"}, {"<?", "?>"}};
    std::size_t i = 0;
    while (i < document.size()) {
        bool skipped = false;
        for (const auto& [open, close] : kVerbatim) {
            if (document.substr(i, open.size()) == open) {
                const std::size_t end = document.find(close, i + open.size());
                // An open part without its end leaves the rest to the parser, which refuses it.
                i = end == std::string_view::npos ? document.size() : end + close.size();
                skipped = true;
                break;
            }
        }
        if (skipped) {
            continue;
        }
        if (document[i] == '&') {
            const std::size_t length = ReferenceLength(document.substr(i + 1));
            if (length == 0) {
                return false;
            }
            i += 1 + length;
            continue;
        }
        ++i;
    }
    return true;
}

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
    if (!HasOnlyValidReferences(bytes)) {
        return {};
    }
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
