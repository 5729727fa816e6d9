#include "Client/system/Registry.h"

// The registry on POSIX: one SQLite database per hive. A key is a row under its parent
// (0 stands for the hive itself); names are found through their case-folded form and keep
// the spelling they were created with, as in the Windows registry. Several processes use a
// store at once: every write is one IMMEDIATE transaction (it takes the write lock before it
// reads, so the busy handler, not an instant SQLITE_BUSY, decides), and a busy store is
// waited for: polled every millisecond or two, as a process that writes many times in a row
// leaves the store free only for moments between its transactions. A store that is missing, unwritable or not a database only makes the
// operations fail; it is never repaired or replaced.

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "sdk/text/TextConvert.h"

namespace qrnv {

namespace {

// Where an enumeration by index stopped: the index and the sort form of the name given for
// it. The next index continues after that name through the index on (parent, fold), as one
// step; counting rows from the start (OFFSET) for every index made a walk quadratic.
struct EnumCursor {
    bool valid = false;
    std::uint32_t index = 0;
    std::string fold;
};

// How long a busy store is waited for: long enough for another process's writes to finish,
// short enough that a stuck store does not hold the program up for long. A writer may have
// to wait out another process's whole run of writes, which takes seconds on a loaded machine.
constexpr auto kReadBusyTimeout = std::chrono::seconds(5);
constexpr auto kWriteBusyTimeout = std::chrono::seconds(20);
constexpr auto kBusyPollMinUs = 500;
constexpr auto kBusyPollMaxUs = 2000;
constexpr auto kPauseAfterWrite = std::chrono::microseconds(kBusyPollMaxUs + 500);

// SQLite's own busy handler sleeps up to 100 ms between tries, so a writer polling that
// slowly almost never meets the moments between another writer's transactions and loses
// its time-out to it. This one tries again after 0.5 to 2 ms (less than the pause each writer
// leaves after its writes), with jitter so that two waiting processes do not stay in step.
class BusyWait {
public:
    void Start(sqlite3* db, std::chrono::milliseconds timeout)
    {
        mTimeout = timeout;
        sqlite3_busy_handler(db, &BusyWait::Handler, this);
    }

private:
    static int Handler(void* self, int tries)
    {
        auto* wait = static_cast<BusyWait*>(self);
        const auto now = std::chrono::steady_clock::now();
        if (tries == 0) {
            wait->mSince = now;
        } else if (now - wait->mSince >= wait->mTimeout) {
            return 0;
        }
        std::uniform_int_distribution<int> pause(kBusyPollMinUs, kBusyPollMaxUs);
        std::this_thread::sleep_for(std::chrono::microseconds(pause(wait->mRandom)));
        return 1;
    }

    std::chrono::milliseconds mTimeout{0};
    std::chrono::steady_clock::time_point mSince;
    std::minstd_rand mRandom{static_cast<std::minstd_rand::result_type>(getpid()) ^
                             static_cast<std::minstd_rand::result_type>(reinterpret_cast<std::uintptr_t>(this))};
};

} // namespace

struct RegKey::State {
    sqlite3* db = nullptr;
    std::int64_t id = 0;
    bool writable = false;
    EnumCursor subKeys;
    EnumCursor values;
    // Owned here: SQLite calls it for this connection until the connection is closed.
    BusyWait busy;
    ~State() { sqlite3_close_v2(db); }
};

namespace {

// The registry's own type numbers, so that a store reads the same in the sqlite3 shell.
constexpr std::int64_t kTypeText = 1;   // REG_SZ
constexpr std::int64_t kTypeNumber = 4; // REG_DWORD

constexpr const char* kMachineStoreFolder = "/var/lib/quarn-renova";
constexpr const char* kUserStoreFolder = "quarn-renova";

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data NOT NULL,"
    " PRIMARY KEY(key, fold)) WITHOUT ROWID;";

class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &mStmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(mStmt);
            mStmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(mStmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return mStmt != nullptr; }
    void Bind(int index, std::int64_t value)
    {
        if (mStmt) {
            sqlite3_bind_int64(mStmt, index, value);
        }
    }
    void Bind(int index, const std::string& text)
    {
        if (mStmt) {
            sqlite3_bind_text(mStmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return mStmt ? sqlite3_step(mStmt) : SQLITE_ERROR; }
    std::int64_t Int(int column) const { return sqlite3_column_int64(mStmt, column); }
    int Type(int column) const { return sqlite3_column_type(mStmt, column); }
    std::string Text(int column) const
    {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(mStmt, column));
        const int size = sqlite3_column_bytes(mStmt, column);
        return data ? std::string(data, static_cast<std::size_t>(size)) : std::string();
    }

private:
    sqlite3_stmt* mStmt = nullptr;
};

bool Execute(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Rolls back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db) : mDb(db), mActive(Execute(db, "BEGIN IMMEDIATE")) {}
    ~WriteTransaction()
    {
        if (mActive) {
            Execute(mDb, "ROLLBACK");
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool Active() const { return mActive; }
    bool Commit()
    {
        if (!mActive || !Execute(mDb, "COMMIT")) {
            return false;
        }
        mActive = false;
        // A moment with the store free before this process's next write: long enough for
        // the busy handler of a waiting process to find it so, or that process would never
        // get a turn while this one writes on.
        std::this_thread::sleep_for(kPauseAfterWrite);
        return true;
    }

private:
    sqlite3* mDb;
    bool mActive;
};

// The case-insensitive form of a name: upper case by the Unicode tables, as Windows compares.
std::string Fold(const std::wstring& name)
{
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::wstring folded = name;
    for (wchar_t& c : folded) {
        if (unicode) {
            c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), unicode));
        } else if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return WideToUtf8(folded);
}

std::vector<std::wstring> SplitKeyPath(const std::wstring& path)
{
    std::vector<std::wstring> parts;
    std::wstring part;
    for (wchar_t c : path) {
        if (c == L'\\') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

std::string UserConfigFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home && *home == '/') {
        return std::string(home) + "/.config";
    }
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir && *found->pw_dir == '/') {
        return std::string(found->pw_dir) + "/.config";
    }
    return {};
}

// Creates the store's folder and its missing parents, silently.
void MakeStoreFolder(const std::string& file, mode_t mode)
{
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return;
    }
    const std::string folder = file.substr(0, slash);
    for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string level = folder.substr(0, at);
        if (mkdir(level.c_str(), mode) != 0 && errno != EEXIST) {
            return;
        }
        if (at == std::string::npos) {
            return;
        }
    }
}

// Opens a hive's store. create: the file (and folder) is made when missing. writable: the
// store must accept writes (the library falls back to read-only on a write-protected file).
sqlite3* OpenStore(RegHive hive, bool writable, bool create, BusyWait& busy)
{
    const std::string file = RegistryStoreFile(hive);
    if (file.empty()) {
        return nullptr;
    }
    if (create) {
        // The machine store's folder is readable by every user; any other stays private.
        const char* root = std::getenv(kRegistryRootVariable);
        const bool machineFolder = hive == RegHive::LocalMachine && !(root && *root);
        MakeStoreFolder(file, machineFolder ? 0755 : 0700);
    }
    int flags = writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    if (create) {
        flags |= SQLITE_OPEN_CREATE;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK || (writable && sqlite3_db_readonly(db, "main") != 0)) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    busy.Start(db, writable ? kWriteBusyTimeout : kReadBusyTimeout);
    return db;
}

// The registry functions report failure by their result, never through the thread's
// last-error value, as on Windows; the store's file and database calls must not leave errno
// behind for a caller that checks it after a registry read.
class KeepLastError {
public:
    KeepLastError() : mSaved(errno) {}
    ~KeepLastError() { errno = mSaved; }
    KeepLastError(const KeepLastError&) = delete;
    KeepLastError& operator=(const KeepLastError&) = delete;

private:
    int mSaved;
};

// The key's row id (0 for the hive), or -1 when it does not exist or the store cannot be read.
std::int64_t FindKey(sqlite3* db, const std::vector<std::wstring>& parts)
{
    std::int64_t id = 0;
    for (const auto& part : parts) {
        Statement find(db, "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
        find.Bind(1, id);
        find.Bind(2, Fold(part));
        if (find.Step() != SQLITE_ROW) {
            return -1;
        }
        id = find.Int(0);
    }
    if (parts.empty()) {
        // The hive: exists when the store can be read at all.
        Statement probe(db, "SELECT count(*) FROM keys");
        if (probe.Step() != SQLITE_ROW) {
            return -1;
        }
    }
    return id;
}

bool KeyExists(sqlite3* db, std::int64_t id)
{
    if (id == 0) {
        return true;
    }
    Statement find(db, "SELECT 1 FROM keys WHERE id = ?1");
    find.Bind(1, id);
    return find.Step() == SQLITE_ROW;
}

// Writes inside the caller's transaction; false when the key was deleted meanwhile.
bool PutValue(sqlite3* db, std::int64_t key, const std::wstring& name, std::int64_t type, const std::string* text, std::int64_t number)
{
    if (!KeyExists(db, key)) {
        return false;
    }
    Statement put(db,
                  "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                  " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    put.Bind(1, key);
    put.Bind(2, WideToUtf8(name));
    put.Bind(3, Fold(name));
    put.Bind(4, type);
    if (text) {
        put.Bind(5, *text);
    } else {
        put.Bind(5, number);
    }
    return put.Step() == SQLITE_DONE;
}

} // namespace

std::string RegistryStoreFile(RegHive hive)
{
    const char* file = hive == RegHive::LocalMachine ? "HKLM.db" : "HKCU.db";
    const char* root = std::getenv(kRegistryRootVariable);
    if (root && *root) {
        std::string folder = root;
        if (folder.back() != '/') {
            folder += '/';
        }
        return folder + file;
    }
    if (hive == RegHive::LocalMachine) {
        return std::string(kMachineStoreFolder) + "/" + file;
    }
    const std::string config = UserConfigFolder();
    if (config.empty()) {
        return {};
    }
    return config + "/" + kUserStoreFolder + "/" + file;
}

RegKey::RegKey() = default;
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&& other) noexcept = default;
RegKey& RegKey::operator=(RegKey&& other) noexcept = default;

bool RegKey::Open(RegHive hive, const std::wstring& path, RegView, bool writeAccess)
{
    const KeepLastError keep;
    Close();
    auto state = std::make_unique<State>();
    state->db = OpenStore(hive, writeAccess, false, state->busy);
    if (!state->db) {
        return false;
    }
    state->id = FindKey(state->db, SplitKeyPath(path));
    if (state->id < 0) {
        return false;
    }
    state->writable = writeAccess;
    mState = std::move(state);
    return true;
}

bool RegKey::Create(RegHive hive, const std::wstring& path, RegView)
{
    const KeepLastError keep;
    Close();
    auto state = std::make_unique<State>();
    state->db = OpenStore(hive, true, true, state->busy);
    if (!state->db) {
        return false;
    }
    {
        WriteTransaction transaction(state->db);
        if (!transaction.Active() || !Execute(state->db, kSchema)) {
            return false;
        }
        std::int64_t id = 0;
        for (const auto& part : SplitKeyPath(path)) {
            const std::string fold = Fold(part);
            Statement find(state->db, "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
            find.Bind(1, id);
            find.Bind(2, fold);
            const int found = find.Step();
            if (found == SQLITE_ROW) {
                id = find.Int(0);
                continue;
            }
            if (found != SQLITE_DONE) {
                return false;
            }
            Statement add(state->db, "INSERT INTO keys(parent, name, fold) VALUES(?1, ?2, ?3)");
            add.Bind(1, id);
            add.Bind(2, WideToUtf8(part));
            add.Bind(3, fold);
            if (add.Step() != SQLITE_DONE) {
                return false;
            }
            id = sqlite3_last_insert_rowid(state->db);
        }
        if (!transaction.Commit()) {
            return false;
        }
        state->id = id;
    }
    state->writable = true;
    mState = std::move(state);
    return true;
}

void RegKey::Close()
{
    mState.reset();
}

bool RegKey::IsOpen() const
{
    return mState != nullptr;
}

bool RegKey::ReadText(const std::wstring& name, std::wstring& out, std::size_t maxChars) const
{
    const KeepLastError keep;
    if (!mState) {
        return false;
    }
    Statement read(mState->db, "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2");
    read.Bind(1, mState->id);
    read.Bind(2, Fold(name));
    if (read.Step() != SQLITE_ROW || read.Int(0) != kTypeText || read.Type(1) != SQLITE_TEXT) {
        return false;
    }
    std::wstring text = Utf8ToWide(read.Text(1));
    const std::size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos) {
        text.resize(zero);
    }
    if (text.size() > maxChars) {
        return false;
    }
    out = std::move(text);
    return true;
}

bool RegKey::ReadNumber(const std::wstring& name, std::uint32_t& out) const
{
    const KeepLastError keep;
    if (!mState) {
        return false;
    }
    Statement read(mState->db, "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2");
    read.Bind(1, mState->id);
    read.Bind(2, Fold(name));
    if (read.Step() != SQLITE_ROW || read.Int(0) != kTypeNumber || read.Type(1) != SQLITE_INTEGER) {
        return false;
    }
    const std::int64_t value = read.Int(1);
    if (value < 0 || value > 0xFFFFFFFFLL) {
        return false;
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

bool RegKey::WriteText(const std::wstring& name, const std::wstring& value)
{
    const KeepLastError keep;
    if (!mState || !mState->writable) {
        return false;
    }
    WriteTransaction transaction(mState->db);
    const std::string text = WideToUtf8(value);
    return transaction.Active() && PutValue(mState->db, mState->id, name, kTypeText, &text, 0) && transaction.Commit();
}

bool RegKey::WriteNumber(const std::wstring& name, std::uint32_t value)
{
    const KeepLastError keep;
    if (!mState || !mState->writable) {
        return false;
    }
    WriteTransaction transaction(mState->db);
    return transaction.Active() && PutValue(mState->db, mState->id, name, kTypeNumber, nullptr, value) && transaction.Commit();
}

bool RegKey::DeleteValue(const std::wstring& name)
{
    const KeepLastError keep;
    if (!mState || !mState->writable) {
        return false;
    }
    WriteTransaction transaction(mState->db);
    if (!transaction.Active()) {
        return false;
    }
    Statement remove(mState->db, "DELETE FROM vals WHERE key = ?1 AND fold = ?2");
    remove.Bind(1, mState->id);
    remove.Bind(2, Fold(name));
    return remove.Step() == SQLITE_DONE && sqlite3_changes(mState->db) > 0 && transaction.Commit();
}

RegEnumResult RegKey::EnumSubKey(std::uint32_t index, std::wstring& name) const
{
    const KeepLastError keep;
    if (!mState) {
        return RegEnumResult::NoMore;
    }
    EnumCursor& cursor = mState->subKeys;
    const bool next = cursor.valid && cursor.index + 1 == index;
    Statement list(mState->db, next ? "SELECT name, fold FROM keys WHERE parent = ?1 AND fold > ?2 ORDER BY fold LIMIT 1"
                                    : "SELECT name, fold FROM keys WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2");
    list.Bind(1, mState->id);
    if (next) {
        list.Bind(2, cursor.fold);
    } else {
        list.Bind(2, static_cast<std::int64_t>(index));
    }
    if (list.Step() != SQLITE_ROW) {
        cursor.valid = false;
        return RegEnumResult::NoMore;
    }
    cursor = EnumCursor{true, index, list.Text(1)};
    std::wstring found = Utf8ToWide(list.Text(0));
    if (found.size() > kRegMaxKeyNameChars) {
        return RegEnumResult::Error;
    }
    name = std::move(found);
    return RegEnumResult::Ok;
}

RegEnumResult RegKey::EnumValue(std::uint32_t index, std::wstring& name, RegValueType& type) const
{
    const KeepLastError keep;
    if (!mState) {
        return RegEnumResult::NoMore;
    }
    EnumCursor& cursor = mState->values;
    const bool next = cursor.valid && cursor.index + 1 == index;
    Statement list(mState->db, next ? "SELECT name, type, fold FROM vals WHERE key = ?1 AND fold > ?2 ORDER BY fold LIMIT 1"
                                    : "SELECT name, type, fold FROM vals WHERE key = ?1 ORDER BY fold LIMIT 1 OFFSET ?2");
    list.Bind(1, mState->id);
    if (next) {
        list.Bind(2, cursor.fold);
    } else {
        list.Bind(2, static_cast<std::int64_t>(index));
    }
    if (list.Step() != SQLITE_ROW) {
        cursor.valid = false;
        return RegEnumResult::NoMore;
    }
    cursor = EnumCursor{true, index, list.Text(2)};
    name = Utf8ToWide(list.Text(0));
    const std::int64_t kind = list.Int(1);
    type = kind == kTypeText ? RegValueType::Text : kind == kTypeNumber ? RegValueType::Number : RegValueType::Other;
    return RegEnumResult::Ok;
}

bool DeleteRegKeyTree(RegHive hive, const std::wstring& path, RegView)
{
    const KeepLastError keep;
    const auto parts = SplitKeyPath(path);
    if (parts.empty()) {
        return false;
    }
    RegKey::State store;
    store.db = OpenStore(hive, true, false, store.busy);
    if (!store.db) {
        return false;
    }
    WriteTransaction transaction(store.db);
    if (!transaction.Active()) {
        return false;
    }
    const std::int64_t id = FindKey(store.db, parts);
    if (id <= 0) {
        return false;
    }
    const char* const removals[] = {
        "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)"
        " DELETE FROM vals WHERE key IN tree",
        "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)"
        " DELETE FROM keys WHERE id IN tree",
    };
    for (const char* sql : removals) {
        Statement remove(store.db, sql);
        remove.Bind(1, id);
        if (remove.Step() != SQLITE_DONE) {
            return false;
        }
    }
    return transaction.Commit();
}

} // namespace qrnv
