#pragma once

#include <string>
#include <string_view>

struct ca_context;

namespace vantrel::qt {

// Plays wave files through the desktop's event-sound library, asynchronously. Failures (no
// sound device, a missing or unreadable file) are silent: a kill sound never stops the program.
class CanberraSound {
  public:
    // `builtIn` is the built-in sound's bytes; it is written to `builtInPath` when first played.
    CanberraSound(std::string_view builtIn, std::string builtInPath);
    ~CanberraSound();
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    // The libcanberra result (0 is success), for tests and diagnostics.
    int playFile(const std::string& path);
    int playBuiltIn();

  private:
    std::string_view builtIn_;
    std::string builtInPath_;
    bool builtInWritten_ = false;
    ca_context* context_ = nullptr;
};

}  // namespace vantrel::qt
