#pragma once

#include <string>

#include "platform/registry_store.h"

struct sqlite3;

namespace vantrel::sqlite {

// The registry store in an SQLite database file. Several processes may use one file at once
// (write-ahead log, busy timeout); every writeValues is one transaction. Key paths and value
// names compare without regard to ASCII letter case, as registry names do.
class SqliteRegistry : public RegistryStore {
public:
    // Opens or creates the file (and its folder). Throws Error naming the file when it is not a
    // database or cannot be used; such a file is left untouched.
    explicit SqliteRegistry(const std::string& path);
    ~SqliteRegistry() override;
    SqliteRegistry(const SqliteRegistry&) = delete;
    SqliteRegistry& operator=(const SqliteRegistry&) = delete;

    void openKey(const std::string& key) override;
    std::string readValue(const std::string& key, const std::string& name) override;
    bool hasValue(const std::string& key, const std::string& name) override;
    void writeValues(const std::string& key, const Values& values) override;
    void deleteValue(const std::string& key, const std::string& name) override;
    Values listValues(const std::string& key) override;

    const std::string& path() const { return path_; }

private:
    [[noreturn]] void fail(const std::string& what);
    void exec(const char* sql);

    std::string path_;
    sqlite3* db_ = nullptr;
};

// $VANTREL_REGISTRY when set, else $XDG_CONFIG_HOME/vantrel/registry.db (~/.config when unset).
std::string defaultRegistryPath();

}  // namespace vantrel::sqlite
