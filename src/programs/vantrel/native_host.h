#pragma once

#include <string>

namespace vantrel {

// The program started by a browser as its extension's native-messaging host. For the "Kill
// popup" button: reads the one message and answers it at once, then hands over to the running
// copy as a second start does, or starts Vantrel detached from the browser when none runs. For
// watching ("watch" first): relays the extension's messages to the running copy and back until
// either ends; with no copy running it ends at once. Never shows a window; other input is
// answered with nothing and hands nothing over. The process's exit code.
int runNativeHost(int argc, char** argv, const std::string& executable);

}  // namespace vantrel
