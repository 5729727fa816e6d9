#include <gtest/gtest.h>

#include <fstream>

#include "Client/Settings.h"
#include "Client/system/MachineId.h"
#include "Client/system/Registry.h"
#include "RegistrySandbox.h"

namespace qrnv {
namespace {

TEST(MachineGuid, TheStoreValueComesBeforeTheSystemMachineId)
{
    test::RegistrySandbox sandbox;
    std::wstring fromSystem;
    ASSERT_TRUE(ReadPlatformMachineId(fromSystem)) << "this system has no machine id";
    std::wstring guid;
    ASSERT_TRUE(GetMachineGuid(guid));
    EXPECT_EQ(fromSystem, guid) << "an empty store falls back to the machine id";

    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::LocalMachine, L"SOFTWARE\\Microsoft\\Cryptography", RegView::Registry64));
    ASSERT_TRUE(key.WriteText(L"MachineGuid", L"0f8fad5b-d9cb-469f-a165-70867728950e"));
    ASSERT_TRUE(GetMachineGuid(guid));
    EXPECT_EQ(L"0f8fad5b-d9cb-469f-a165-70867728950e", guid);
}

TEST(MachineGuid, TheMachineIdFileIsReadWhenItHoldsAnId)
{
    test::RegistrySandbox sandbox;
    const std::string file = sandbox.StoreRoot() + "/machine-id";
    std::wstring out = L"untouched";
    EXPECT_FALSE(ReadMachineIdFile(file, out)) << "missing file";
    std::ofstream(file) << "not an id\n";
    EXPECT_FALSE(ReadMachineIdFile(file, out));
    EXPECT_EQ(L"untouched", out);
    std::ofstream(file) << "0123456789abcdef0123456789ABCDEF\n";
    EXPECT_TRUE(ReadMachineIdFile(file, out));
    EXPECT_EQ(L"01234567-89ab-cdef-0123-456789abcdef", out);
}

} // namespace
} // namespace qrnv
