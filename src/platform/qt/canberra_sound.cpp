#include "platform/qt/canberra_sound.h"

#include <canberra.h>

#include <fstream>

namespace vantrel::qt {

namespace {
constexpr std::uint32_t kSoundId = 1;
}

CanberraSound::CanberraSound(std::string_view builtIn, std::string builtInPath)
    : builtIn_(builtIn), builtInPath_(std::move(builtInPath)) {}

CanberraSound::~CanberraSound() {
    if (context_ != nullptr) ca_context_destroy(context_);
}

int CanberraSound::playFile(const std::string& path) {
    if (context_ == nullptr) {
        const int created = ca_context_create(&context_);
        if (created != CA_SUCCESS) {
            context_ = nullptr;
            return created;
        }
        ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Vantrel", nullptr);
    }
    // A new kill cuts the previous sound short rather than piling sounds up.
    ca_context_cancel(context_, kSoundId);
    return ca_context_play(context_, kSoundId, CA_PROP_MEDIA_FILENAME, path.c_str(),
                           CA_PROP_EVENT_DESCRIPTION, "Pop-up killed", nullptr);
}

int CanberraSound::playBuiltIn() {
    if (!builtInWritten_) {
        std::ofstream out(builtInPath_, std::ios::binary | std::ios::trunc);
        out.write(builtIn_.data(), static_cast<std::streamsize>(builtIn_.size()));
        out.close();
        if (!out) return CA_ERROR_IO;
        builtInWritten_ = true;
    }
    return playFile(builtInPath_);
}

}  // namespace vantrel::qt
