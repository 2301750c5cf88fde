#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/text.h"
#include "platform/registry_store.h"

namespace vantrel::sim {

// The registry in memory. Keys and value names compare without regard to ASCII letter case. A test
// can make reads or writes fail and sees every write transaction in order.
class SimRegistry : public RegistryStore {
  public:
    void openKey(const std::string& key) override;
    std::string readValue(const std::string& key, const std::string& name) override;
    bool hasValue(const std::string& key, const std::string& name) override;
    void writeValues(const std::string& key, const Values& values) override;
    void deleteValue(const std::string& key, const std::string& name) override;
    Values listValues(const std::string& key) override;

    bool hasKey(const std::string& key) const { return keys_.count(key) != 0; }

    bool failReads = false;   // every read throws Error
    bool failWrites = false;  // every write throws Error and changes nothing
    // Each successful writeValues with its key, in order: one entry per transaction.
    std::vector<std::pair<std::string, Values>> transactions;

  private:
    struct NoCaseLess {
        bool operator()(const std::string& a, const std::string& b) const {
            return compareNoCase(a, b) < 0;
        }
    };
    using Key = std::map<std::string, std::string, NoCaseLess>;

    void checkRead() const;
    void checkWrite() const;

    std::map<std::string, Key, NoCaseLess> keys_;
};

}  // namespace vantrel::sim
