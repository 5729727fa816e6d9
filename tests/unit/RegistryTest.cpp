#include <gtest/gtest.h>

#include <vector>

#include "Client/system/Registry.h"
#include "RegistrySandbox.h"

namespace qrnv {
namespace {

class Registry : public ::testing::Test {
protected:
    test::RegistrySandbox mSandbox;
    const std::wstring mRoot = mSandbox.UniqueKeyPath(L"Registry");

    std::vector<std::wstring> SubKeys(const std::wstring& path)
    {
        RegKey key;
        std::vector<std::wstring> names;
        if (!key.Open(RegHive::CurrentUser, path, RegView::Registry64, false)) {
            ADD_FAILURE() << "cannot open the key";
            return names;
        }
        std::wstring name;
        std::uint32_t i = 0;
        for (RegEnumResult r; (r = key.EnumSubKey(i, name)) != RegEnumResult::NoMore; ++i) {
            EXPECT_EQ(RegEnumResult::Ok, r);
            names.push_back(name);
        }
        return names;
    }
};

TEST_F(Registry, CreateMakesParentsAndOpenFindsOnlyExistingKeys)
{
    RegKey key;
    EXPECT_FALSE(key.Open(RegHive::CurrentUser, mRoot + L"\\A\\B\\C", RegView::Registry64, false));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(key.Open(RegHive::CurrentUser, mRoot, RegView::Registry64, false)) << "Open created a key";

    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot + L"\\A\\B\\C", RegView::Registry64));
    for (const wchar_t* level : {L"", L"\\A", L"\\A\\B", L"\\A\\B\\C"}) {
        RegKey parent;
        EXPECT_TRUE(parent.Open(RegHive::CurrentUser, mRoot + level, RegView::Registry64, false)) << level;
    }
    // The hives are apart.
    EXPECT_FALSE(key.Open(RegHive::LocalMachine, mRoot + L"\\A", RegView::Registry64, false));
}

TEST_F(Registry, KeyAndValueNamesIgnoreCaseAndKeepTheirSpelling)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot + L"\\MixedCase", RegView::Registry64));
    ASSERT_TRUE(key.WriteText(L"SomeValue", L"first"));
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot + L"\\MIXEDCASE", RegView::Registry64)) << "same key again";
    ASSERT_TRUE(key.WriteText(L"SOMEVALUE", L"second"));

    RegKey other;
    ASSERT_TRUE(other.Open(RegHive::CurrentUser, mRoot + L"\\mixedcase", RegView::Registry64, false));
    std::wstring text;
    EXPECT_TRUE(other.ReadText(L"somevalue", text, 100));
    EXPECT_EQ(L"second", text);

    EXPECT_EQ(std::vector<std::wstring>{L"MixedCase"}, SubKeys(mRoot));
    std::wstring name;
    RegValueType type = RegValueType::Other;
    ASSERT_EQ(RegEnumResult::Ok, other.EnumValue(0, name, type));
    EXPECT_EQ(L"SomeValue", name);
    EXPECT_EQ(RegValueType::Text, type);
    EXPECT_EQ(RegEnumResult::NoMore, other.EnumValue(1, name, type));
}

TEST_F(Registry, SubKeysAreEnumeratedByIndexInAStableOrder)
{
    for (const wchar_t* name : {L"Charlie", L"alpha", L"Bravo"}) {
        RegKey key;
        ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot + L"\\" + name, RegView::Registry64));
    }
    const std::vector<std::wstring> expected{L"alpha", L"Bravo", L"Charlie"};
    EXPECT_EQ(expected, SubKeys(mRoot));
    EXPECT_EQ(expected, SubKeys(mRoot)) << "a second walk sees the same order";

    RegKey closed;
    std::wstring name;
    EXPECT_EQ(RegEnumResult::NoMore, closed.EnumSubKey(0, name)) << "a closed key ends the walk";
}

TEST_F(Registry, ValuesAreTypedAndAWrongTypeReadsAsMissing)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot, RegView::Registry64));
    ASSERT_TRUE(key.WriteText(L"Text", L"Gr\u00fc\u00dfe \u4e0d\u660e"));
    ASSERT_TRUE(key.WriteText(L"Empty", L""));
    ASSERT_TRUE(key.WriteNumber(L"Number", 0xFFFFFFFFu));

    std::wstring text = L"untouched";
    std::uint32_t number = 7;
    EXPECT_TRUE(key.ReadText(L"Text", text, 100));
    EXPECT_EQ(L"Gr\u00fc\u00dfe \u4e0d\u660e", text);
    EXPECT_TRUE(key.ReadText(L"Empty", text, 100));
    EXPECT_EQ(L"", text);
    EXPECT_TRUE(key.ReadNumber(L"Number", number));
    EXPECT_EQ(0xFFFFFFFFu, number);

    text = L"untouched";
    number = 7;
    EXPECT_FALSE(key.ReadText(L"Number", text, 100));
    EXPECT_FALSE(key.ReadNumber(L"Text", number));
    EXPECT_FALSE(key.ReadText(L"Missing", text, 100));
    EXPECT_FALSE(key.ReadNumber(L"Missing", number));
    EXPECT_EQ(L"untouched", text);
    EXPECT_EQ(7u, number);

    // A value overwritten with the other type is of that type from then on.
    ASSERT_TRUE(key.WriteNumber(L"Text", 5));
    EXPECT_FALSE(key.ReadText(L"Text", text, 100));
    EXPECT_TRUE(key.ReadNumber(L"Text", number));
    EXPECT_EQ(5u, number);
}

TEST_F(Registry, TextLongerThanTheLimitIsNotRead)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot, RegView::Registry64));
    ASSERT_TRUE(key.WriteText(L"Ten", L"0123456789"));
    std::wstring text;
    EXPECT_TRUE(key.ReadText(L"Ten", text, 10));
    EXPECT_EQ(L"0123456789", text);
    text = L"untouched";
    EXPECT_FALSE(key.ReadText(L"Ten", text, 9));
    EXPECT_EQ(L"untouched", text);
}

TEST_F(Registry, DeletedValuesAreGone)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot, RegView::Registry64));
    ASSERT_TRUE(key.WriteText(L"A", L"x"));
    ASSERT_TRUE(key.WriteNumber(L"B", 1));
    EXPECT_TRUE(key.DeleteValue(L"a"));
    EXPECT_FALSE(key.DeleteValue(L"A")) << "nothing left to delete";

    RegKey reader;
    ASSERT_TRUE(reader.Open(RegHive::CurrentUser, mRoot, RegView::Registry64, false));
    std::wstring text;
    EXPECT_FALSE(reader.ReadText(L"A", text, 10));
    std::wstring name;
    RegValueType type;
    ASSERT_EQ(RegEnumResult::Ok, reader.EnumValue(0, name, type));
    EXPECT_EQ(L"B", name);
    EXPECT_EQ(RegValueType::Number, type);
    EXPECT_EQ(RegEnumResult::NoMore, reader.EnumValue(1, name, type));
}

TEST_F(Registry, AKeyOpenedForReadingRefusesWrites)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot, RegView::Registry64));
    ASSERT_TRUE(key.WriteText(L"A", L"x"));
    ASSERT_TRUE(key.Open(RegHive::CurrentUser, mRoot, RegView::Registry64, false));
    EXPECT_FALSE(key.WriteText(L"A", L"changed"));
    EXPECT_FALSE(key.WriteNumber(L"B", 1));
    EXPECT_FALSE(key.DeleteValue(L"A"));
    ASSERT_TRUE(key.Open(RegHive::CurrentUser, mRoot, RegView::Registry64, true));
    EXPECT_TRUE(key.WriteText(L"A", L"changed"));
    std::wstring text;
    EXPECT_TRUE(key.ReadText(L"A", text, 10));
    EXPECT_EQ(L"changed", text);
}

TEST_F(Registry, OwnershipMovesAndAClosedKeyDoesNothing)
{
    RegKey first;
    ASSERT_TRUE(first.Create(RegHive::CurrentUser, mRoot, RegView::Registry64));
    RegKey second(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    EXPECT_TRUE(second.IsOpen());
    EXPECT_FALSE(first.WriteText(L"A", L"x"));
    EXPECT_TRUE(second.WriteText(L"A", L"x"));
    first = std::move(second);
    EXPECT_TRUE(first.IsOpen());
    first.Close();
    std::wstring text;
    EXPECT_FALSE(first.ReadText(L"A", text, 10));
}

TEST_F(Registry, DeletingAKeyTreeRemovesItsSubKeysAndValues)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot + L"\\Keep", RegView::Registry64));
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot + L"\\Gone\\Deep", RegView::Registry64));
    ASSERT_TRUE(key.WriteText(L"V", L"x"));
    key.Close();
    EXPECT_TRUE(DeleteRegKeyTree(RegHive::CurrentUser, mRoot + L"\\gone", RegView::Registry64));
    EXPECT_FALSE(key.Open(RegHive::CurrentUser, mRoot + L"\\Gone\\Deep", RegView::Registry64, false));
    EXPECT_EQ(std::vector<std::wstring>{L"Keep"}, SubKeys(mRoot));
    EXPECT_FALSE(DeleteRegKeyTree(RegHive::CurrentUser, mRoot + L"\\Gone", RegView::Registry64));
    // A key created again after its deletion starts empty.
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot + L"\\Gone\\Deep", RegView::Registry64));
    std::wstring text;
    EXPECT_FALSE(key.ReadText(L"V", text, 10));
}

TEST_F(Registry, AKeyDeletedWhileOpenTakesNoMoreValues)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, mRoot + L"\\Doomed", RegView::Registry64));
    ASSERT_TRUE(DeleteRegKeyTree(RegHive::CurrentUser, mRoot + L"\\Doomed", RegView::Registry64));
    EXPECT_FALSE(key.WriteText(L"V", L"x"));
    RegKey again;
    EXPECT_FALSE(again.Open(RegHive::CurrentUser, mRoot + L"\\Doomed", RegView::Registry64, false)) << "the write revived the key";
}

} // namespace
} // namespace qrnv
