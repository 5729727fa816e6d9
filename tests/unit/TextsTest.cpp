#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Client/ui/Texts.h"
#include "embedded/texts.tsv.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

// The fixture is UTF-8, one row per line: number, German, English, Japanese, separated by
// tabs; inside a text \t is a tab, \n a line break and \\ a backslash.
std::wstring Unescape(const std::string& field)
{
    std::string bytes;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size()) {
            const char c = field[++i];
            bytes += c == 't' ? '\t' : c == 'n' ? '\n' : c;
        } else {
            bytes += field[i];
        }
    }
    return Utf8ToWide(bytes);
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

TEST(Texts, EveryRowMatchesTheReferenceTable)
{
    std::istringstream in(embedded::texts_tsv);
    std::string line;
    int expectedRow = 0;
    while (std::getline(in, line)) {
        const auto fields = SplitTabs(line);
        ASSERT_EQ(4u, fields.size()) << "fixture line " << expectedRow;
        const int row = std::stoi(fields[0]);
        ASSERT_EQ(expectedRow, row);
        EXPECT_EQ(Unescape(fields[1]), GetText(row, TextLanguage::German)) << "row " << row;
        EXPECT_EQ(Unescape(fields[2]), GetText(row, TextLanguage::English)) << "row " << row;
        EXPECT_EQ(Unescape(fields[3]), GetText(row, TextLanguage::Japanese)) << "row " << row;
        ++expectedRow;
    }
    EXPECT_EQ(kTextCount, expectedRow);
}

// Independent of the fixture's UTF-8 decoding: the compiler must have read the source as UTF-8.
TEST(Texts, NonAsciiLettersAreSingleWideCharacters)
{
    EXPECT_EQ(std::wstring(L"\u4e0d\u660e"), GetText(kTextUnknown, TextLanguage::Japanese));
    EXPECT_EQ(std::wstring(L"Schlie\u00dfen"), GetText(34, TextLanguage::German));
    EXPECT_EQ(std::wstring(L"Don\u2019t notify me about this update again."), GetText(7, TextLanguage::English));
}

TEST(Texts, UnknownRowsAreEmpty)
{
    for (int row : {-1, kTextCount, 1000, -2147483647 - 1}) {
        for (auto language : {TextLanguage::German, TextLanguage::English, TextLanguage::Japanese}) {
            EXPECT_EQ(L"", GetText(row, language)) << "row " << row;
        }
    }
    EXPECT_EQ(L"", GetText(66, kLanguageIdGerman));
}

TEST(Texts, LanguageRuleTakesOnlyTheTwoExactIdentifiers)
{
    struct Case {
        std::int32_t id;
        TextLanguage expected;
    };
    const Case cases[] = {
        {1031, TextLanguage::German},  {1041, TextLanguage::Japanese}, {1033, TextLanguage::English},
        {2055, TextLanguage::English}, {3079, TextLanguage::English},  {2057, TextLanguage::English},
        {0, TextLanguage::English},    {-1, TextLanguage::English},    {1031 + 65536, TextLanguage::English},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, SelectLanguage(c.id)) << "id " << c.id;
    }
}

TEST(Texts, ProgramLanguageZeroFollowsTheSystem)
{
    EXPECT_EQ(1041, EffectiveLanguageId(0, 1041));
    EXPECT_EQ(L"\u4e0d\u660e", GetText(kTextUnknown, EffectiveLanguageId(0, 1041)));
    // A language given by the product wins over the system's.
    EXPECT_EQ(L"Unknown", GetText(kTextUnknown, EffectiveLanguageId(1033, 1031)));
    EXPECT_EQ(L"Unbekannt", GetText(kTextUnknown, EffectiveLanguageId(1031, 1041)));
    EXPECT_EQ(L"Unknown", GetText(kTextUnknown, EffectiveLanguageId(2055, 1031)));
}

TEST(Texts, RowsCallersRelyOn)
{
    EXPECT_EQ(L"Version:", GetText(33, kLanguageIdGerman));
    EXPECT_EQ(L"Remind me again later ", GetText(55, 1033));
    for (std::int32_t id : {kLanguageIdGerman, 1033, kLanguageIdJapanese}) {
        EXPECT_EQ(L' ', GetText(14, id).back()) << "id " << id;
        EXPECT_EQ(GetText(kTextProductName, id), GetText(60, id)) << "id " << id;
    }
}

} // namespace
} // namespace qrnv
