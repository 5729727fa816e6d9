#pragma once
// What the service reads from a request document and what it answers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Catalog.h"

namespace qrnv::standin {

using Elements = std::vector<std::pair<std::string, std::string>>;

// A document of one root with one flat level of children, as the client sends them. Texts
// are the document's bytes with entities decoded.
struct FlatDocument {
    std::string root;
    Elements children;

    // The text of the first child called `name`; nothing when there is no such child.
    std::optional<std::string> Child(std::string_view name) const;
};

std::optional<FlatDocument> ParseFlatDocument(const std::string& text);

enum class RequestMode { Normal, QuickCheck, OnlyAdViewer };
const char* RequestModeName(RequestMode mode);

// OnlyAdViewer when the request says so; QuickCheck when it names a product; else normal.
RequestMode ModeOf(const FlatDocument& request);

// Numeric comparison of dotted versions: each part by its leading digits, missing parts 0.
// Negative, 0 or positive as a is older than, equal to or newer than b.
int CompareVersions(std::string_view a, std::string_view b);

// The leading decimal digits of a text as a number, 0 when there are none.
std::int64_t LeadingNumber(std::string_view text);

// The answer's elements for a QuickCheck request and the catalog's product (or none).
Elements DecideQuickCheckAnswer(const FlatDocument& request, const Product* product);

// Replaces every "{name}" of `placeholders` in the texts.
Elements SubstitutePlaceholders(Elements elements, const std::vector<std::pair<std::string, std::string>>& placeholders);

// The answer document: root QuickCheckResponse, the elements, printed indented.
std::string PrintAnswerDocument(const Elements& elements);

// A form-post service's wrapping of a string result: the declaration and a root <string>
// whose text is the answer; an empty answer gives an empty-element root.
std::string WrapEscaped(std::string_view inner);
std::string WrapCdata(std::string_view inner);
// The answer document put into the wrapper as elements, not as text.
std::string WrapAsElements(std::string_view inner);

// Pieces of the wrapper, for answers that are streamed.
inline constexpr std::string_view kWrapperStart =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<string xmlns=\"http://tempuri.org/\">";
inline constexpr std::string_view kWrapperEnd = "</string>";

} // namespace qrnv::standin
