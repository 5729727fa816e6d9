#include <gtest/gtest.h>

#include "Client/system/CommandLineText.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

using Args = std::vector<std::wstring>;

std::string Show(const Args& args)
{
    std::string out = "{";
    for (const auto& a : args) {
        out += "[" + test::Narrow(a) + "]";
    }
    return out + "}";
}

TEST(SplitCommandLine, SplitsAsTheWindowsCRuntime)
{
    struct Case {
        const wchar_t* line;
        Args expected;
    };
    const Case cases[] = {
        {L"", {}},
        {L"   \t ", {}},
        {L"a b  c", {L"a", L"b", L"c"}},
        {L"a\tb ", {L"a", L"b"}},
        {L"\"a b\" c", {L"a b", L"c"}},
        {L"a\"b c\"d", {L"ab cd"}},
        // Unbalanced quotes: the quoted part runs to the end.
        {L"\"abc", {L"abc"}},
        {L"a \"b c", {L"a", L"b c"}},
        {L"a\"b", {L"ab"}},
        {L"\"a\"b\" c\"", {L"ab c"}},
        // Empty arguments.
        {L"\"\"", {L""}},
        {L"\"\" \"\"", {L"", L""}},
        {L"a \"\" b", {L"a", L"", L"b"}},
        // Backslashes count only before a quote: 2n give n and the quote groups, 2n+1 give
        // n and a literal quote.
        {L"a\\\\b c\\", {L"a\\\\b", L"c\\"}},
        {L"\\\"a", {L"\"a"}},
        {L"\\\\\"a b\"", {L"\\a b"}},
        {L"\\\\\\\"a", {L"\\\"a"}},
        {L"\\\\\\\\\"a\"", {L"\\\\a"}},
        {L"\"a\\\\\" b", {L"a\\", L"b"}},
        {L"\"C:\\P\\\\\" -x", {L"C:\\P\\", L"-x"}},
        {L"\"C:\\P\\\" -x", {L"C:\\P\" -x"}},
        // "" inside a quoted part is a literal quote and the part goes on.
        {L"\"a\"\"b\"", {L"a\"b"}},
        {L"\"a\"\" b\" c", {L"a\" b", L"c"}},
        {L"\"a\"\"", {L"a\""}},
        {L"\"\"\"\"", {L"\""}},
        // Outside quotes "" opens and closes an empty quoted part.
        {L"a\"\"b", {L"ab"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Show(c.expected), Show(SplitCommandLine(c.line))) << "line: " << test::Narrow(c.line);
    }
}

TEST(SplitCommandLine, TheProgramPathTakesNoBackslashRules)
{
    struct Case {
        const wchar_t* line;
        Args expected;
    };
    const Case cases[] = {
        {L"prog", {L"prog"}},
        {L"\"C:\\Program Files\\q.exe\" -x", {L"C:\\Program Files\\q.exe", L"-x"}},
        {L"C:\\a\\b.exe \"x y\"", {L"C:\\a\\b.exe", L"x y"}},
        {L"\"C:\\d\\\\\" y", {L"C:\\d\\\\", L"y"}},
        {L"\"C:\\d\\\" y", {L"C:\\d\\", L"y"}},
        {L"\"unbalanced prog arg", {L"unbalanced prog arg"}},
        {L" lead", {L"", L"lead"}},
        {L"", {L""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Show(c.expected), Show(SplitCommandLine(c.line, true))) << "line: " << test::Narrow(c.line);
    }
}

TEST(JoinCommandLine, SplittingTheJoinedLineGivesTheArgumentsBack)
{
    const Args args = {L"plain", L"", L"a b", L"a\"b", L"a\\", L"a\\\\", L"a\\\"b", L"\\\\server\\share\\", L"tab\there",
                       L"\"", L"\\", L"a b\\", L"C:\\Program Files\\x\\", L"-ProgramName", L"\"quoted\"", L"x\\\\\"y z"};
    const std::wstring line = JoinCommandLine(args);
    EXPECT_EQ(Show(args), Show(SplitCommandLine(line))) << test::Narrow(line);
    for (const auto& a : args) {
        EXPECT_EQ(Show({a}), Show(SplitCommandLine(QuoteArgument(a)))) << test::Narrow(a);
    }
    // What needs no quotes stays as it is.
    EXPECT_EQ(L"C:\\dir\\file.exe", QuoteArgument(L"C:\\dir\\file.exe"));
    EXPECT_EQ(L"a b", JoinCommandLine({L"a", L"b"}));
}

} // namespace
} // namespace qrnv
