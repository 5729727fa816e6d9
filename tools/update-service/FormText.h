#pragma once
// Byte-level text helpers of the service: form decoding, Latin-1 and XML escaping.

#include <optional>
#include <string>
#include <string_view>

namespace qrnv::standin {

// One application/x-www-form-urlencoded component: "+" is a blank, "%xx" the byte xx. A "%"
// without two hex digits after it stays as it is, as form-post services leave it.
std::string FormDecode(std::string_view text);

// The value of the first argument called `name` in a form body, decoded once; nothing when
// the body has no such argument.
std::optional<std::string> FindFormArgument(std::string_view body, std::string_view name);

// Each byte as the character of the same value, written as UTF-8. The client's documents are
// single-byte text; this keeps every byte recognisable in the JSON journal.
std::string Latin1ToUtf8(std::string_view bytes);

// &, < and > as entities, for the text of an element.
std::string EscapeXmlText(std::string_view text);

} // namespace qrnv::standin
