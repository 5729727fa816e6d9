#pragma once
// The update web service's call convention: an XML document printed, encoded twice and
// posted as the one form argument of a method; the answer document wrapped in the root of
// the service's answer.

#include <cstdint>
#include <string>
#include <string_view>

namespace tinyxml2 {
class XMLDocument;
}

namespace qrnv {

// The service's methods with their form arguments.
inline constexpr const wchar_t* kServiceFile = L"QRNVWebservice.asmx";
inline constexpr const wchar_t* kQuickCheckMethod = L"/QuickCheck";
inline constexpr const wchar_t* kQuickCheckArgument = L"QuickCheckXML";
inline constexpr const wchar_t* kUpdateStatusMethod = L"/ReportUpdateStatus";
inline constexpr const wchar_t* kUpdateStatusArgument = L"UpdateStatusXML";
inline constexpr const wchar_t* kUpgradeOfferStatusMethod = L"/ReportUpgradeOfferStatus";
inline constexpr const wchar_t* kUpgradeOfferStatusArgument = L"UpgradeOfferStatusXML";

// The built-in base address (a build setting), used unless DebugUrl_v2 replaces it.
std::wstring DefaultServiceBaseUrl();

// The document in the printer's indented form, without declaration, widened by the ANSI
// code page.
std::wstring PrintServiceDocument(const tinyxml2::XMLDocument& document);

// Posts the document to the method: the result of the last post (0 = success, with the
// answer body in response), after at most one retry without SSL.
std::uint32_t PostXmlToService(const std::wstring& argumentName, const tinyxml2::XMLDocument& document,
                               const std::wstring& methodPath, std::wstring& response);

// The same for the status reports: the answer is dropped.
void PostStatusXmlToService(const std::wstring& argumentName, const tinyxml2::XMLDocument& document,
                            const std::wstring& methodPath);

// False when a "&" outside CDATA sections, comments and processing instructions begins no
// predefined entity or character reference (of a character other than 0 up to U+10FFFF).
// The XML library does not refuse such a document: it writes a wrong byte into the text, so
// the answers are checked with this before they are parsed, and count as not XML.
bool HasOnlyValidReferences(std::string_view document);

// The inner answer: the decoded text of the root's first child when that is text or CDATA;
// otherwise (not XML, an invalid reference, no root, an element first) the empty text. Bytes, as the answer came.
std::string UnwrapServiceAnswer(const std::wstring& response);

} // namespace qrnv
