#pragma once

#include <memory>
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
    // registry database, cannot be opened or cannot be written; such a file is left untouched.
    explicit SqliteRegistry(const std::string& path);

    void openKey(const std::string& key) override;
    std::string readValue(const std::string& key, const std::string& name) override;
    bool hasValue(const std::string& key, const std::string& name) override;
    void writeValues(const std::string& key, const Values& values) override;
    void deleteValue(const std::string& key, const std::string& name) override;
    Values listValues(const std::string& key) override;

    const std::string& path() const { return path_; }

  private:
    struct Close {
        void operator()(sqlite3* db) const;
    };

    [[noreturn]] void fail(const std::string& what) const;
    void exec(const char* sql, const char* what);
    void checkIsRegistry();
    void checkColumns(const std::string& table);
    void prepareFile();

    std::string path_;
    // Closed on every path, also when the constructor throws.
    std::unique_ptr<sqlite3, Close> db_;
};

// $VANTREL_REGISTRY when set, else $XDG_CONFIG_HOME/vantrel/registry.db (~/.config when it is
// unset or not an absolute path).
std::string defaultRegistryPath();

}  // namespace vantrel::sqlite
