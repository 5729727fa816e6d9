// The SQLite store behind the registry on POSIX: where it lives, several processes at once,
// and stores that cannot be used.

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include "Client/Settings.h"
#include "Client/system/LastError.h"
#include "Client/system/Registry.h"
#include "RegistrySandbox.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {

bool FileExistsAt(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Sets (or with nullptr removes) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : mName(name)
    {
        if (const char* old = std::getenv(name)) {
            mOld = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { mOld ? setenv(mName, mOld->c_str(), 1) : unsetenv(mName); }

private:
    const char* mName;
    std::optional<std::string> mOld;
};

class RegistryStore : public ::testing::Test {
protected:
    std::string StoreFile(const char* name) const { return mSandbox.StoreRoot() + "/" + name; }

    test::RegistrySandbox mSandbox;
};

TEST_F(RegistryStore, EachHiveIsOneFileInTheRootFolder)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, L"Software\\A", RegView::Registry64));
    EXPECT_TRUE(FileExistsAt(StoreFile("HKCU.db")));
    EXPECT_FALSE(FileExistsAt(StoreFile("HKLM.db"))) << "reads and user writes leave the machine store alone";
    ASSERT_TRUE(key.Create(RegHive::LocalMachine, L"Software\\A", RegView::Registry64));
    EXPECT_TRUE(FileExistsAt(StoreFile("HKLM.db")));
    EXPECT_EQ(StoreFile("HKCU.db"), RegistryStoreFile(RegHive::CurrentUser));
}

// Callers check the last-error value after other calls with registry reads in between (the
// service calls do): the store's files and database must not leave one behind.
TEST_F(RegistryStore, RegistryCallsLeaveTheLastErrorAsTheyFoundIt)
{
    const std::uint32_t kUntouched = 1234;
    std::wstring text;
    std::uint32_t number = 0;
    const std::vector<std::pair<const char*, std::function<void()>>> calls = {
        {"open a key of a store not made yet", [] { RegKey k; k.Open(RegHive::CurrentUser, L"Software\\Missing", RegView::Registry64, false); }},
        {"create", [] { RegKey k; k.Create(RegHive::CurrentUser, L"Software\\B", RegView::Registry64); }},
        {"write and read", [&] {
             RegKey k;
             k.Create(RegHive::CurrentUser, L"Software\\B", RegView::Registry64);
             k.WriteText(L"T", L"x");
             k.ReadText(L"T", text, 100);
             k.ReadText(L"Missing", text, 100);
             k.ReadNumber(L"Missing", number);
         }},
        {"enumerate", [&] { RegKey k; k.Open(RegHive::CurrentUser, L"Software", RegView::Registry64, false); k.EnumSubKey(5, text); }},
        {"delete a tree", [] { DeleteRegKeyTree(RegHive::CurrentUser, L"Software\\B", RegView::Registry64); }},
    };
    for (const auto& [what, call] : calls) {
        SetLastErrorCode(kUntouched);
        call();
        EXPECT_EQ(kUntouched, GetLastErrorCode()) << what;
        SetLastErrorCode(0);
        call();
        EXPECT_EQ(0u, GetLastErrorCode()) << what;
    }
}

TEST_F(RegistryStore, WithoutTheRootVariableTheStoresHaveTheirUsualPlaces)
{
    ScopedEnv root(kRegistryRootVariable, nullptr);
    EXPECT_EQ("/var/lib/quarn-renova/HKLM.db", RegistryStoreFile(RegHive::LocalMachine));
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/home/someone/conf");
        EXPECT_EQ("/home/someone/conf/quarn-renova/HKCU.db", RegistryStoreFile(RegHive::CurrentUser));
    }
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ("/home/someone/.config/quarn-renova/HKCU.db", RegistryStoreFile(RegHive::CurrentUser));
}

// Writes keys and values of its own and into one shared key; returns the number of failures.
int WriteMany(const std::wstring& who, int count)
{
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        RegKey own;
        RegKey shared;
        const bool ok = own.Create(RegHive::CurrentUser, FormatText(L"Software\\Shared\\%s\\K%d", who, i), RegView::Registry64) &&
                        own.WriteNumber(L"Index", static_cast<std::uint32_t>(i)) &&
                        shared.Create(RegHive::CurrentUser, L"Software\\Shared", RegView::Registry64) &&
                        shared.WriteText(FormatText(L"%s%d", who, i), who);
        failures += ok ? 0 : 1;
    }
    return failures;
}

TEST_F(RegistryStore, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kWrites = 100;
    int go[2];
    ASSERT_EQ(0, pipe(go));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(go[1]);
        char start;
        const bool started = read(go[0], &start, 1) == 1;
        _exit(started ? std::min(WriteMany(L"Child", kWrites), 100) : 101);
    }
    close(go[0]);
    ASSERT_EQ(1, write(go[1], "x", 1));
    close(go[1]);
    const int parentFailures = WriteMany(L"Parent", kWrites);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "failed writes in the child";
    EXPECT_EQ(0, parentFailures);

    RegKey shared;
    ASSERT_TRUE(shared.Open(RegHive::CurrentUser, L"Software\\Shared", RegView::Registry64, false));
    std::wstring name;
    RegValueType type;
    std::uint32_t values = 0;
    while (shared.EnumValue(values, name, type) == RegEnumResult::Ok) {
        ++values;
    }
    EXPECT_EQ(2u * kWrites, values);
    for (const wchar_t* who : {L"Child", L"Parent"}) {
        for (int i = 0; i < kWrites; ++i) {
            RegKey key;
            std::uint32_t index = 0;
            ASSERT_TRUE(key.Open(RegHive::CurrentUser, FormatText(L"Software\\Shared\\%s\\K%d", who, i), RegView::Registry64, false));
            EXPECT_TRUE(key.ReadNumber(L"Index", index));
            EXPECT_EQ(static_cast<std::uint32_t>(i), index);
        }
    }
    ASSERT_EQ(RegEnumResult::Ok, shared.EnumSubKey(1, name));
    EXPECT_EQ(RegEnumResult::NoMore, shared.EnumSubKey(2, name)) << "the shared key was created once";
}

TEST_F(RegistryStore, EnumerationByIndexGivesTheSortedOrderInAnyOrderOfAsking)
{
    // Sorted without regard to case; a name too long to read is an Error at its place.
    const std::wstring tooLong = L"C" + std::wstring(kRegMaxKeyNameChars, L'x');
    const std::vector<std::wstring> created = {L"e", L"b", tooLong, L"D", L"A"};
    const std::vector<std::optional<std::wstring>> expected = {L"A", L"b", std::nullopt, L"D", L"e"};
    for (const auto& name : created) {
        RegKey sub;
        ASSERT_TRUE(sub.Create(RegHive::CurrentUser, L"Software\\Enum\\" + name, RegView::Registry64));
    }
    RegKey writer;
    ASSERT_TRUE(writer.Create(RegHive::CurrentUser, L"Software\\Enum", RegView::Registry64));
    for (const wchar_t* name : {L"e", L"b", L"D", L"A"}) {
        ASSERT_TRUE(writer.WriteNumber(name, 1));
    }
    const std::vector<std::wstring> expectedValues = {L"A", L"b", L"D", L"e"};

    // In order, past the end, backwards, repeated and jumping: each index names one entry.
    const std::vector<std::vector<std::uint32_t>> orders = {
        {0, 1, 2, 3, 4, 5}, {3, 4, 5, 0, 1}, {2, 3, 1, 2, 2, 4, 0}, {5, 4, 3, 2, 1, 0}, {0, 2, 4, 1, 3}};
    for (const auto& order : orders) {
        RegKey key;
        ASSERT_TRUE(key.Open(RegHive::CurrentUser, L"Software\\Enum", RegView::Registry64, false));
        for (const std::uint32_t index : order) {
            std::wstring name = L"unchanged";
            const RegEnumResult result = key.EnumSubKey(index, name);
            if (index >= expected.size()) {
                EXPECT_EQ(RegEnumResult::NoMore, result) << "sub-key " << index;
            } else if (!expected[index]) {
                EXPECT_EQ(RegEnumResult::Error, result) << "sub-key " << index;
                EXPECT_EQ(L"unchanged", name) << "sub-key " << index;
            } else {
                EXPECT_EQ(RegEnumResult::Ok, result) << "sub-key " << index;
                EXPECT_EQ(*expected[index], name) << "sub-key " << index;
            }
            RegValueType type = RegValueType::Other;
            const RegEnumResult valueResult = key.EnumValue(index, name, type);
            if (index >= expectedValues.size()) {
                EXPECT_EQ(RegEnumResult::NoMore, valueResult) << "value " << index;
            } else {
                EXPECT_EQ(RegEnumResult::Ok, valueResult) << "value " << index;
                EXPECT_EQ(expectedValues[index], name) << "value " << index;
                EXPECT_EQ(RegValueType::Number, type) << "value " << index;
            }
        }
    }
}

TEST_F(RegistryStore, AWalkSkipsNothingWhenAKeyBehindItIsDeleted)
{
    for (const wchar_t* name : {L"K1", L"K2", L"K3", L"K4", L"K5"}) {
        RegKey sub;
        ASSERT_TRUE(sub.Create(RegHive::CurrentUser, FormatText(L"Software\\Walk\\%s", name), RegView::Registry64));
    }
    RegKey key;
    ASSERT_TRUE(key.Open(RegHive::CurrentUser, L"Software\\Walk", RegView::Registry64, false));
    std::vector<std::wstring> seen;
    std::wstring name;
    for (std::uint32_t i = 0; key.EnumSubKey(i, name) == RegEnumResult::Ok; ++i) {
        seen.push_back(name);
        if (name == L"K2") {
            // Another writer (an installer's uninstall) removes an entry already visited.
            ASSERT_TRUE(DeleteRegKeyTree(RegHive::CurrentUser, L"Software\\Walk\\K1", RegView::Registry64));
        }
    }
    EXPECT_EQ((std::vector<std::wstring>{L"K1", L"K2", L"K3", L"K4", L"K5"}), seen);
}

// Another process writes without a break for longer than a store is waited for: a write
// here still gets its turn between two of its transactions.
TEST_F(RegistryStore, AWriteGetsItsTurnDuringAnotherProcesssLongRunOfWrites)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, L"Software\\Busy", RegView::Registry64));
    int started[2];
    ASSERT_EQ(0, pipe(started));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(started[0]);
        RegKey own;
        if (!own.Create(RegHive::CurrentUser, L"Software\\Busy\\Other", RegView::Registry64)) {
            _exit(10);
        }
        bool told = false;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(25);
        for (std::uint32_t i = 0; std::chrono::steady_clock::now() < end; ++i) {
            if (own.WriteNumber(L"N", i) && !told) {
                told = write(started[1], "x", 1) == 1;
            }
        }
        _exit(0);
    }
    close(started[1]);
    char go = 0;
    ASSERT_EQ(1, read(started[0], &go, 1)) << "the other writer did not start";
    close(started[0]);
    const auto before = std::chrono::steady_clock::now();
    const bool written = key.WriteNumber(L"V", 7);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);
    const bool otherStillWriting = waitpid(child, nullptr, WNOHANG) == 0;
    kill(child, SIGKILL);
    ASSERT_EQ(child, waitpid(child, nullptr, 0));
    EXPECT_TRUE(written) << "after " << waited.count() << " ms";
    EXPECT_TRUE(otherStillWriting) << "the write went through only once the other process had stopped";
    std::uint32_t value = 0;
    EXPECT_TRUE(key.ReadNumber(L"V", value));
    EXPECT_EQ(7u, value);
}

TEST_F(RegistryStore, ABusyStoreIsWaitedFor)
{
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, L"Software\\Busy", RegView::Registry64));
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(StoreFile("HKCU.db").c_str(), &other));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
    std::atomic<bool> released{false};
    std::thread holder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        released = true;
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    const bool written = key.WriteText(L"V", L"after the lock");
    const bool waited = released.load();
    holder.join();
    sqlite3_close(other);
    EXPECT_TRUE(written);
    EXPECT_TRUE(waited) << "the write went through while another process held the store";
    std::wstring text;
    EXPECT_TRUE(key.ReadText(L"V", text, 100));
    EXPECT_EQ(L"after the lock", text);
}

TEST_F(RegistryStore, ACorruptStoreReadsDefaultsAndIsNotWritten)
{
    const std::string garbage(4096, 'x');
    std::ofstream(StoreFile("HKCU.db"), std::ios::binary) << garbage;

    RegKey key;
    EXPECT_FALSE(key.Create(RegHive::CurrentUser, L"Software\\A", RegView::Registry64));
    EXPECT_FALSE(key.Open(RegHive::CurrentUser, L"Software", RegView::Registry64, false));
    EXPECT_FALSE(DeleteRegKeyTree(RegHive::CurrentUser, L"Software", RegView::Registry64));

    ProgramInfo info;
    info.mProgramName = L"Quarn Tool";
    info.mProgramVersion = L"1.2.3";
    StoreUpdateResult(info, 1, L"x");
    ClearUpdateResult(info);
    SetIgnoredMajorVersionUpgrade(info, 3);
    EXPECT_EQ(-1, GetIgnoredMajorVersionUpgrade(info));
    EXPECT_EQ(L"-1", GetIgnoredProductVersion(info));
    EXPECT_EQ(L"", GetDebugUrl(info));
    EXPECT_EQ(0u, GetDebugFlag());
    EXPECT_EQ(garbage, FileBytes(StoreFile("HKCU.db")));
}

TEST_F(RegistryStore, AStoreThatCannotBeMadeFailsSilently)
{
    // A folder in the place of the store file, and a root below a plain file.
    ASSERT_EQ(0, mkdir(StoreFile("HKCU.db").c_str(), 0700));
    RegKey key;
    EXPECT_FALSE(key.Create(RegHive::CurrentUser, L"Software\\A", RegView::Registry64));

    std::ofstream(StoreFile("plain")) << "x";
    ScopedEnv root(kRegistryRootVariable, StoreFile("plain/below").c_str());
    EXPECT_FALSE(key.Create(RegHive::LocalMachine, L"Software\\A", RegView::Registry64));
    EXPECT_FALSE(key.Open(RegHive::LocalMachine, L"Software", RegView::Registry64, false));
    ProgramInfo info;
    info.mProgramName = L"Quarn Tool";
    info.mProgramVersion = L"1.2.3";
    SetLastUpdateCheck(info, 5);
    std::wstring text;
    EXPECT_FALSE(ReadLastUpdateCheck(info, text));
}

// The machine store of another user (root) can be read but not written: the check time then
// stays as it was, without an error.
TEST_F(RegistryStore, AMachineStoreWithoutWriteAccessIsReadOnlySilently)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to prepare a store that another user cannot write";
    }
    char folder[] = "/tmp/qrnv-machine-store-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder));
    ASSERT_EQ(0, chmod(folder, 0755));
    ScopedEnv root(kRegistryRootVariable, folder);
    ProgramInfo info;
    info.mProgramName = L"Quarn Tool";
    info.mProgramVersion = L"1.2.3";
    SetLastUpdateCheck(info, 1733952000);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // An ordinary user ("nobody"), as the program usually runs.
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(10);
        }
        std::wstring text;
        RegKey key;
        int result = 0;
        SetLastUpdateCheck(info, 42);
        if (!ReadLastUpdateCheck(info, text) || text != L"1733952000") {
            result |= 1;
        }
        if (key.Create(RegHive::LocalMachine, ProductVersionKeyPath(info), RegView::Registry64)) {
            result |= 2;
        }
        if (key.Open(RegHive::LocalMachine, ProductVersionKeyPath(info), RegView::Registry64, true)) {
            result |= 4;
        }
        _exit(result);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    const std::string store = std::string(folder) + "/HKLM.db";
    unlink(store.c_str());
    rmdir(folder);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "1: value changed or unreadable, 2: created, 4: opened for writing, 10: no user switch";
}

} // namespace
} // namespace qrnv
