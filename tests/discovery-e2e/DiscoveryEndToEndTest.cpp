// The real client, copied into a product folder and started without product options, finds
// its product by itself: from its own version resource (a stub), a VersionInfo.txt beside
// it, the product's uninstall entry, the installer's product database or the management
// query, or else names it Unknown. Each run's log must show the discovered facts in its
// start lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

#include "Client/system/CommandLineText.h"
#include "Client/system/FileSystem.h"
#include "Client/system/Platform.h"
#include "Client/system/Process.h"
#include "Client/system/ProcessArguments.h"
#include "Client/system/Registry.h"
#include "RegistrySandbox.h"
#include "sdk/text/Format.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

const std::wstring kSettingsKey = L"Software\\Quarn\\Quarn Renova";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kSep(1, kPathSeparator);
// No service answers here: the check after the start lines fails at once, on loopback.
const std::wstring kDeadService = L"http://127.0.0.1:9/";

// The start lines of one run (their labels without ": "), and the discovery lines that the
// run wrote into the log under the program's default name before the product was known.
struct RunLog {
    std::wstring firstLine;
    std::map<std::wstring, std::wstring> start;
    std::vector<std::wstring> discovery;
    bool Discovered(const std::wstring& line) const { return std::find(discovery.begin(), discovery.end(), line) != discovery.end(); }
};

// The messages of a log file: Latin-1 lines "<time> LVL: QRNV:[id] message", CR LF.
std::vector<std::wstring> Messages(const std::filesystem::path& file)
{
    std::vector<std::wstring> messages;
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        const std::size_t id = line.find("] ");
        if (line.find(" QRNV:[") == std::string::npos || id == std::string::npos) {
            continue;
        }
        std::wstring message;
        for (char c : line.substr(id + 2)) {
            message.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        }
        messages.push_back(message);
    }
    return messages;
}

class ClientRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        mSandbox.KeepValue(RegHive::CurrentUser, kSettingsKey, L"DebugUrl_v2");
        RegKey key;
        ASSERT_TRUE(key.Create(RegHive::CurrentUser, kSettingsKey, RegView::Registry64));
        ASSERT_TRUE(key.WriteText(L"DebugUrl_v2", kDeadService));
    }
    void TearDown() override
    {
        for (const std::wstring& name : mEntries) {
            DeleteRegKeyTree(RegHive::LocalMachine, kUninstall + L"\\" + name, RegView::Registry64);
        }
        // The runs keep settings under the product's name; under Wine those live in the
        // shared prefix.
        for (const std::wstring& name : mProducts) {
            for (RegHive hive : {RegHive::CurrentUser, RegHive::LocalMachine}) {
                DeleteRegKeyTree(hive, kSettingsKey + L"\\" + name, RegView::Registry64);
            }
        }
    }

    static std::wstring Suffix()
    {
        const std::wstring client = test::HelperProgramPath(L"quarnrenova");
        return client.size() > 4 && client.substr(client.size() - 4) == L".exe" ? L".exe" : L"";
    }

    // A copy of the client in the folder, under the name it has in a product folder.
    static std::wstring PlaceClient(const std::wstring& folder)
    {
        const std::wstring copy = folder + kProgramFileName;
        std::error_code error;
        std::filesystem::copy_file(test::ToFsPath(test::HelperProgramPath(L"quarnrenova")), test::ToFsPath(copy),
                                   std::filesystem::copy_options::overwrite_existing, error);
        EXPECT_FALSE(error) << error.message();
        return copy;
    }

    static std::uint32_t Run(const std::wstring& program, const std::vector<std::wstring>& arguments)
    {
        std::uint32_t exitCode = 99;
        EXPECT_EQ(0u, StartProcess(program, JoinCommandLine(arguments), true, exitCode, false)) << program;
        return exitCode;
    }

    // Runs a client without product options (silent: nobody is there to answer a dialog)
    // and reads what it logged.
    RunLog RunClient(const std::wstring& program, std::vector<std::wstring> arguments = {})
    {
        const std::filesystem::path logs = test::ToFsPath(mTemp.Path() + L"Quarn Software" + kSep + L"Quarn Renova");
        std::error_code error;
        std::filesystem::remove_all(logs, error);
        arguments.push_back(L"-UpdateSilent");
        // The service is out of reach: a silent run ends with the error state's code.
        EXPECT_EQ(1u, Run(program, arguments));

        RunLog run;
        for (const auto& entry : std::filesystem::directory_iterator(logs, error)) {
            if (entry.path().extension() != ".log") {
                continue;
            }
            const std::vector<std::wstring> messages = Messages(entry.path());
            const bool isDefault = entry.path().filename().string().find("_QuarnRenova.log") != std::string::npos;
            for (std::size_t i = 0; i < messages.size(); ++i) {
                if (messages[i].find(L" Renova v10.0.29 started") != std::wstring::npos) {
                    run.firstLine = messages[i];
                    for (std::size_t j = i + 1; j < messages.size() && j <= i + 8; ++j) {
                        const std::size_t colon = messages[j].find(L": ");
                        if (colon != std::wstring::npos) {
                            run.start[messages[j].substr(0, colon)] = messages[j].substr(colon + 2);
                        }
                    }
                }
            }
            if (isDefault) {
                run.discovery = messages;
            }
        }
        EXPECT_EQ(8u, run.start.size()) << "start lines of " << test::ToFsPath(program).string();
        const auto name = run.start.find(L"ProgramName");
        if (name != run.start.end() && !name->second.empty()) {
            mProducts.push_back(name->second);
        }
        return run;
    }

    static void ExpectStart(const RunLog& run, const std::wstring& name, const std::wstring& version, const std::wstring& language,
                            const std::wstring& stub, const std::wstring& location)
    {
        EXPECT_EQ(name + L"(" + name + L") Renova v10.0.29 started", run.firstLine);
        const std::map<std::wstring, std::wstring> expected = {
            {L"ProgramName", name},         {L"DisplayName", name},       {L"ProgramVersionNumber", version},
            {L"ProgramLanguage", language}, {L"IsStubExe", stub},         {L"InstalledLocation", location},
        };
        for (const auto& [label, value] : expected) {
            const auto found = run.start.find(label);
            ASSERT_NE(run.start.end(), found) << test::ToFsPath(label).string();
            EXPECT_EQ(value, found->second) << test::ToFsPath(label).string();
        }
    }

    RegKey UninstallEntry(const std::wstring& name)
    {
        mEntries.push_back(name);
        RegKey key;
        EXPECT_TRUE(key.Create(RegHive::LocalMachine, kUninstall + L"\\" + name, RegView::Registry64));
        return key;
    }

    test::RegistrySandbox mSandbox; // natively a private store, which the clients inherit
    test::ScopedTempPath mTemp;     // the clients' temporary folder, where their logs go
    test::ScopedFolder mProduct;    // the product's folder
    std::vector<std::wstring> mEntries;
    std::vector<std::wstring> mProducts;
};

TEST_F(ClientRun, AStubTakesItsProductFromItsVersionResource)
{
    const std::wstring stub = mProduct.Path() + L"QuarnToolStub" + Suffix();
    ASSERT_EQ(0u, Run(test::HelperProgramPath(L"make-stub"), {L"--from", test::HelperProgramPath(L"quarnrenova"), L"--product-name",
                                                              L"Quarn Tool Stub", L"--product-version", L"3.1.0", L"--comments",
                                                              L"$A:4711$L:1031", stub}));
    // A VersionInfo.txt beside it is not read: the stub's own identity comes first.
    ASSERT_TRUE(test::WriteFileBytes(mProduct.Path() + L"VersionInfo.txt", "Other\r\n1.0\r\n1033\r\n{C0DE}\r\n"));
    ExpectStart(RunClient(stub), L"Quarn Tool Stub", L"3.1.0", L"1031", L"1", L"");

    // As the client starts a stub for a major upgrade: a stub by its command line.
    ExpectStart(RunClient(stub, {L"-IsStubExe", L"-ProgramName", L"Quarn Tool Stub", L"-DisplayName", L"Quarn Tool Stub", L"-Language",
                                 L"1031", L"-ProgramVersion", L"4.0.0", L"-ForceUpdate"}),
                L"Quarn Tool Stub", L"4.0.0", L"1031", L"1", L"");
}

TEST_F(ClientRun, AVersionInfoFileBesideTheClientNamesTheProduct)
{
    const std::wstring client = PlaceClient(mProduct.Path());
    ASSERT_TRUE(test::WriteFileBytes(mProduct.Path() + L"VersionInfo.txt", "Quarn Tool File\r\n2.6.0\r\n1041\r\n{C0DE}\r\n"));
    const RunLog run = RunClient(client);
    ExpectStart(run, L"Quarn Tool File", L"2.6.0", L"1041", L"0", mProduct.Path());
    EXPECT_FALSE(run.Discovered(L"ReadFromRegistry failed"));
}

TEST_F(ClientRun, TheUninstallEntryOfTheFolderNamesTheProduct)
{
    const std::wstring client = PlaceClient(mProduct.Path());
    RegKey entry = UninstallEntry(FormatText(L"{QrnvE2E-%lu}", CurrentProcessId()));
    // Written as installers do: without the final separator, the date as text.
    entry.WriteText(L"InstallLocation", mProduct.Path().substr(0, mProduct.Path().size() - 1));
    entry.WriteText(L"DisplayName", L"Quarn Tool Registry ");
    entry.WriteText(L"DisplayVersion", L"2.7.0");
    entry.WriteText(L"InstallDate", L"20240307");
    entry.WriteNumber(L"Language", 1031);
    const RunLog run = RunClient(client);
    ExpectStart(run, L"Quarn Tool Registry", L"2.7.0", L"1031", L"0", mProduct.Path());
    EXPECT_EQ(L"20240307", run.start.at(L"ProgramInstallDate"));
}

#ifndef _WIN32
const std::wstring kCode = L"{3E9A7C21-5B4D-4F08-9C6E-1A2B3C4D5E6F}";

TEST_F(ClientRun, TheInstallersProductOfTheFolderNamesTheProduct)
{
    const std::wstring client = PlaceClient(mProduct.Path());
    ASSERT_EQ(0u, Run(test::HelperProgramPath(L"qrnv-installer"),
                      {L"register", L"--code", kCode, L"--name", L"Quarn Tool Installer", L"--version", L"2.8.0", L"--location",
                       mProduct.Path(), L"--date", L"20240307", L"--language", L"1031"}));
    const RunLog run = RunClient(client);
    ExpectStart(run, L"Quarn Tool Installer", L"2.8.0", L"1031", L"0", mProduct.Path());
    for (const wchar_t* line : {L"GetUninstallRegKey failed", L"ReadFromRegistry failed", L"Find product guid", L"ReadFromMsiDB succeeded"}) {
        EXPECT_TRUE(run.Discovered(line)) << test::ToFsPath(line).string();
    }
}

TEST_F(ClientRun, TheManagementQueryNamesTheProductTheInstallerCannotRead)
{
    // A version beyond the installer's 512 characters: only the management query reads it.
    const std::wstring client = PlaceClient(mProduct.Path());
    const std::wstring version = L"2.9." + std::wstring(600, L'0');
    ASSERT_EQ(0u, Run(test::HelperProgramPath(L"qrnv-installer"),
                      {L"register", L"--code", kCode, L"--name", L"Quarn Tool Query", L"--version", version, L"--location",
                       mProduct.Path(), L"--language", L"1033"}));
    const RunLog run = RunClient(client);
    ExpectStart(run, L"Quarn Tool Query", version, L"1033", L"0", mProduct.Path());
    for (const wchar_t* line : {L"ReadFromMsiDB failed", L"Connected to ROOT\\CIMV2 WMI namespace"}) {
        EXPECT_TRUE(run.Discovered(line)) << test::ToFsPath(line).string();
    }
    EXPECT_FALSE(run.Discovered(L"ReadFromWin32_Products failed"));
}

TEST_F(ClientRun, WithNothingToFindTheNamesAreUnknownInTheSystemLanguage)
{
    const std::wstring client = PlaceClient(mProduct.Path());
    const char* previous = std::getenv("LC_ALL");
    const std::string saved = previous ? previous : "";
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    const RunLog run = RunClient(client);
    previous ? setenv("LC_ALL", saved.c_str(), 1) : unsetenv("LC_ALL");
    ExpectStart(run, L"Unbekannt", L"", L"0", L"0", mProduct.Path());
    EXPECT_TRUE(run.Discovered(L"ReadFromWin32_Products failed"));
}
#else
TEST_F(ClientRun, WithNothingToFindTheQueryEndsInNotFoundAndTheNamesAreUnknown)
{
    const std::wstring client = PlaceClient(mProduct.Path());
    const RunLog run = RunClient(client);
    ExpectStart(run, L"Unknown", L"", L"0", L"0", mProduct.Path());
    for (const wchar_t* line : {L"ReadFromRegistry failed", L"ReadFromMsiDB failed", L"Connected to ROOT\\CIMV2 WMI namespace",
                                L"pEnumerator->Next() failed and returned: 1", L"ReadFromWin32_Products failed"}) {
        EXPECT_TRUE(run.Discovered(line)) << test::ToFsPath(line).string();
    }
}

#ifdef QRNV_TEST_MSI_CODE
// A package really installed with msiexec: its uninstall entry names it first; without that
// entry the installer's own database does.
TEST_F(ClientRun, AnInstalledPackageIsFoundByItsEntryAndThenByTheInstaller)
{
    const std::wstring built = test::HelperProgramPath(L"quarnrenova");
    const std::wstring msi = built.substr(0, built.rfind(L'\\') + 1) + L"QuarnToolEndToEnd.msi";
    ASSERT_TRUE(FileExists(msi));
    auto msiexec = [](const std::wstring& arguments) {
        std::uint32_t exitCode = 99;
        const std::uint32_t started = StartProcess(L"", L"msiexec " + arguments, true, exitCode, false);
        return started != 0 ? started : exitCode;
    };
    msiexec(L"/x " QRNV_TEST_MSI_CODE L" /qn");
    ASSERT_EQ(0u, msiexec(L"/i \"" + msi + L"\" /qn"));
    const std::wstring productFolder = L"C:\\Program Files\\" QRNV_TEST_MSI_NAME L"\\";
    const std::wstring client = PlaceClient(productFolder);

    ExpectStart(RunClient(client), QRNV_TEST_MSI_NAME, L"2.5.1", L"1031", L"0", productFolder);

    DeleteRegKeyTree(RegHive::LocalMachine, kUninstall + L"\\" QRNV_TEST_MSI_CODE, RegView::Registry64);
    const RunLog run = RunClient(client);
    ExpectStart(run, QRNV_TEST_MSI_NAME, L"2.5.1", L"1031", L"0", productFolder);
    EXPECT_TRUE(run.Discovered(L"ReadFromRegistry failed"));
    EXPECT_TRUE(run.Discovered(L"ReadFromMsiDB succeeded"));

    DeleteFileAt(client);
    EXPECT_EQ(0u, msiexec(L"/x " QRNV_TEST_MSI_CODE L" /qn"));
}
#endif
#endif

} // namespace
} // namespace qrnv
