#include "Client/system/InstallerDatabase.h"

// The stand-in installer database: one SQLite table of products beside the machine's
// registry store. Readers open it read-only and wait a little for a writer; a missing file
// is a machine on which no product was registered, anything unreadable is a failure. The
// database is never repaired or replaced.

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

#include "Client/system/Registry.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

// A writer holds the database only for one short statement; a reader that waits longer
// than this finds it locked for good and fails.
constexpr int kBusyTimeoutMs = 2000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS products("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " code TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " install_location TEXT,"
    " product_name TEXT,"
    " version_string TEXT,"
    " install_date TEXT,"
    " language TEXT)";

class Database {
public:
    ~Database() { sqlite3_close_v2(mDb); }
    sqlite3* Get() const { return mDb; }
    sqlite3** Out() { return &mDb; }
    std::string Error() const { return mDb ? sqlite3_errmsg(mDb) : "out of memory"; }

private:
    sqlite3* mDb = nullptr;
};

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

    void Bind(int index, std::int64_t value)
    {
        if (mStmt) {
            sqlite3_bind_int64(mStmt, index, value);
        }
    }
    void Bind(int index, const std::optional<std::wstring>& text)
    {
        if (!mStmt) {
            return;
        }
        if (!text) {
            sqlite3_bind_null(mStmt, index);
            return;
        }
        const std::string bytes = WideToUtf8(*text);
        sqlite3_bind_text(mStmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return mStmt ? sqlite3_step(mStmt) : SQLITE_ERROR; }
    std::optional<std::wstring> Text(int column) const
    {
        if (sqlite3_column_type(mStmt, column) == SQLITE_NULL) {
            return std::nullopt;
        }
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(mStmt, column));
        const int size = sqlite3_column_bytes(mStmt, column);
        return Utf8ToWide(data ? std::string_view(data, static_cast<std::size_t>(size)) : std::string_view());
    }

private:
    sqlite3_stmt* mStmt = nullptr;
};

bool FileIsMissing(const std::string& file)
{
    struct stat st;
    return stat(file.c_str(), &st) != 0 && errno == ENOENT;
}

// Opens the database for reading; Missing when there is none.
InstallerStoreResult OpenForReading(Database& db, std::string& error)
{
    const std::string file = InstallerDatabaseFile();
    if (file.empty() || FileIsMissing(file)) {
        return InstallerStoreResult::Missing;
    }
    if (sqlite3_open_v2(file.c_str(), db.Out(), SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = db.Error();
        return InstallerStoreResult::Failed;
    }
    sqlite3_busy_timeout(db.Get(), kBusyTimeoutMs);
    return InstallerStoreResult::Ok;
}

// Creates the folder of the file (one level) when it is missing: readable by every user
// when it is the machine's own folder, as the registry store's is.
void MakeFolderOf(const std::string& file)
{
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return;
    }
    const char* root = std::getenv(kRegistryRootVariable);
    mkdir(file.substr(0, slash).c_str(), root && *root ? 0700 : 0755);
}

bool OpenForWriting(Database& db, std::string& error)
{
    const std::string file = InstallerDatabaseFile();
    if (file.empty()) {
        error = "no folder for the installer database";
        return false;
    }
    MakeFolderOf(file);
    if (sqlite3_open_v2(file.c_str(), db.Out(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK ||
        sqlite3_db_readonly(db.Get(), "main") != 0) {
        error = db.Get() ? db.Error() : "cannot open " + file;
        return false;
    }
    sqlite3_busy_timeout(db.Get(), kBusyTimeoutMs);
    if (sqlite3_exec(db.Get(), kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = db.Error();
        return false;
    }
    return true;
}

// The column of a property; null for a property the database does not hold.
const char* PropertyQuery(const std::wstring& property)
{
    if (property == kInstallPropertyInstallLocation) {
        return "SELECT install_location FROM products WHERE code = ?1";
    }
    if (property == kInstallPropertyProductName) {
        return "SELECT product_name FROM products WHERE code = ?1";
    }
    if (property == kInstallPropertyVersionString) {
        return "SELECT version_string FROM products WHERE code = ?1";
    }
    if (property == kInstallPropertyInstallDate) {
        return "SELECT install_date FROM products WHERE code = ?1";
    }
    if (property == kInstallPropertyLanguage) {
        return "SELECT language FROM products WHERE code = ?1";
    }
    return nullptr;
}

} // namespace

std::string InstallerDatabaseFile()
{
    const std::string store = RegistryStoreFile(RegHive::LocalMachine);
    const std::size_t slash = store.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return store.substr(0, slash + 1) + "Installer.db";
}

std::uint32_t EnumInstalledProducts(std::uint32_t index, std::wstring& productCode)
{
    Database db;
    std::string error;
    const InstallerStoreResult opened = OpenForReading(db, error);
    if (opened != InstallerStoreResult::Ok) {
        return opened == InstallerStoreResult::Missing ? kInstallerNoMoreItems : kInstallerBadConfiguration;
    }
    Statement list(db.Get(), "SELECT code FROM products ORDER BY seq LIMIT 1 OFFSET ?1");
    list.Bind(1, static_cast<std::int64_t>(index));
    const int step = list.Step();
    if (step == SQLITE_DONE) {
        return kInstallerNoMoreItems;
    }
    if (step != SQLITE_ROW) {
        return kInstallerBadConfiguration;
    }
    productCode = list.Text(0).value_or(std::wstring());
    return kInstallerSuccess;
}

std::uint32_t GetInstalledProductInfo(const std::wstring& productCode, const std::wstring& property, std::wstring& value)
{
    const char* query = PropertyQuery(property);
    if (!query) {
        return kInstallerUnknownProperty;
    }
    Database db;
    std::string error;
    const InstallerStoreResult opened = OpenForReading(db, error);
    if (opened != InstallerStoreResult::Ok) {
        return opened == InstallerStoreResult::Missing ? kInstallerUnknownProduct : kInstallerBadConfiguration;
    }
    Statement read(db.Get(), query);
    read.Bind(1, std::optional<std::wstring>(productCode));
    const int step = read.Step();
    if (step == SQLITE_DONE) {
        return kInstallerUnknownProduct;
    }
    if (step != SQLITE_ROW) {
        return kInstallerBadConfiguration;
    }
    const std::optional<std::wstring> text = read.Text(0);
    if (!text) {
        return kInstallerUnknownProperty;
    }
    if (text->size() >= kInstallerValueChars) {
        return kInstallerMoreData;
    }
    value = *text;
    return kInstallerSuccess;
}

InstallerStoreResult ReadInstallerProducts(std::vector<InstallerProduct>& out, std::string& error)
{
    out.clear();
    Database db;
    const InstallerStoreResult opened = OpenForReading(db, error);
    if (opened != InstallerStoreResult::Ok) {
        return opened;
    }
    Statement list(db.Get(),
                   "SELECT code, install_location, product_name, version_string, install_date, language"
                   " FROM products ORDER BY seq");
    int step;
    while ((step = list.Step()) == SQLITE_ROW) {
        InstallerProduct p;
        p.mProductCode = list.Text(0).value_or(std::wstring());
        p.mInstallLocation = list.Text(1);
        p.mProductName = list.Text(2);
        p.mVersionString = list.Text(3);
        p.mInstallDate = list.Text(4);
        p.mLanguage = list.Text(5);
        out.push_back(std::move(p));
    }
    if (step != SQLITE_DONE) {
        error = db.Error();
        out.clear();
        return InstallerStoreResult::Failed;
    }
    return InstallerStoreResult::Ok;
}

bool RegisterInstallerProduct(const InstallerProduct& product, std::string& error)
{
    if (product.mProductCode.empty()) {
        error = "a product code is needed";
        return false;
    }
    Database db;
    if (!OpenForWriting(db, error)) {
        return false;
    }
    Statement put(db.Get(),
                  "INSERT INTO products(code, install_location, product_name, version_string, install_date, language)"
                  " VALUES(?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT(code) DO UPDATE SET"
                  " install_location = excluded.install_location, product_name = excluded.product_name,"
                  " version_string = excluded.version_string, install_date = excluded.install_date,"
                  " language = excluded.language");
    put.Bind(1, std::optional<std::wstring>(product.mProductCode));
    put.Bind(2, product.mInstallLocation);
    put.Bind(3, product.mProductName);
    put.Bind(4, product.mVersionString);
    put.Bind(5, product.mInstallDate);
    put.Bind(6, product.mLanguage);
    if (put.Step() != SQLITE_DONE) {
        error = db.Error();
        return false;
    }
    return true;
}

InstallerStoreResult RemoveInstallerProduct(const std::wstring& productCode, std::string& error)
{
    if (FileIsMissing(InstallerDatabaseFile())) {
        return InstallerStoreResult::Missing;
    }
    Database db;
    if (!OpenForWriting(db, error)) {
        return InstallerStoreResult::Failed;
    }
    Statement remove(db.Get(), "DELETE FROM products WHERE code = ?1");
    remove.Bind(1, std::optional<std::wstring>(productCode));
    if (remove.Step() != SQLITE_DONE) {
        error = db.Error();
        return InstallerStoreResult::Failed;
    }
    return sqlite3_changes(db.Get()) > 0 ? InstallerStoreResult::Ok : InstallerStoreResult::Missing;
}

} // namespace qrnv
