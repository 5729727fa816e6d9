#include <gtest/gtest.h>

#include "Client/system/AsciiName.h"

namespace qrnv {
namespace {

TEST(AsciiName, KeepsAsciiLettersDigitsDotsAndBlanksOnly)
{
    const struct {
        const char* label;
        std::wstring text;
        std::wstring expected;
    } cases[] = {
        {"punctuation dropped", L"Quarn Tool (Test)", L"Quarn Tool Test"},
        {"umlaut dropped", L"Gr\u00fcn 2.0", L"Grn 2.0"},
        {"control and Latin-1 characters dropped", L"a\tb\u00ffc\u00a0d", L"abcd"},
        {"euro sign: code / 255, then 'A' + code % 26", L"\u20ac", L"~32S"},
        {"one group per Japanese character", L"\u4e0d\u660e", L"~78N~102W"},
        {"empty", L"", L""},
    };
    for (const auto& c : cases) {
        std::wstring out = L"kept:";
        ToAsciiName(c.text, out);
        EXPECT_EQ(L"kept:" + c.expected, out) << c.label;
    }
}

TEST(AsciiName, MultiByteTextIsAllOrNothing)
{
    const struct {
        const char* label;
        std::wstring text;
        std::string expected;
    } cases[] = {
        {"plain ASCII unchanged", L"Quarn Tool (Test) 1.2", "Quarn Tool (Test) 1.2"},
        {"Latin-1 kept as its bytes", L"Gr\u00fcn & Co", "Gr\xfcn & Co"},
        {"one character above 255 sends the whole text through the ASCII name", L"Gr\u00fcn & \u4e0d", "Grn  ~78N"},
        {"empty", L"", ""},
    };
    for (const auto& c : cases) {
        std::string out = "replaced";
        ToMultiByteText(c.text, out);
        EXPECT_EQ(c.expected, out) << c.label;
    }
}

} // namespace
} // namespace qrnv
