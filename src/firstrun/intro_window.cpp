#include "firstrun/intro_window.h"

#include "common/error.h"

namespace vantrel {

IntroWindow::IntroWindow(EventLoop& loop, FileSystem& files, TemporaryFiles& temporary,
                         std::string_view movie)
    : FlashTimer(loop, kFlashInterval, [this] { FlashTimerTimer(); }),
      files_(files),
      temporary_(temporary),
      movie_(movie) {}

IntroWindow::~IntroWindow() {
    FormClose();
}

bool IntroWindow::FormReCreate(MoviePlayer& player) {
    if (movie_.empty()) return false;
    try {
        path_ = temporary_.createTemporaryFile(movie_, ".gif");
    } catch (const Error&) {
        return false;
    }
    player_ = &player;
    if (!player.setMovie(path_)) {
        FormClose();
        return false;
    }
    FlashTimer.setEnabled(true);
    player.Play();
    return true;
}

void IntroWindow::FlashTimerTimer() {
    if (player_ == nullptr || player_->CurrentFrame() < player_->TotalFrames() - 1) return;
    player_->StopPlay();
    FlashTimer.setEnabled(false);
    if (auto close = closeWindow) close();
}

void IntroWindow::FormClose() {
    FlashTimer.setEnabled(false);
    if (player_ != nullptr) player_->StopPlay();
    player_ = nullptr;
    if (!path_.empty()) files_.removeFile(path_);
    path_.clear();
}

}  // namespace vantrel
