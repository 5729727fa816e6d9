#pragma once
// The numbered texts the program shows to users (and writes for the calling product), in
// German, English and Japanese, and the rule that picks the language.

#include <cstdint>
#include <string>

namespace qrnv {

enum class TextLanguage { German, English, Japanese };

// Windows language identifiers that have texts of their own; every other one gets English.
inline constexpr std::int32_t kLanguageIdGerman = 1031;
inline constexpr std::int32_t kLanguageIdJapanese = 1041;

// Rows 0 .. kTextCount - 1 exist.
inline constexpr int kTextCount = 66;

// Rows that callers pick by number.
inline constexpr int kTextProductName = 50;
inline constexpr int kTextUnknown = 65;

// The identifier the texts follow: the product's language, or the system's default language
// when the product's is 0 (not known).
std::int32_t EffectiveLanguageId(std::int32_t programLanguage, std::int32_t systemDefaultLanguage);

// Exactly 1031 selects German and exactly 1041 Japanese; everything else (2055, 3079, 0, ...)
// English. Takes an identifier already made effective: 0 here is not the system's default.
TextLanguage SelectLanguage(std::int32_t languageId);

// The row's text in the language; an unknown row gives the empty text. The reference stays
// valid until the process ends.
const std::wstring& GetText(int row, TextLanguage language);
const std::wstring& GetText(int row, std::int32_t languageId);

} // namespace qrnv
