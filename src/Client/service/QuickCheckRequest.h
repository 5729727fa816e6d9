#pragma once
// The documents the client sends the update web service: the QuickCheck request and the
// machine header that the status reports share with it.

#include <cstdint>
#include <memory>
#include <string>

#include "Client/ProgramInfo.h"

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
} // namespace tinyxml2

namespace qrnv {

struct SystemTime;

// Every text and number of a request passes a buffer of this many bytes with its terminator.
inline constexpr std::size_t kRequestTextBuffer = 261;

// The QuickCheck request for the product: the machine facts always, the product facts in
// QuickCheck or OnlyAdViewer mode. Null when no document could be made; error (when given)
// is 0 at the start and says why otherwise.
std::unique_ptr<tinyxml2::XMLDocument> BuildQuickCheckRequest(const ProgramInfo& info, bool quickCheckMode,
                                                               bool onlyAdViewerMode, std::int32_t* error);

// Pieces the reports use as well: an element with the text in the request's 8-bit form,
// and the machine header elements with their log lines.
tinyxml2::XMLElement* AppendTextElement(tinyxml2::XMLElement* parent, const char* name, const std::wstring& text);
tinyxml2::XMLElement* AppendEmptyElement(tinyxml2::XMLElement* parent, const char* name);
void AppendVersionElement(tinyxml2::XMLElement* root);
void AppendMacElement(tinyxml2::XMLElement* root);
void AppendMachineGuidElement(tinyxml2::XMLElement* root);

// "%d.%2d.%2d %02d:%02d:%02d:%02d" of the current UTC time, or of the time given.
std::wstring FormatRequestTimeStamp();
std::wstring FormatRequestTimeStamp(const SystemTime& t);

} // namespace qrnv
