#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "Client/Discovery.h"
#include "Client/system/CommandLineText.h"
#include "Client/system/FileSystem.h"
#include "Client/system/ModulePath.h"
#include "Client/system/Platform.h"
#include "Client/system/Process.h"
#include "Client/system/ProcessArguments.h"
#include "Client/system/Registry.h"
#include "RegistrySandbox.h"
#include "sdk/text/Format.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kSep(1, kPathSeparator);

std::wstring AsciiUpper(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return text;
}

// ----- the stub's comments ---------------------------------------------------------------

TEST(StubComments, SegmentsSetAffiliateAndLanguage)
{
    struct Case {
        const wchar_t* comments;
        const wchar_t* affiliate;
        std::int32_t language;
    };
    // The record starts with affiliate "old" and language 7.
    const Case cases[] = {
        {L"$A:123$L:1031", L"123", 1031},
        {L"1041", L"old", 1041},
        // Any other key reads the whole text as the language: 0, as it starts with "$".
        {L"$X:1$L:1031", L"old", 1031},
        {L"$L:1031$X:1", L"old", 0},
        {L"", L"old", 7},
        {L"$$A:7$$", L"7", 7},
        {L"$A:12:34", L"12", 7},
        {L"$A", L"", 7},
        {L"$L:abc", L"old", 0},
        {L"$L:99999999999", L"old", 2147483647},
        {L"$L: -5x", L"old", -5},
        {L"$a:5", L"old", 0}, // keys are compared exactly
    };
    for (const Case& c : cases) {
        ProgramInfo r;
        r.mAffiliateId = L"old";
        r.mLanguage = 7;
        ApplyStubComments(c.comments, r);
        EXPECT_EQ(c.affiliate, r.mAffiliateId) << c.comments;
        EXPECT_EQ(c.language, r.mLanguage) << c.comments;
    }
}

TEST(ParseTruncatedNumber, DecimalWithFractionTowardZero)
{
    struct Case {
        const wchar_t* text;
        std::int32_t value;
    };
    const Case cases[] = {{L"1031", 1031},  {L"1031.9", 1031},   {L" -7.8", -7},       {L"1e3", 1000},        {L".5", 0},
                          {L"abc", 0},      {L"", 0},            {L"3.5e1x", 35},      {L"1e999", 2147483647}, {L"-1e30", INT32_MIN},
                          {L"+12abc", 12},  {L"e5", 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, ParseTruncatedNumber(c.text)) << c.text;
    }
}

// ----- the stub's version resource -------------------------------------------------------

class StubResource : public ::testing::Test {
protected:
    // A copy of the test child carrying the identity the arguments give.
    std::wstring Stub(const std::vector<std::wstring>& identity)
    {
        const std::wstring out = FormatText(L"%sstub%u%s", mFolder.Path(), ++mCount, ProgramSuffix());
        std::vector<std::wstring> args = {L"--from", test::HelperProgramPath(L"qrnv_test_child")};
        args.insert(args.end(), identity.begin(), identity.end());
        args.push_back(out);
        std::uint32_t exitCode = 99;
        EXPECT_EQ(0u, StartProcess(test::HelperProgramPath(L"make-stub"), JoinCommandLine(args), true, exitCode, false));
        EXPECT_EQ(0u, exitCode);
        return out;
    }
    static std::wstring ProgramSuffix()
    {
        const std::wstring child = test::HelperProgramPath(L"qrnv_test_child");
        return child.size() > 4 && child.substr(child.size() - 4) == L".exe" ? L".exe" : L"";
    }

    test::ScopedFolder mFolder;
    unsigned mCount = 0;
};

TEST_F(StubResource, AStubGivesItsIdentity)
{
    const std::wstring stub = Stub({L"--product-name", L"Quarn A&B", L"--product-version", L"3.1.0", L"--comments", L" $A:123$L:1031 "});
    ProgramInfo r;
    EXPECT_TRUE(ReadFromVersionResource(stub, r));
    EXPECT_EQ(L"Quarn A&B", r.mProgramName);
    EXPECT_EQ(L"Quarn A&B", r.mDisplayName);
    EXPECT_EQ(L"Quarn A&&B", r.mEscapedDisplayName);
    EXPECT_EQ(L"3.1.0", r.mProgramVersion);
    EXPECT_EQ(1, r.mIsStubExe);
    EXPECT_EQ(L"123", r.mAffiliateId);
    EXPECT_EQ(1031, r.mLanguage);
}

TEST_F(StubResource, IncompleteResourcesFailButKeepWhatTheyRead)
{
    struct Case {
        const char* what;
        std::vector<std::wstring> identity;
        const wchar_t* name;
        const wchar_t* displayName;
        const wchar_t* version;
        std::int32_t stub;
    };
    // The record starts with "cmd" texts, language 5 and the stub flag set.
    const Case cases[] = {
        // This program itself is no stub: its names are emptied.
        {"own name", {L"--product-name", L"Quarn Renova", L"--product-version", L"10.0.29", L"--comments", L"1031"}, L"", L"", L"cmd", 0},
        {"no comments", {L"--product-name", L"Quarn Tool", L"--product-version", L"3.1.0"}, L"Quarn Tool", L"Quarn Tool", L"3.1.0", 1},
        {"no version", {L"--product-name", L"Quarn Tool", L"--comments", L"1031"}, L"Quarn Tool", L"Quarn Tool", L"", 1},
        {"no name", {L"--product-version", L"3.1.0", L"--comments", L"1031"}, L"", L"cmd", L"cmd", 1},
    };
    for (const Case& c : cases) {
        const std::wstring stub = Stub(c.identity);
        ProgramInfo r;
        r.mProgramName = r.mDisplayName = r.mProgramVersion = L"cmd";
        r.mLanguage = 5;
        r.mIsStubExe = 1;
        EXPECT_FALSE(ReadFromVersionResource(stub, r)) << c.what;
        EXPECT_EQ(c.name, r.mProgramName) << c.what;
        EXPECT_EQ(c.displayName, r.mDisplayName) << c.what;
        EXPECT_EQ(c.version, r.mProgramVersion) << c.what;
        EXPECT_EQ(c.stub, r.mIsStubExe) << c.what;
        EXPECT_EQ(5, r.mLanguage) << c.what; // no comments were applied
    }
}

TEST_F(StubResource, AFileWithoutResourceIsNoStub)
{
    const std::wstring text = mFolder.Path() + L"plain.txt";
    ASSERT_TRUE(test::WriteFileBytes(text, "no program\n"));
    ProgramInfo r;
    r.mProgramName = L"cmd";
    EXPECT_FALSE(ReadFromVersionResource(text, r));
    EXPECT_EQ(L"", r.mProgramName);
    EXPECT_EQ(0, r.mIsStubExe);
    // The unit test program itself carries no product identity.
    EXPECT_FALSE(ReadFromStubVersionResource(r));
}

// ----- VersionInfo.txt -------------------------------------------------------------------

TEST(VersionInfoFile, LinesGiveNameVersionLanguageAndCode)
{
    struct Case {
        const char* what;
        std::string bytes;
        bool ok;
        const wchar_t* name;
        const wchar_t* version;
        std::int32_t language;
        const wchar_t* code;
    };
    const std::string tail = "2.5.1\n1031\n{C0DE}\n";
    const Case cases[] = {
        {"CR LF", "Quarn Tool\r\n2.5.1\r\n1031\r\n{C0DE}\r\n", true, L"Quarn Tool", L"2.5.1", 1031, L"{C0DE}"},
        {"LF, no final break", "Quarn Tool\n2.5.1\n1031\n{C0DE}", true, L"Quarn Tool", L"2.5.1", 1031, L"{C0DE}"},
        {"not trimmed", " Quarn Tool \n 2.5.1\n 1031x\n{C0DE} \n", true, L" Quarn Tool ", L" 2.5.1", 1031, L"{C0DE} "},
        {"ANSI byte", "Quarn T\xE4st\n" + tail, true, L"Quarn T\u00e4st", L"2.5.1", 1031, L"{C0DE}"},
        {"UTF-8 mark", "\xEF\xBB\xBFQuarn T\xC3\xA4st\n" + tail, true, L"Quarn T\u00e4st", L"2.5.1", 1031, L"{C0DE}"},
        {"UTF-16 mark", std::string("\xFF\xFEQ\0T\0\n\0" "2\0\n\0" "7\0\n\0" "c\0", 18), true, L"QT", L"2", 7, L"c"},
        {"lone CR stays", "Quarn\rTool\n" + tail, true, L"Quarn\rTool", L"2.5.1", 1031, L"{C0DE}"},
        {"NUL cuts a line", std::string("Quarn\0Tool\n", 11) + tail, true, L"Quarn", L"2.5.1", 1031, L"{C0DE}"},
        {"empty fourth line", "Quarn Tool\n2.5.1\n1031\n\n", true, L"Quarn Tool", L"2.5.1", 1031, L""},
        // Fails, but what was read stays set.
        {"three lines", "Quarn Tool\n2.5.1\n1031\n", false, L"Quarn Tool", L"2.5.1", 1031, L"keep"},
        {"no line end", "Quarn Tool", false, L"Quarn Tool", L"keep", 9, L"keep"},
        {"empty", "", false, L"keep", L"keep", 9, L"keep"},
    };
    const test::ScopedFolder folder;
    for (const Case& c : cases) {
        ASSERT_TRUE(test::WriteFileBytes(folder.Path() + L"VersionInfo.txt", c.bytes));
        ProgramInfo r;
        r.mInstalledLocation = folder.Path();
        r.mProgramName = r.mDisplayName = r.mProgramVersion = r.mProductCode = L"keep";
        r.mLanguage = 9;
        EXPECT_EQ(c.ok, ReadFromVersionInfoFile(r)) << c.what;
        EXPECT_EQ(c.name, r.mProgramName) << c.what;
        EXPECT_EQ(c.name, r.mDisplayName) << c.what;
        EXPECT_EQ(c.version, r.mProgramVersion) << c.what;
        EXPECT_EQ(c.language, r.mLanguage) << c.what;
        EXPECT_EQ(c.code, r.mProductCode) << c.what;
    }
}

TEST(VersionInfoFile, HugeFilesAreReadOnlyAsFarAsNeeded)
{
    const test::ScopedFolder folder;
    ProgramInfo r;
    r.mInstalledLocation = folder.Path();

    // Four good lines, then megabytes of text.
    ASSERT_TRUE(test::WriteFileBytes(folder.Path() + L"VersionInfo.txt", "Quarn Tool\n2.5.1\n1031\n{C0DE}\n" + std::string(8 << 20, 'x')));
    EXPECT_TRUE(ReadFromVersionInfoFile(r));
    EXPECT_EQ(L"{C0DE}", r.mProductCode);

    // One line of megabytes: its head is the name, the other lines are missing.
    ASSERT_TRUE(test::WriteFileBytes(folder.Path() + L"VersionInfo.txt", std::string(8 << 20, 'y')));
    EXPECT_FALSE(ReadFromVersionInfoFile(r));
    EXPECT_EQ(65536u, r.mProgramName.size());
    EXPECT_EQ(L"2.5.1", r.mProgramVersion);
}

TEST(VersionInfoFile, NoLocationOrNoFileFails)
{
    const test::ScopedFolder folder;
    ProgramInfo r;
    r.mProgramName = L"keep";
    EXPECT_FALSE(ReadFromVersionInfoFile(r));
    r.mInstalledLocation = folder.Path();
    EXPECT_FALSE(ReadFromVersionInfoFile(r));
    // A folder under the name is no file either.
    ASSERT_TRUE(CreateDirectoryPath(folder.Path() + L"VersionInfo.txt", false));
    EXPECT_FALSE(ReadFromVersionInfoFile(r));
    EXPECT_EQ(L"keep", r.mProgramName);
}

// ----- uninstall entries -----------------------------------------------------------------

// Uninstall sub-keys of this test alone, removed at its end.
class UninstallEntries : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const std::wstring& name : mEntries) {
            DeleteRegKeyTree(RegHive::LocalMachine, kUninstall + L"\\" + name, RegView::Registry64);
        }
    }

    // A sub-key name and a folder no other run uses.
    std::wstring Unique(const std::wstring& stem) { return FormatText(L"%s qrnvtest-%lu-%u", stem, CurrentProcessId(), ++mCount); }
    std::wstring Folder(const std::wstring& stem)
    {
#ifdef _WIN32
        return L"C:\\" + Unique(L"loc") + L"\\" + stem + L"\\";
#else
        return L"/" + Unique(L"loc") + L"/" + stem + L"/";
#endif
    }

    RegKey Entry(const std::wstring& name)
    {
        mEntries.push_back(name);
        RegKey key;
        EXPECT_TRUE(key.Create(RegHive::LocalMachine, kUninstall + L"\\" + name, RegView::Registry64));
        return key;
    }

    // The names of the given entries in the order the registry lists them.
    std::vector<std::wstring> Listed(const std::vector<std::wstring>& names)
    {
        std::vector<std::wstring> order;
        RegKey root;
        EXPECT_TRUE(root.Open(RegHive::LocalMachine, kUninstall, RegView::Registry64, false));
        std::wstring name;
        for (std::uint32_t i = 0; root.EnumSubKey(i, name) != RegEnumResult::NoMore; ++i) {
            if (std::find(names.begin(), names.end(), name) != names.end()) {
                order.push_back(name);
            }
        }
        return order;
    }

    test::RegistrySandbox mSandbox;
    std::vector<std::wstring> mEntries;
    unsigned mCount = 0;
};

TEST_F(UninstallEntries, FoundByLocationWithoutCaseAndOneTrailingSeparator)
{
    const std::wstring folder = Folder(L"Quarn Tool");
    const std::wstring name = Unique(L"{Entry}");
    // Stored without the separator and in other case.
    Entry(name).WriteText(L"InstallLocation", AsciiUpper(folder.substr(0, folder.size() - 1)));
    EXPECT_EQ(name, FindUninstallKey(L"InstallLocation", folder));
    EXPECT_EQ(name, FindUninstallKey(L"InstallLocation", folder.substr(0, folder.size() - 1)));
    // Only one separator is ignored, and only the ASCII letters are folded.
    EXPECT_FALSE(FindUninstallKey(L"InstallLocation", folder + kSep));
    EXPECT_FALSE(FindUninstallKey(L"InstallLocation", folder + L"x"));

    const std::wstring umlaut = Folder(L"\u00c4rger");
    Entry(Unique(L"{Umlaut}")).WriteText(L"InstallLocation", umlaut);
    EXPECT_TRUE(FindUninstallKey(L"InstallLocation", umlaut));
    std::wstring lower = umlaut;
    lower[lower.find(L'\u00c4')] = L'\u00e4';
    EXPECT_FALSE(FindUninstallKey(L"InstallLocation", lower));
}

TEST_F(UninstallEntries, NewestDateWinsAndTheLastListedAmongEquals)
{
    const std::wstring folder = Folder(L"Quarn Tool");
    const std::wstring older = Unique(L"{C}"), newest = Unique(L"{A}"), text = Unique(L"{B}");
    RegKey a = Entry(older);
    a.WriteText(L"InstallLocation", folder);
    a.WriteNumber(L"InstallDate", 20230101);
    RegKey b = Entry(newest);
    b.WriteText(L"InstallLocation", folder);
    b.WriteNumber(L"InstallDate", 20250101);
    // As Windows Installer writes it: the date as text.
    RegKey c = Entry(text);
    c.WriteText(L"InstallLocation", folder);
    c.WriteText(L"InstallDate", L"20240101");
    EXPECT_EQ(newest, FindUninstallKey(L"InstallLocation", folder));

    c.WriteText(L"InstallDate", L"20260101");
    EXPECT_EQ(text, FindUninstallKey(L"InstallLocation", folder));

    // Equal dates (and no date at all): the one listed last.
    const std::wstring other = Folder(L"Equal");
    const std::wstring e1 = Unique(L"{E1}"), e2 = Unique(L"{E2}"), e3 = Unique(L"{E3}");
    for (const std::wstring& n : {e1, e2, e3}) {
        RegKey k = Entry(n);
        k.WriteText(L"InstallLocation", other);
        if (n != e3) {
            k.WriteNumber(L"InstallDate", 20240101);
        }
    }
    const std::vector<std::wstring> dated = Listed({e1, e2});
    ASSERT_EQ(2u, dated.size());
    EXPECT_EQ(dated.back(), FindUninstallKey(L"InstallLocation", other));
    DeleteRegKeyTree(RegHive::LocalMachine, kUninstall + L"\\" + e1, RegView::Registry64);
    DeleteRegKeyTree(RegHive::LocalMachine, kUninstall + L"\\" + e2, RegView::Registry64);
    EXPECT_EQ(e3, FindUninstallKey(L"InstallLocation", other));
}

TEST_F(UninstallEntries, WrongTypesAndOverlongValuesAreSkipped)
{
    const std::wstring folder = Folder(L"Quarn Tool");
    const std::wstring number = Unique(L"{Number}");
    Entry(number).WriteNumber(L"InstallLocation", 5);
    EXPECT_FALSE(FindUninstallKey(L"InstallLocation", L"5"));

    const std::wstring longName = Unique(L"{Long}");
    const std::wstring overlong = folder + std::wstring(131 - folder.size(), L'x');
    Entry(longName).WriteText(L"InstallLocation", overlong);
    EXPECT_FALSE(FindUninstallKey(L"InstallLocation", overlong));
    const std::wstring fits = folder + std::wstring(130 - folder.size(), L'y');
    Entry(Unique(L"{Fits}")).WriteText(L"InstallLocation", fits);
    EXPECT_TRUE(FindUninstallKey(L"InstallLocation", fits));

    // A date of the wrong type counts as 0.
    const std::wstring dated = Unique(L"{Dated}"), bad = Unique(L"{Bad}");
    RegKey d = Entry(dated);
    d.WriteText(L"InstallLocation", folder);
    d.WriteNumber(L"InstallDate", 1);
    RegKey x = Entry(bad);
    x.WriteText(L"InstallLocation", folder);
    x.WriteText(L"InstallDate", L"no date");
    EXPECT_EQ(dated, FindUninstallKey(L"InstallLocation", folder));
}

TEST_F(UninstallEntries, ReadFromRegistryFillsTheRecord)
{
    const std::wstring folder = Folder(L"Quarn Tool");
    const std::wstring name = Unique(L"{Product}");
    RegKey k = Entry(name);
    k.WriteText(L"InstallLocation", folder.substr(0, folder.size() - 1));
    k.WriteText(L"DisplayName", L"  Quarn A&B \t");
    k.WriteText(L"DisplayVersion", L"2.5.1");
    k.WriteText(L"InstallDate", L"20240307");
    k.WriteNumber(L"Language", 1031);

    ProgramInfo r;
    r.mInstalledLocation = folder;
    const test::LogCapture log;
    ASSERT_TRUE(ReadFromRegistry(r));
    EXPECT_EQ(name, r.mProductCode);
    EXPECT_EQ(L"Quarn A&B", r.mProgramName);
    EXPECT_EQ(L"Quarn A&B", r.mDisplayName);
    EXPECT_EQ(L"Quarn A&&B", r.mEscapedDisplayName);
    EXPECT_EQ(L"2.5.1", r.mProgramVersion);
    EXPECT_EQ(L"20240307", r.mInstallDate);
    EXPECT_EQ(folder, r.mInstalledLocation); // the separator appended
    EXPECT_EQ(1031, r.mLanguage);
    EXPECT_TRUE(log.Messages().empty());
}

TEST_F(UninstallEntries, MissingOrWrongTypedValuesLeaveFields)
{
    const std::wstring folder = Folder(L"Quarn Tool");
    const std::wstring name = Unique(L"{Sparse}");
    RegKey k = Entry(name);
    k.WriteText(L"InstallLocation", L"");
    k.WriteText(L"ProgramName", L"Sparse " + name);
    k.WriteNumber(L"DisplayName", 1);
    k.WriteText(L"Language", L"1031");

    ProgramInfo r;
    r.mProgramName = L"sparse " + AsciiUpper(name); // found by name, without case
    r.mDisplayName = L"keep";
    r.mProgramVersion = L"keep";
    r.mInstallDate = L"keep";
    r.mLanguage = 9;
    ASSERT_TRUE(ReadFromRegistry(r));
    EXPECT_EQ(name, r.mProductCode);
    EXPECT_EQ(L"keep", r.mDisplayName);
    EXPECT_EQ(L"keep", r.mProgramVersion);
    EXPECT_EQ(L"keep", r.mInstallDate);
    EXPECT_EQ(L"", r.mInstalledLocation); // an empty location gets no separator
    EXPECT_EQ(9, r.mLanguage);
}

TEST_F(UninstallEntries, TheProgrammeFolderIsAlsoSoughtAsProgramFiles)
{
#ifdef _WIN32
    const std::wstring unique = Unique(L"q");
    const std::wstring german = L"C:\\" + unique + L"\\Programme\\Quarn Tool\\";
    const std::wstring stored = L"c:\\" + unique + L"\\program files\\quarn tool";
#else
    const std::wstring unique = Unique(L"q");
    const std::wstring german = L"/" + unique + L"/Programme/Quarn Tool/";
    const std::wstring stored = L"/" + unique + L"/program files/quarn tool";
#endif
    const std::wstring name = Unique(L"{Programme}");
    RegKey k = Entry(name);
    k.WriteText(L"InstallLocation", stored);
    k.WriteText(L"DisplayName", L"Quarn Tool");

    ProgramInfo r;
    r.mInstalledLocation = german;
    ASSERT_TRUE(ReadFromRegistry(r));
    EXPECT_EQ(name, r.mProductCode);
    EXPECT_EQ(stored + kSep, r.mInstalledLocation);

    // The folder word is replaced only as it stands, between separators.
    ProgramInfo other;
    other.mInstalledLocation = german.substr(0, german.find(L"Programme")) + L"programme" + kSep + L"Quarn Tool" + kSep;
    EXPECT_FALSE(ReadFromRegistry(other));
}

TEST_F(UninstallEntries, NothingFoundIsLogged)
{
    ProgramInfo r;
    r.mInstalledLocation = Folder(L"Nowhere");
    r.mProgramName = Unique(L"Nobody");
    const test::LogCapture log;
    EXPECT_FALSE(ReadFromRegistry(r));
    EXPECT_EQ(std::vector<std::wstring>{L"GetUninstallRegKey failed"}, log.Messages());

    // Without location and name nothing is sought.
    ProgramInfo empty;
    EXPECT_FALSE(ReadFromRegistry(empty));
}

// ----- the whole chain without any source ------------------------------------------------

TEST(DiscoverProductInfo, WithoutAnySourceTheNamesAreUnknownInTheLanguage)
{
    test::RegistrySandbox sandbox;
    struct Case {
        std::int32_t language;
        const wchar_t* name;
    };
    for (const Case& c : {Case{1031, L"Unbekannt"}, Case{1041, L"\u4e0d\u660e"}, Case{1033, L"Unknown"}, Case{3082, L"Unknown"}}) {
        ProgramInfo r;
        r.mLanguage = c.language;
        r.mInstalledLocation = L"from the command line";
        r.mEscapedDisplayName = L"keep";
        const test::LogCapture log;
        DiscoverProductInfo(r);
        EXPECT_EQ(c.name, r.mProgramName);
        EXPECT_EQ(c.name, r.mDisplayName);
        EXPECT_EQ(L"keep", r.mEscapedDisplayName);
        EXPECT_EQ(0, r.mIsStubExe);
        std::wstring folder;
        ASSERT_TRUE(GetModuleDirectory(folder));
        EXPECT_EQ(folder, r.mInstalledLocation);
        for (const wchar_t* line : {L"GetUninstallRegKey failed", L"ReadFromRegistry failed", L"ReadFromMsiDB failed",
                                    L"ReadFromWin32_Products failed"}) {
            EXPECT_TRUE(log.Contains(L"ERR", line)) << line;
        }
    }
}

} // namespace
} // namespace qrnv
