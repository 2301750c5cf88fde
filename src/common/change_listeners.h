#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace vantrel {

// The callbacks an object runs after each of its changes. A listener is kept until the
// subscription that `listen` gave it ends; a subscription may outlive the object. A copy of the
// object is another object: it starts with no listeners, and an assignment keeps the target's.
class ChangeListeners {
    using Table = std::map<std::uint64_t, std::function<void()>>;

  public:
    class Subscription {
      public:
        Subscription() = default;
        Subscription(std::weak_ptr<Table> table, std::uint64_t id)
            : table_(std::move(table)), id_(id) {}
        ~Subscription() { end(); }
        Subscription(Subscription&& other) noexcept
            : table_(std::move(other.table_)), id_(other.id_) {}
        Subscription& operator=(Subscription&& other) noexcept {
            if (this != &other) {
                end();
                table_ = std::move(other.table_);
                id_ = other.id_;
            }
            return *this;
        }

      private:
        void end() {
            if (const auto table = table_.lock()) table->erase(id_);
            table_.reset();
        }

        std::weak_ptr<Table> table_;
        std::uint64_t id_ = 0;
    };

    ChangeListeners() = default;
    ChangeListeners(const ChangeListeners&) : ChangeListeners() {}
    ChangeListeners& operator=(const ChangeListeners&) { return *this; }

    [[nodiscard]] Subscription listen(std::function<void()> listener) const {
        const std::uint64_t id = ++lastId_;
        table_->emplace(id, std::move(listener));
        return Subscription(table_, id);
    }

    // Runs every listener; one may end its own or another's subscription while it runs.
    void notify() const {
        for (std::uint64_t id = 0;;) {
            const auto next = table_->upper_bound(id);
            if (next == table_->end()) return;
            id = next->first;
            const auto listener = next->second;
            listener();
        }
    }

  private:
    std::shared_ptr<Table> table_ = std::make_shared<Table>();
    mutable std::uint64_t lastId_ = 0;
};

}  // namespace vantrel
