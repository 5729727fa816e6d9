#include <gtest/gtest.h>

#include <sqlite3.h>

#include "Client/Discovery.h"
#include "Client/system/CommandLineText.h"
#include "Client/system/InstallerDatabase.h"
#include "Client/system/Process.h"
#include "RegistrySandbox.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

const std::wstring kCode1 = L"{11111111-2222-3333-4444-555555555555}";
const std::wstring kCode2 = L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
const std::wstring kLocation = L"/opt/Quarn Tool/";

InstallerProduct Product(const std::wstring& code, const wchar_t* location, const wchar_t* name)
{
    InstallerProduct p;
    p.mProductCode = code;
    if (location) {
        p.mInstallLocation = location;
    }
    if (name) {
        p.mProductName = name;
    }
    p.mVersionString = L"2.5.1";
    p.mInstallDate = L"20240307";
    p.mLanguage = L"1031.9";
    return p;
}

// The stand-in installer database of a private registry root: read both as Windows
// Installer's products and as the management class.
class InstallerProducts : public ::testing::Test {
protected:
    void Register(const InstallerProduct& p)
    {
        std::string error;
        ASSERT_TRUE(RegisterInstallerProduct(p, error)) << error;
    }

    // Holds the database's write lock until the object goes.
    class Locker {
    public:
        Locker()
        {
            EXPECT_EQ(SQLITE_OK, sqlite3_open(InstallerDatabaseFile().c_str(), &mDb));
            EXPECT_EQ(SQLITE_OK, sqlite3_exec(mDb, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
        }
        ~Locker() { sqlite3_close(mDb); }

    private:
        sqlite3* mDb = nullptr;
    };

    test::RegistrySandbox mSandbox;
};

TEST_F(InstallerProducts, TheInstallerFindsAProductByLocation)
{
    // Stored without the final separator; an earlier product has none at all.
    Register(Product(kCode2, nullptr, L"Other"));
    Register(Product(kCode1, L"/opt/Quarn Tool", L"  Quarn A&B "));
    ProgramInfo r;
    r.mInstalledLocation = L"/opt/Quarn Tool"; // gets its separator first
    const test::LogCapture log;
    ASSERT_TRUE(ReadFromMsiDB(r));
    EXPECT_EQ(kCode1, r.mProductCode);
    EXPECT_EQ(L"/opt/Quarn Tool", r.mInstalledLocation); // as read
    EXPECT_EQ(L"Quarn A&B", r.mProgramName);
    EXPECT_EQ(L"Quarn A&B", r.mDisplayName);
    EXPECT_EQ(L"Quarn A&&B", r.mEscapedDisplayName);
    EXPECT_EQ(L"2.5.1", r.mProgramVersion);
    EXPECT_EQ(L"20240307", r.mInstallDate);
    EXPECT_EQ(1031, r.mLanguage);
    EXPECT_EQ((std::vector<std::wstring>{L"MsiGetProductInfo 'INSTALLPROPERTY_INSTALLLOCATION' failed and returned: 1608",
                                         L"Find product guid", L"ReadFromMsiDB succeeded"}),
              log.Messages());
}

TEST_F(InstallerProducts, TheInstallerFindsAProductByNameOnlyWithoutLocation)
{
    Register(Product(kCode1, L"/opt/a/", L"Quarn Tool"));
    ProgramInfo r;
    r.mProgramName = L"quarn tool"; // exact comparison
    EXPECT_FALSE(ReadFromMsiDB(r));
    r.mProgramName = L"Quarn Tool";
    ASSERT_TRUE(ReadFromMsiDB(r));
    EXPECT_EQ(kCode1, r.mProductCode);
    EXPECT_EQ(L"/opt/a/", r.mInstalledLocation);

    ProgramInfo nothing;
    const test::LogCapture log;
    EXPECT_FALSE(ReadFromMsiDB(nothing));
    EXPECT_TRUE(log.Messages().empty()); // neither location nor name: nothing sought
}

TEST_F(InstallerProducts, TheInstallerSkipsUnreadableLocationsAndFailsOnAMissingProperty)
{
    // A value beyond the installer's 512 characters cannot be read.
    Register(Product(kCode2, (L"/" + std::wstring(600, L'x')).c_str(), L"Long"));
    InstallerProduct p = Product(kCode1, kLocation.c_str(), L"Quarn Tool");
    p.mVersionString.reset();
    Register(p);
    ProgramInfo r;
    r.mInstalledLocation = kLocation;
    r.mProgramVersion = L"keep";
    const test::LogCapture log;
    EXPECT_FALSE(ReadFromMsiDB(r));
    EXPECT_TRUE(log.Contains(L"ERR", L"MsiGetProductInfo 'INSTALLPROPERTY_INSTALLLOCATION' failed and returned: 234"));
    EXPECT_TRUE(log.Contains(L"INF", L"Find product guid"));
    EXPECT_FALSE(log.Contains(L"INF", L"ReadFromMsiDB succeeded"));
    // What was read before the failure stays.
    EXPECT_EQ(kCode1, r.mProductCode);
    EXPECT_EQ(L"Quarn Tool", r.mProgramName);
    EXPECT_EQ(L"keep", r.mProgramVersion);
}

TEST_F(InstallerProducts, AMissingOrLockedDatabaseFailsBothSources)
{
    ProgramInfo r;
    r.mInstalledLocation = kLocation;
    {
        const test::LogCapture log;
        EXPECT_FALSE(ReadFromMsiDB(r));
        EXPECT_FALSE(ReadFromWin32_Products(r));
        EXPECT_EQ((std::vector<std::wstring>{L"ReadFromMsiDB failed", L"Connected to ROOT\\CIMV2 WMI namespace",
                                             L"pEnumerator->Next() failed and returned: 1"}),
                  log.Messages());
    }
    Register(Product(kCode1, kLocation.c_str(), L"Quarn Tool"));
    const Locker locked;
    const test::LogCapture log;
    EXPECT_FALSE(ReadFromMsiDB(r));
    EXPECT_FALSE(ReadFromWin32_Products(r));
    const std::vector<std::wstring> lines = log.Messages();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(L"ReadFromMsiDB failed", lines[0]);
    EXPECT_EQ(L"Query for product failed. Generic failure: database is locked (2147749889)", lines[2]);
    EXPECT_EQ(L"", r.mProductCode);
}

TEST_F(InstallerProducts, TheManagementQueryReadsTheSameProducts)
{
    InstallerProduct noName = Product(kCode2, kLocation.c_str(), nullptr);
    Register(noName);
    // Not trimmed here, unlike the installer's product name.
    Register(Product(kCode1, L"/opt/Quarn Tool", L" Quarn Tool "));
    ProgramInfo r;
    r.mInstalledLocation = L"/opt/Quarn Tool";
    const test::LogCapture log;
    ASSERT_TRUE(ReadFromWin32_Products(r));
    EXPECT_EQ(kCode1, r.mProductCode);
    EXPECT_EQ(L"/opt/Quarn Tool", r.mInstalledLocation);
    EXPECT_EQ(L" Quarn Tool ", r.mProgramName);
    EXPECT_EQ(L" Quarn Tool ", r.mDisplayName);
    EXPECT_EQ(L"2.5.1", r.mProgramVersion);
    EXPECT_EQ(L"", r.mInstallDate); // InstallDate2 is read, not kept
    EXPECT_EQ(1031, r.mLanguage);
    // The first product matched by location but had no name: the search went on.
    EXPECT_EQ((std::vector<std::wstring>{L"Connected to ROOT\\CIMV2 WMI namespace", L"Find product guid", L"Find product guid"}),
              log.Messages());

    ProgramInfo byName;
    byName.mProgramName = L" Quarn Tool ";
    ASSERT_TRUE(ReadFromWin32_Products(byName));
    EXPECT_EQ(kCode1, byName.mProductCode);
    ProgramInfo nothing;
    EXPECT_FALSE(ReadFromWin32_Products(nothing));
}

TEST_F(InstallerProducts, AValueBeyondTheInstallersBufferIsFoundOnlyByTheQuery)
{
    InstallerProduct p = Product(kCode1, kLocation.c_str(), L"Quarn Tool");
    p.mVersionString = L"2.5." + std::wstring(600, L'9');
    Register(p);
    ProgramInfo r;
    r.mInstalledLocation = kLocation;
    EXPECT_FALSE(ReadFromMsiDB(r));
    r.mInstalledLocation = kLocation;
    ASSERT_TRUE(ReadFromWin32_Products(r));
    EXPECT_EQ(*p.mVersionString, r.mProgramVersion);
}

TEST_F(InstallerProducts, TheToolRegistersListsAndRemoves)
{
    auto run = [](const std::vector<std::wstring>& args) {
        std::uint32_t exitCode = 99;
        EXPECT_EQ(0u, StartProcess(test::HelperProgramPath(L"qrnv-installer"), JoinCommandLine(args), true, exitCode, false));
        return exitCode;
    };
    EXPECT_EQ(0u, run({L"register", L"--code", kCode1, L"--name", L"Quarn Tool", L"--version", L"2.5.1", L"--location", kLocation,
                       L"--language", L"1031"}));
    EXPECT_EQ(1u, run({L"register", L"--code", L"not-a-guid", L"--name", L"x"}));
    EXPECT_EQ(1u, run({L"register", L"--code", kCode2, L"--date", L"2024"}));

    std::vector<InstallerProduct> products;
    std::string error;
    ASSERT_EQ(InstallerStoreResult::Ok, ReadInstallerProducts(products, error));
    ASSERT_EQ(1u, products.size());
    EXPECT_EQ(L"Quarn Tool", products[0].mProductName.value_or(L""));
    EXPECT_EQ(8u, products[0].mInstallDate.value_or(L"").size()); // today
    EXPECT_EQ(L"1031", products[0].mLanguage.value_or(L""));

    EXPECT_EQ(0u, run({L"remove", L"--code", kCode1}));
    EXPECT_EQ(3u, run({L"remove", L"--code", kCode1}));
    ASSERT_EQ(InstallerStoreResult::Ok, ReadInstallerProducts(products, error));
    EXPECT_TRUE(products.empty());
}

} // namespace
} // namespace qrnv
