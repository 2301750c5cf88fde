#pragma once

#include <string>

namespace vantrel {

// The program started by a browser as its extension's native-messaging host (the "Kill popup"
// button): reads the one message and answers it at once, then hands over to the running copy
// as a second start does, or starts Vantrel detached from the browser when none runs. Never
// shows a window; input that is not the button's message is answered with nothing and hands
// nothing over. The process's exit code.
int runNativeHost(int argc, char** argv, const std::string& executable);

}  // namespace vantrel
