#include <gtest/gtest.h>

#include "Client/system/MachineId.h"

namespace qrnv {
namespace {

TEST(MachineId, ThirtyTwoHexDigitsBecomeALowerCaseGuid)
{
    const struct {
        const char* id;
        const wchar_t* guid; // nullptr: refused
    } cases[] = {
        {"3d1219c7c4c5404aaa1f6d2a48adfda4\n", L"3d1219c7-c4c5-404a-aa1f-6d2a48adfda4"},
        {"3D1219C7C4C5404AAA1F6D2A48ADFDA4", L"3d1219c7-c4c5-404a-aa1f-6d2a48adfda4"},
        {"00000000000000000000000000000001\r\n", L"00000000-0000-0000-0000-000000000001"},
        {"3d1219c7c4c5404aaa1f6d2a48adfda", nullptr},   // 31 digits
        {"3d1219c7c4c5404aaa1f6d2a48adfda4a", nullptr}, // 33 digits
        {"3d1219c7c4c5404aaa1f6d2a48adfdg4", nullptr},  // not hex
        {" 3d1219c7c4c5404aaa1f6d2a48adfda4", nullptr}, // leading blank
        {"3d1219c7-c4c5-404a-aa1f-6d2a48adfda4", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        std::wstring out = L"untouched";
        const bool ok = MachineIdToGuid(c.id, out);
        EXPECT_EQ(c.guid != nullptr, ok) << c.id;
        EXPECT_EQ(c.guid ? c.guid : L"untouched", out) << c.id;
    }
}

} // namespace
} // namespace qrnv
