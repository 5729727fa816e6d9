#include <gtest/gtest.h>

#include <filesystem>

#include "Client/ProgramInfo.h"
#include "Client/system/FileSystem.h"
#include "Client/system/Platform.h"
#include "Client/system/SizeText.h"
#include "Client/system/SplitVersion.h"
#include "Client/system/TempFolder.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

using test::LogCapture;
using test::ScopedFolder;
using test::ScopedTempPath;
using test::ToFsPath;

const wchar_t kSep = kPathSeparator;

bool IsFolder(const std::wstring& path)
{
    std::error_code error;
    return std::filesystem::is_directory(ToFsPath(path), error);
}

TEST(SplitVersion, TableOfVersionTexts)
{
    struct Case {
        const wchar_t* text;
        bool result;
        const wchar_t* first;
        const wchar_t* second;
        const wchar_t* rest;
    };
    const Case cases[] = {
        {L"10.0.29", true, L"10", L"0", L"29"},
        {L"4.10.16.123", true, L"4", L"10", L"16.123"},
        {L"7.5", false, L"7", L"", L""},
        {L"10", false, L"", L"", L""},
        {L"1.", false, L"1", L"", L""},
        {L"", false, L"", L"", L""},
        {L"..", true, L"", L"", L""},
        {L"5.1.", true, L"5", L"1", L""},
    };
    for (const auto& c : cases) {
        VersionParts parts;
        EXPECT_EQ(c.result, SplitVersion(c.text, parts)) << c.text;
        EXPECT_EQ(c.first, parts.mFirst) << c.text;
        EXPECT_EQ(c.second, parts.mSecond) << c.text;
        EXPECT_EQ(c.rest, parts.mRest) << c.text;
    }
}

TEST(SplitVersion, LeavesPartsAloneWhenThereIsNoDot)
{
    VersionParts parts{L"a", L"b", L"c"};
    EXPECT_FALSE(SplitVersion(L"10", parts));
    EXPECT_EQ(L"a", parts.mFirst);
    EXPECT_EQ(L"b", parts.mSecond);
    EXPECT_EQ(L"c", parts.mRest);
}

TEST(FormatSize, TableOfSizes)
{
    struct Case {
        std::uint32_t bytes;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, L"0 Bytes"},
        {1023, L"1023 Bytes"},
        {1024, L"1.00 KB"},
        {1536, L"1.50 KB"},
        {1048575, L"1024.00 KB"},
        {5242880, L"5.00 MB"},
        {1073741824, L"1.00 GB"},
        // Single precision: 2^30 - 1 rounds to 2^30 before the comparison.
        {1073741823, L"1.00 GB"},
        {0xFFFFFFFFu, L"4.00 GB"},
    };
    for (const auto& c : cases) {
        std::wstring out;
        EXPECT_EQ(c.text, FormatSize(c.bytes, out)) << c.bytes;
        EXPECT_EQ(c.text, out) << c.bytes;
    }
}

TEST(CreateDirectoryPath, AllLevelsCreatesEachMissingLevelSilently)
{
    const ScopedFolder root;
    CreateDirectoryPath(root.Path() + L"a", false);
    const std::wstring path = root.Path() + L"a" + kSep + L"b" + kSep + L"c" + kSep;
    const LogCapture log;
    EXPECT_TRUE(CreateDirectoryPath(path, true));
    EXPECT_TRUE(IsFolder(root.Path() + L"a" + kSep + L"b"));
    EXPECT_TRUE(IsFolder(path));
    EXPECT_TRUE(log.Messages().empty());
    // Everything there already: still true, still silent.
    EXPECT_TRUE(CreateDirectoryPath(path, true));
    EXPECT_TRUE(log.Messages().empty());
}

TEST(CreateDirectoryPath, AllLevelsReportsEachLevelThatCannotBeMade)
{
    const ScopedFolder root;
    const std::wstring file = root.Path() + L"file";
    ASSERT_TRUE(test::WriteFileBytes(file, "x"));
    // "file/" exists (as a file: "already exists", not reported); "file/x/" cannot be made,
    // and is the whole path too.
    const std::wstring path = file + kSep + L"x" + kSep;
    const LogCapture log;
    EXPECT_FALSE(CreateDirectoryPath(path, true));
    const auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size());
    for (const auto& line : lines) {
        EXPECT_EQ(L"ERR", line.level);
        EXPECT_EQ(0u, line.message.find(L"can not create directory " + path + L" because: \"")) << line.message;
    }
}

TEST(CreateDirectoryPath, OneLevelOnAnExistingFolderIsTrueWithoutMessage)
{
    const ScopedFolder root;
    const LogCapture log;
    EXPECT_TRUE(CreateDirectoryPath(root.Path() + L"new", false));
    EXPECT_TRUE(IsFolder(root.Path() + L"new"));
    EXPECT_TRUE(CreateDirectoryPath(root.Path() + L"new", false));
    EXPECT_TRUE(log.Messages().empty());
}

TEST(CreateDirectoryPath, OneLevelWithoutItsParentFailsWithTheMessage)
{
    const ScopedFolder root;
    const std::wstring path = root.Path() + L"missing" + kSep + L"child";
    const LogCapture log;
    EXPECT_FALSE(CreateDirectoryPath(path, false));
    const auto lines = log.Lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(L"ERR", lines[0].level);
    EXPECT_EQ(0u, lines[0].message.find(L"can not create directory " + path + L" because: \"")) << lines[0].message;
}

TEST(CreateDirectoryPath, OneLevelDirectlyUnderTheRootIsTrueEvenWhenNotMade)
{
    // A name longer than any file system allows cannot be made anywhere.
    const std::wstring root = ToFsPath(GetSystemTempPath()).root_path().wstring();
    ASSERT_FALSE(root.empty());
    const std::wstring path = root + std::wstring(300, L'q');
    const LogCapture log;
    EXPECT_TRUE(CreateDirectoryPath(path, false));
    EXPECT_FALSE(IsFolder(path));
    EXPECT_TRUE(log.Messages().empty());
}

TEST(GetProductTempFolder, NamesTheProductFolderAfterNameAndMajorVersion)
{
    const ScopedTempPath temp;
    ProgramInfo info;
    info.mProgramName = L"AcmeBackup";
    info.mProgramVersion = L"5.1.2";
    const std::wstring expected = temp.Path() + L"Quarn Software" + kSep + L"Quarn Renova" + kSep + L"AcmeBackup 5";

    std::wstring with, without;
    ASSERT_TRUE(GetProductTempFolder(with, info, true));
    ASSERT_TRUE(GetProductTempFolder(without, info, false));
    EXPECT_EQ(expected + kSep, with);
    EXPECT_EQ(expected, without);
    EXPECT_TRUE(IsFolder(expected));

    std::wstring folder;
    ASSERT_TRUE(GetTempFolder(folder));
    EXPECT_EQ(temp.Path() + L"Quarn Software" + kSep, folder);
}

TEST(GetProductTempFolder, UsesTheAsciiNameAndTheTimeWithoutAVersion)
{
    const ScopedTempPath temp;
    ProgramInfo info;
    info.mProgramName = L"Acme/Backup \u00e9\u4e0d";
    const std::int64_t before = CurrentUnixTime();
    std::wstring folder;
    ASSERT_TRUE(GetProductTempFolder(folder, info, false));
    const std::int64_t after = CurrentUnixTime();

    const std::wstring prefix = temp.Path() + L"Quarn Software" + kSep + L"Quarn Renova" + kSep + L"AcmeBackup ~78N ";
    ASSERT_EQ(0u, folder.find(prefix)) << folder;
    const std::int64_t stamp = std::stoll(folder.substr(prefix.size()));
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
    EXPECT_TRUE(IsFolder(folder));
}

} // namespace
} // namespace qrnv
