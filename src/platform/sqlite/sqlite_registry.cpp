#include "platform/sqlite/sqlite_registry.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

#include "common/error.h"

namespace vantrel::sqlite {
namespace {

// One prepared statement, finalized on every path.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
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
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

SqliteRegistry::SqliteRegistry(const std::string& path) : path_(path) {
    const auto folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        fail("open");
    }
    sqlite3_busy_timeout(db_, 5000);
    // The first statement reads the header: a file that is not a database fails here, unchanged.
    exec("PRAGMA journal_mode=WAL");
    exec(
        "CREATE TABLE IF NOT EXISTS registry_keys (key TEXT PRIMARY KEY COLLATE NOCASE);"
        "CREATE TABLE IF NOT EXISTS registry_values ("
        " key TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE,"
        " value TEXT NOT NULL, PRIMARY KEY (key, name))");
}

SqliteRegistry::~SqliteRegistry() { sqlite3_close_v2(db_); }

void SqliteRegistry::fail(const std::string& what) {
    const std::string detail = db_ ? sqlite3_errmsg(db_) : "out of memory";
    throw Error("Cannot " + what + " registry file \"" + path_ + "\": " + detail);
}

void SqliteRegistry::exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail("use");
}

void SqliteRegistry::openKey(const std::string& key) {
    Statement insert(db_, "INSERT OR IGNORE INTO registry_keys (key) VALUES (?1)");
    if (!insert.ok()) fail("open key in");
    insert.bind(1, key);
    if (insert.step() != SQLITE_DONE) fail("create key in");
}

std::string SqliteRegistry::readValue(const std::string& key, const std::string& name) {
    Statement select(db_, "SELECT value FROM registry_values WHERE key = ?1 AND name = ?2");
    if (!select.ok()) fail("read");
    select.bind(1, key);
    select.bind(2, name);
    const int rc = select.step();
    if (rc == SQLITE_ROW) return select.column(0);
    if (rc != SQLITE_DONE) fail("read");
    return {};
}

bool SqliteRegistry::hasValue(const std::string& key, const std::string& name) {
    Statement select(db_, "SELECT 1 FROM registry_values WHERE key = ?1 AND name = ?2");
    if (!select.ok()) fail("read");
    select.bind(1, key);
    select.bind(2, name);
    const int rc = select.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail("read");
    return rc == SQLITE_ROW;
}

void SqliteRegistry::writeValues(const std::string& key, const Values& values) {
    // BEGIN IMMEDIATE takes the write lock up front, so two copies never interleave a save.
    exec("BEGIN IMMEDIATE");
    try {
        openKey(key);
        Statement upsert(db_,
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
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteRegistry::deleteValue(const std::string& key, const std::string& name) {
    Statement remove(db_, "DELETE FROM registry_values WHERE key = ?1 AND name = ?2");
    if (!remove.ok()) fail("write");
    remove.bind(1, key);
    remove.bind(2, name);
    if (remove.step() != SQLITE_DONE) fail("write");
}

RegistryStore::Values SqliteRegistry::listValues(const std::string& key) {
    Statement select(db_, "SELECT name, value FROM registry_values WHERE key = ?1 ORDER BY name");
    if (!select.ok()) fail("read");
    select.bind(1, key);
    Values values;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) values.emplace_back(select.column(0), select.column(1));
    if (rc != SQLITE_DONE) fail("read");
    return values;
}

std::string defaultRegistryPath() {
    if (const char* explicitPath = std::getenv("VANTREL_REGISTRY"); explicitPath && *explicitPath) {
        return explicitPath;
    }
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        config = std::string(home ? home : ".") + "/.config";
    }
    return config + "/vantrel/registry.db";
}

}  // namespace vantrel::sqlite
