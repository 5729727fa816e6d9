#include <gtest/gtest.h>

#include "Client/Discovery.h"
#include "Client/system/FileSystem.h"
#include "Client/system/ModulePath.h"
#include "Client/system/Process.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

// The management query of the system: under Wine it lists no Win32_Product objects, so the
// source always ends in its "not found" path there.
TEST(ManagementQuery, EndsInNotFoundAndCanRunAgain)
{
    for (int run = 0; run < 2; ++run) {
        ProgramInfo r;
        r.mInstalledLocation = L"C:\\Program Files\\Quarn Nothing";
        const test::LogCapture log;
        EXPECT_FALSE(ReadFromWin32_Products(r));
        EXPECT_EQ(L"C:\\Program Files\\Quarn Nothing\\", r.mInstalledLocation);
        // The process's COM security is set once; the second run must not fail on it.
        EXPECT_EQ((std::vector<std::wstring>{L"Connected to ROOT\\CIMV2 WMI namespace", L"pEnumerator->Next() failed and returned: 1"}),
                  log.Messages())
            << "run " << run;
    }
}

#ifdef QRNV_TEST_MSI_CODE
// A real Windows Installer package, installed with msiexec for these tests and removed again.
class InstalledPackage : public ::testing::Test {
protected:
    static std::uint32_t Msiexec(const std::wstring& arguments)
    {
        std::uint32_t exitCode = 99;
        const std::uint32_t started = StartProcess(L"", L"msiexec " + arguments, true, exitCode, false);
        return started != 0 ? started : exitCode;
    }
    static void SetUpTestSuite()
    {
        std::wstring folder;
        ASSERT_TRUE(GetModuleDirectory(folder));
        const std::wstring package = folder + L"QuarnToolUnit.msi";
        ASSERT_TRUE(FileExists(package));
        Msiexec(L"/x " QRNV_TEST_MSI_CODE L" /qn"); // left by an interrupted run
        sInstalled = Msiexec(L"/i \"" + package + L"\" /qn") == 0;
    }
    static void TearDownTestSuite() { Msiexec(L"/x " QRNV_TEST_MSI_CODE L" /qn"); }
    void SetUp() override { ASSERT_TRUE(sInstalled) << "msiexec could not install the package"; }

    static inline bool sInstalled = false;
    const std::wstring mFolder = L"C:\\Program Files\\" QRNV_TEST_MSI_NAME L"\\";
};

TEST_F(InstalledPackage, TheInstallerFindsItByLocationAndByName)
{
    ProgramInfo r;
    r.mInstalledLocation = mFolder.substr(0, mFolder.size() - 1);
    const test::LogCapture log;
    ASSERT_TRUE(ReadFromMsiDB(r));
    EXPECT_EQ(QRNV_TEST_MSI_CODE, r.mProductCode);
    EXPECT_EQ(mFolder, r.mInstalledLocation);
    EXPECT_EQ(QRNV_TEST_MSI_NAME, r.mProgramName);
    EXPECT_EQ(QRNV_TEST_MSI_NAME, r.mDisplayName);
    EXPECT_EQ(L"2.5.1", r.mProgramVersion);
    EXPECT_EQ(8u, r.mInstallDate.size());
    EXPECT_EQ(1031, r.mLanguage);
    EXPECT_TRUE(log.Contains(L"INF", L"Find product guid"));
    EXPECT_TRUE(log.Contains(L"INF", L"ReadFromMsiDB succeeded"));

    ProgramInfo byName;
    byName.mProgramName = QRNV_TEST_MSI_NAME;
    ASSERT_TRUE(ReadFromMsiDB(byName));
    EXPECT_EQ(QRNV_TEST_MSI_CODE, byName.mProductCode);
    EXPECT_EQ(mFolder, byName.mInstalledLocation);
}

// The installer registers the product's uninstall entry too, with its date as text.
TEST_F(InstalledPackage, ItsUninstallEntryIsFoundByLocation)
{
    ProgramInfo r;
    r.mInstalledLocation = mFolder;
    ASSERT_TRUE(ReadFromRegistry(r));
    EXPECT_EQ(QRNV_TEST_MSI_CODE, r.mProductCode);
    EXPECT_EQ(QRNV_TEST_MSI_NAME, r.mProgramName);
    EXPECT_EQ(L"2.5.1", r.mProgramVersion);
    EXPECT_EQ(8u, r.mInstallDate.size());
    EXPECT_EQ(mFolder, r.mInstalledLocation);
    EXPECT_EQ(1031, r.mLanguage);
}
#endif

} // namespace
} // namespace qrnv
