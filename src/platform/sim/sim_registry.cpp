#include "platform/sim/sim_registry.h"

#include "common/error.h"

namespace vantrel::sim {

void SimRegistry::checkRead() const {
    if (failReads) throw Error("Cannot read registry file \"sim\": injected failure");
}

void SimRegistry::checkWrite() const {
    if (failWrites) throw Error("Cannot write registry file \"sim\": injected failure");
}

void SimRegistry::openKey(const std::string& key) {
    if (hasKey(key)) return;
    checkWrite();
    keys_[key];
}

std::string SimRegistry::readValue(const std::string& key, const std::string& name) {
    checkRead();
    auto k = keys_.find(key);
    if (k == keys_.end()) return {};
    auto v = k->second.find(name);
    return v == k->second.end() ? std::string() : v->second;
}

bool SimRegistry::hasValue(const std::string& key, const std::string& name) {
    checkRead();
    auto k = keys_.find(key);
    return k != keys_.end() && k->second.count(name) != 0;
}

void SimRegistry::writeValues(const std::string& key, const Values& values) {
    checkWrite();
    Key& target = keys_[key];
    for (const auto& [name, value] : values) {
        // An existing name keeps its stored spelling, as in the database.
        auto it = target.find(name);
        if (it == target.end()) {
            target.emplace(name, value);
        } else {
            it->second = value;
        }
    }
    transactions.emplace_back(key, values);
}

void SimRegistry::deleteValue(const std::string& key, const std::string& name) {
    checkWrite();
    auto k = keys_.find(key);
    if (k != keys_.end()) k->second.erase(name);
}

RegistryStore::Values SimRegistry::listValues(const std::string& key) {
    checkRead();
    auto k = keys_.find(key);
    if (k == keys_.end()) return {};
    return Values(k->second.begin(), k->second.end());
}

}  // namespace vantrel::sim
