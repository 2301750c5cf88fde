#include "common/change_listeners.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace vantrel {
namespace {

TEST(ChangeListeners, RunWhileTheirSubscriptionLastsAndNotForACopy) {
    int first = 0, second = 0;
    auto listeners = std::make_unique<ChangeListeners>();
    ChangeListeners::Subscription one = listeners->listen([&] { ++first; });
    std::optional<ChangeListeners::Subscription> two = listeners->listen([&] { ++second; });
    listeners->notify();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);

    two.reset();
    listeners->notify();
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1);

    // A copy is another object; a moved subscription keeps listening.
    const ChangeListeners copy = *listeners;
    copy.notify();
    EXPECT_EQ(first, 2);
    ChangeListeners::Subscription moved = std::move(one);
    listeners->notify();
    EXPECT_EQ(first, 3);

    // A subscription may outlive the object it listens to.
    listeners.reset();
}

TEST(ChangeListeners, AListenerMayEndSubscriptionsWhileTheyRun) {
    ChangeListeners listeners;
    int runs = 0;
    std::optional<ChangeListeners::Subscription> self, other;
    self = listeners.listen([&] {
        ++runs;
        self.reset();
        other.reset();
    });
    other = listeners.listen([&] { ++runs; });
    listeners.notify();
    listeners.notify();
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace vantrel
