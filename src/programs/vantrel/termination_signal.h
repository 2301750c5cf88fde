#pragma once

#include <functional>

namespace vantrel {

// SIGTERM and SIGINT (the session ending, `kill`, Ctrl+C) run `onSignal` on the main thread, so
// the program ends through its orderly shutdown and saves what it holds. Install once.
void onTerminationSignal(std::function<void()> onSignal);

}  // namespace vantrel
