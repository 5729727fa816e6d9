#include <gtest/gtest.h>

#include "Client/system/NamedEvent.h"
#include "Client/system/ProcessArguments.h"
#include "sdk/text/Format.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

TEST(CreateNamedEvent, TheSecondCreationOfANameFailsWithTheErrorLine)
{
    const std::wstring name = FormatText(L"Qrnv Test %lu is visible", CurrentProcessId());
    EXPECT_FALSE(NamedEventExists(name));
    const test::LogCapture log;
    EXPECT_TRUE(CreateNamedEvent(name));
    EXPECT_TRUE(NamedEventExists(name));
    EXPECT_FALSE(CreateNamedEvent(name));
    EXPECT_TRUE(NamedEventExists(name)); // the first one stays
    const auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"INF", lines[0].level);
    EXPECT_EQ(L"SetEvent \"" + name + L"\" succeeded!", lines[0].message);
    EXPECT_EQ(L"ERR", lines[1].level);
    EXPECT_EQ(L"SetEvent \"" + name + L"\" failed because event already exist!", lines[1].message);
}

TEST(CreateNamedEvent, OtherNamesAreIndependent)
{
    const std::wstring a = FormatText(L"Qrnv Test %lu a", CurrentProcessId());
    const std::wstring b = FormatText(L"Qrnv Test %lu b", CurrentProcessId());
    EXPECT_TRUE(CreateNamedEvent(a));
    EXPECT_FALSE(NamedEventExists(b));
    EXPECT_TRUE(CreateNamedEvent(b));
}

} // namespace
} // namespace qrnv
