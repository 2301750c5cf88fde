#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vantrel::chromium {

// The DevTools pipe's framing: each message ends with a NUL byte. Bytes go in as they arrive,
// whole messages come out. A message beyond the limit is dropped whole (Chromium sends up to a
// few hundred MiB if asked, which nobody here needs; the command it answers times out).
class MessageFrames {
  public:
    static constexpr size_t kMaxMessage = 64u << 20;

    void append(const char* data, size_t size) { pending_.append(data, size); }
    std::optional<std::string> next();
    static std::string framed(const std::string& message) { return message + '\0'; }

  private:
    std::string pending_;
    bool skipping_ = false;  // the rest of an over-long message is being dropped
};

}  // namespace vantrel::chromium
