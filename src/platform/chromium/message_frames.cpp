#include "platform/chromium/message_frames.h"

namespace vantrel::chromium {

std::optional<std::string> MessageFrames::next() {
    for (;;) {
        const auto end = pending_.find('\0');
        if (end == std::string::npos) {
            if (pending_.size() > kMaxMessage) {
                pending_.clear();
                skipping_ = true;
            }
            return std::nullopt;
        }
        std::string message = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!skipping_) return message;
        skipping_ = false;
    }
}

}  // namespace vantrel::chromium
