#include "platform/sqlite/sqlite_registry.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "common/error.h"
#include "platform/posix/xdg_autostart.h"

namespace vantrel::sqlite {
namespace {

// One prepared statement, finalized on every path.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    void bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    }
    int step() { return sqlite3_step(stmt_); }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::string column(int index) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
        return text ? std::string(text, size_t(sqlite3_column_bytes(stmt_, index))) : std::string();
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

// SQLite gives names such as ":memory:" a meaning of their own; a file of that name is meant.
std::string fileNameForSqlite(const std::string& path) {
    return path.front() == ':' ? "./" + path : path;
}

constexpr const char* kValuesTable = "registry_values";
constexpr const char* kKeysTable = "registry_keys";
constexpr std::chrono::milliseconds kBusyTimeout{5000};

// A failure because another connection held the file: worth trying again while opening.
struct BusyError : Error {
    using Error::Error;
};

}  // namespace

void SqliteRegistry::Close::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

SqliteRegistry::SqliteRegistry(const std::string& path) : path_(path) {
    // An empty name would open a private temporary database that is lost at close.
    if (path.empty()) throw Error("Cannot open registry file \"\": no file name given");
    const auto folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(fileNameForSqlite(path).c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK) fail("open");
    sqlite3_busy_timeout(db, int(kBusyTimeout.count()));
    // SQLite quietly opens a file it may not write read-only; saving would fail much later. Told
    // before the first read, which would leave log files beside it.
    if (sqlite3_db_readonly(db, "main") == 1) {
        throw Error("Cannot write registry file \"" + path_ + "\": the file is read-only");
    }
    // While another copy opens the same file (turning a new file to WAL, or recovering the log),
    // these steps can answer "locked" at once without waiting; they are tried again meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + kBusyTimeout;
    for (;;) {
        try {
            prepareFile();
            return;
        } catch (const BusyError&) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            if (std::chrono::steady_clock::now() >= deadline) throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

void SqliteRegistry::prepareFile() {
    checkIsRegistry();
    exec("PRAGMA journal_mode=WAL", "use");
    exec(
        "BEGIN IMMEDIATE;"
        "CREATE TABLE IF NOT EXISTS registry_keys (key TEXT PRIMARY KEY COLLATE NOCASE);"
        "CREATE TABLE IF NOT EXISTS registry_values ("
        " key TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE,"
        " value TEXT NOT NULL, PRIMARY KEY (key, name));"
        "COMMIT",
        "initialise");
}

// Reading the schema reads the file header, so a file that is not a database fails here, before
// anything is written. The database of some other program is refused rather than extended, and
// so is a registry table of another shape, which no statement of this program could use.
void SqliteRegistry::checkIsRegistry() {
    Statement tables(db_.get(), "SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!tables.ok()) fail("use");
    bool anyTable = false;
    bool registryTable = false;
    int rc;
    while ((rc = tables.step()) == SQLITE_ROW) {
        anyTable = true;
        const std::string table = tables.column(0);
        registryTable = registryTable || table == kValuesTable;
        if (table == kValuesTable || table == kKeysTable) checkColumns(table);
    }
    if (rc != SQLITE_DONE) fail("use");
    if (anyTable && !registryTable) {
        throw Error("Cannot use registry file \"" + path_ +
                    "\": it is a database without registry values");
    }
}

void SqliteRegistry::checkColumns(const std::string& table) {
    Statement columns(db_.get(), "SELECT name FROM pragma_table_info(?1) ORDER BY cid");
    if (!columns.ok()) fail("use");
    columns.bind(1, table);
    std::string found;
    int rc;
    while ((rc = columns.step()) == SQLITE_ROW)
        found += (found.empty() ? "" : ",") + columns.column(0);
    if (rc != SQLITE_DONE) fail("use");
    const std::string expected = table == kValuesTable ? "key,name,value" : "key";
    if (found != expected) {
        throw Error("Cannot use registry file \"" + path_ + "\": its table " + table +
                    " has the columns (" + found + "), not (" + expected + ")");
    }
}

void SqliteRegistry::fail(const std::string& what) const {
    const std::string detail = db_ ? sqlite3_errmsg(db_.get()) : "out of memory";
    const std::string message = "Cannot " + what + " registry file \"" + path_ + "\": " + detail;
    if (db_ && (sqlite3_errcode(db_.get()) & 0xff) == SQLITE_BUSY) throw BusyError(message);
    throw Error(message);
}

void SqliteRegistry::exec(const char* sql, const char* what) {
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(what);
}

void SqliteRegistry::openKey(const std::string& key) {
    Statement insert(db_.get(), "INSERT OR IGNORE INTO registry_keys (key) VALUES (?1)");
    if (!insert.ok()) fail("open key in");
    insert.bind(1, key);
    if (insert.step() != SQLITE_DONE) fail("create key in");
}

std::string SqliteRegistry::readValue(const std::string& key, const std::string& name) {
    Statement select(db_.get(), "SELECT value FROM registry_values WHERE key = ?1 AND name = ?2");
    if (!select.ok()) fail("read");
    select.bind(1, key);
    select.bind(2, name);
    const int rc = select.step();
    if (rc == SQLITE_ROW) return select.column(0);
    if (rc != SQLITE_DONE) fail("read");
    return {};
}

bool SqliteRegistry::hasValue(const std::string& key, const std::string& name) {
    Statement select(db_.get(), "SELECT 1 FROM registry_values WHERE key = ?1 AND name = ?2");
    if (!select.ok()) fail("read");
    select.bind(1, key);
    select.bind(2, name);
    const int rc = select.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail("read");
    return rc == SQLITE_ROW;
}

void SqliteRegistry::writeValues(const std::string& key, const Values& values) {
    // BEGIN IMMEDIATE takes the write lock up front, so two copies never interleave a save.
    exec("BEGIN IMMEDIATE", "write");
    try {
        openKey(key);
        Statement upsert(db_.get(),
                         "INSERT INTO registry_values (key, name, value) VALUES (?1, ?2, ?3) "
                         "ON CONFLICT (key, name) DO UPDATE SET value = excluded.value");
        if (!upsert.ok()) fail("write");
        for (const auto& [name, value] : values) {
            upsert.bind(1, key);
            upsert.bind(2, name);
            upsert.bind(3, value);
            if (upsert.step() != SQLITE_DONE) fail("write");
            upsert.reset();
        }
        exec("COMMIT", "write");
    } catch (...) {
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteRegistry::deleteValue(const std::string& key, const std::string& name) {
    Statement remove(db_.get(), "DELETE FROM registry_values WHERE key = ?1 AND name = ?2");
    if (!remove.ok()) fail("write");
    remove.bind(1, key);
    remove.bind(2, name);
    if (remove.step() != SQLITE_DONE) fail("write");
}

RegistryStore::Values SqliteRegistry::listValues(const std::string& key) {
    // One statement, so the list is one consistent state even while another copy saves.
    Statement select(db_.get(),
                     "SELECT name, value FROM registry_values WHERE key = ?1 ORDER BY name");
    if (!select.ok()) fail("read");
    select.bind(1, key);
    Values values;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW)
        values.emplace_back(select.column(0), select.column(1));
    if (rc != SQLITE_DONE) fail("read");
    return values;
}

std::string defaultRegistryPath() {
    if (const char* explicitPath = std::getenv("VANTREL_REGISTRY"); explicitPath && *explicitPath) {
        return explicitPath;
    }
    return posix::XdgAutostart::userConfigHome() + "/vantrel/registry.db";
}

}  // namespace vantrel::sqlite
