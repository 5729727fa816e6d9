#include "Client/system/VersionSection.h"

#include "Client/system/ElfSection.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "[LLLLCCCC]": language and code page.
bool ParseTranslationLine(std::string_view line, VersionTranslation& out)
{
    if (line.size() != 10 || line.front() != '[' || line.back() != ']') {
        return false;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 1; i < 9; ++i) {
        const int d = HexDigit(line[i]);
        if (d < 0) {
            return false;
        }
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    out.mLanguage = static_cast<std::uint16_t>(value >> 16);
    out.mCodePage = static_cast<std::uint16_t>(value & 0xFFFF);
    return true;
}

bool Writable(std::string_view text)
{
    return text.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

} // namespace

std::vector<VersionTranslation> ParseVersionSection(std::string_view content)
{
    std::vector<VersionTranslation> translations;
    if (content.substr(0, kVersionSectionMagic.size()) != kVersionSectionMagic) {
        return translations;
    }
    std::string_view text = content.substr(kVersionSectionMagic.size());
    const std::size_t end = text.find('\0');
    if (end != std::string_view::npos) {
        text = text.substr(0, end);
    }
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);

        VersionTranslation next;
        if (ParseTranslationLine(line, next)) {
            translations.push_back(std::move(next));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (translations.empty() || eq == std::string_view::npos || eq == 0) {
            continue;
        }
        translations.back().mStrings.emplace_back(Utf8ToWide(line.substr(0, eq)), Utf8ToWide(line.substr(eq + 1)));
    }
    return translations;
}

std::optional<std::string> EncodeVersionSection(const std::vector<VersionTranslation>& translations, std::size_t capacity)
{
    std::string text(kVersionSectionMagic);
    static const char kHex[] = "0123456789abcdef";
    for (const auto& t : translations) {
        const std::uint32_t id = (static_cast<std::uint32_t>(t.mLanguage) << 16) | t.mCodePage;
        text += '[';
        for (int shift = 28; shift >= 0; shift -= 4) {
            text += kHex[(id >> shift) & 0xF];
        }
        text += "]\n";
        for (const auto& [key, value] : t.mStrings) {
            const std::string k = WideToUtf8(key);
            const std::string v = WideToUtf8(value);
            if (k.empty() || k.find('=') != std::string::npos || !Writable(k) || !Writable(v)) {
                return std::nullopt;
            }
            text += k + "=" + v + "\n";
        }
    }
    if (text.size() >= capacity) {
        return std::nullopt;
    }
    text.resize(capacity, '\0');
    return text;
}

StampResult StampVersionSection(std::string& program, const std::vector<VersionTranslation>& translations)
{
    const MemoryByteSource source(program);
    const auto range = FindElfSection(source, kVersionSectionName);
    if (!range || range->mSize < kVersionSectionMagic.size() || range->mSize > kVersionSectionMaxSize) {
        return StampResult::NoSection;
    }
    const auto content = EncodeVersionSection(translations, static_cast<std::size_t>(range->mSize));
    if (!content) {
        return StampResult::DoesNotFit;
    }
    program.replace(static_cast<std::size_t>(range->mOffset), content->size(), *content);
    return StampResult::Ok;
}

} // namespace qrnv
