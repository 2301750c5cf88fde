#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vantrel {

// The settings store: keys named by text paths (such as "HKEY_LOCAL_MACHINE\SOFTWARE\Vantrel"),
// each holding named text values. Failures throw Error with a message naming the store.
class RegistryStore {
  public:
    using Values = std::vector<std::pair<std::string, std::string>>;

    virtual ~RegistryStore() = default;

    // Creates the key when it does not exist yet.
    virtual void openKey(const std::string& key) = 0;
    // A missing value (or key) reads as empty text.
    virtual std::string readValue(const std::string& key, const std::string& name) = 0;
    virtual bool hasValue(const std::string& key, const std::string& name) = 0;
    // Writes all values as one transaction: either all of them land or none does.
    virtual void writeValues(const std::string& key, const Values& values) = 0;
    virtual void deleteValue(const std::string& key, const std::string& name) = 0;
    // All values of the key, ordered by name.
    virtual Values listValues(const std::string& key) = 0;

    void writeValue(const std::string& key, const std::string& name, const std::string& value) {
        writeValues(key, {{name, value}});
    }
};

}  // namespace vantrel
