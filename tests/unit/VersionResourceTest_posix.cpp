#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "Client/system/FileSystem.h"
#include "Client/system/Process.h"
#include "sdk/text/TextConvert.h"
#include "Client/system/VersionResource.h"
#include "Client/system/VersionSection.h"
#include "support/ElfBuilder.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

std::uint32_t RunStamp(const std::wstring& arguments)
{
    std::uint32_t exitCode = 0;
    EXPECT_EQ(0u, StartProcess(test::HelperProgramPath(L"qrnv-stamp-version"), arguments, true, exitCode, false));
    return exitCode;
}

TEST(StampVersion, WritesTranslationsIntoACopyThatStillRuns)
{
    const test::ScopedFolder folder;
    const std::wstring child = test::HelperProgramPath(L"qrnv_test_child");
    const std::wstring copy = folder.Path() + L"QuarnRenovaWorker.exe";
    EXPECT_EQ(0u, RunStamp(L"--product-name \"Acme Backup\" --product-version 5.1.2 --comments \"  c  \" "
                           L"--translation 040704b0 --product-name \"Acme Sicherung\" --product-version 5.1.2 "
                           L"--string Extra=x \"" + child + L"\" \"" + copy + L"\""));

    struct Case {
        const wchar_t* key;
        const wchar_t* text;
    };
    for (const Case& c : {Case{L"ProductName", L"Acme Backup / Acme Sicherung"}, Case{L"ProductVersion", L"5.1.2 / 5.1.2"},
                          Case{L"Comments", L"c / "}, Case{L"Extra", L"/ x"}}) {
        std::wstring out;
        EXPECT_TRUE(GetVersionResourceText(copy, c.key, out)) << c.key;
        EXPECT_EQ(c.text, out) << c.key;
    }
    // The original keeps its own identity.
    std::wstring original;
    EXPECT_TRUE(GetVersionResourceText(child, L"ProductName", original));
    EXPECT_EQ(L"Qrnv Test Child / Qrnv Testkind", original);

    std::uint32_t exitCode = 0;
    EXPECT_EQ(0u, StartProcess(copy, L"--exit 5", true, exitCode, false));
    EXPECT_EQ(5u, exitCode);
}

TEST(StampVersion, RefusesFilesWithoutTheSectionAndTooMuchText)
{
    const test::ScopedFolder folder;
    const std::wstring out = folder.Path() + L"out";
    // The unit test program reserves no version section.
    EXPECT_EQ(3u, RunStamp(L"--product-name x \"" + test::HelperProgramPath(L"qrnv_unit_tests") + L"\" \"" + out + L"\""));
    EXPECT_FALSE(std::filesystem::exists(test::ToFsPath(out)));
    EXPECT_EQ(4u, RunStamp(L"--comments " + std::wstring(kVersionSectionSize, L'x') + L" \"" +
                           test::HelperProgramPath(L"qrnv_test_child") + L"\" \"" + out + L"\""));
    EXPECT_EQ(1u, RunStamp(L"--translation 12 in out"));
}

TEST(VersionResource, SectionsOfTheWrongSizeReadAsNone)
{
    const test::ScopedFolder folder;
    const std::string table = "QRNVVER1\n[040904b0]\nProductName=Sized\n";
    struct Case {
        const char* what;
        std::string content;
        bool found;
    };
    const Case cases[] = {
        {"fits", table + std::string(100, '\0'), true},
        {"empty", "", false},
        {"too short for the magic", "QRNV", false},
        {"oversized", table + std::string(kVersionSectionMaxSize, '\0'), false},
        {"no translation", "QRNVVER1\nProductName=Sized\n", false},
    };
    for (const auto& c : cases) {
        const std::wstring path = folder.Path() + L"program";
        ASSERT_TRUE(test::WriteFileBytes(path, test::BuildElf({}, {{".text", "code"}, {".qrnv_version", c.content}})));
        std::wstring out;
        EXPECT_EQ(c.found, GetVersionResourceText(path, L"ProductName", out)) << c.what;
        EXPECT_EQ(c.found ? L"Sized" : L"", out) << c.what;
    }
}

TEST(VersionResource, APipeUnderTheNameIsNoFileAndDoesNotBlock)
{
    const test::ScopedFolder folder;
    const std::wstring path = folder.Path() + L"QuarnRenovaWorker.exe";
    ASSERT_EQ(0, mkfifo(WideToUtf8(path).c_str(), 0600));
    EXPECT_FALSE(FileExists(path));
    std::wstring out;
    EXPECT_FALSE(GetVersionResourceText(path, L"ProductVersion", out));
}

} // namespace
} // namespace qrnv
