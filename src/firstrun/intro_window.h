#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/timer.h"
#include "platform/file_system.h"
#include "platform/temporary_files.h"

namespace vantrel {

// What the intro window needs of the view that plays the movie. Frames count from 0.
class MoviePlayer {
  public:
    virtual ~MoviePlayer() = default;
    // False when the file holds no movie the player can show.
    virtual bool setMovie(const std::string& path) = 0;
    virtual void Play() = 0;
    virtual void StopPlay() = 0;
    virtual int CurrentFrame() = 0;
    virtual int TotalFrames() = 0;
};

// The intro window of the first start as a model: the movie is written to a fresh temporary
// file, played, and the window closes itself at the movie's last frame; the user may close it
// before. Whichever way it closes, the file is removed.
class IntroWindow {
  public:
    static constexpr const char* kCaption = "Introduction of Vantrel";
    static constexpr int kWidth = 630;
    static constexpr int kHeight = 435;
    static constexpr int kMovieLeft = 1;
    static constexpr int kMovieTop = 1;
    static constexpr int kMovieWidth = 620;
    static constexpr int kMovieHeight = 400;
    static constexpr EventLoop::Millis kFlashInterval = 100;

    IntroWindow(EventLoop& loop, FileSystem& files, TemporaryFiles& temporary,
                std::string_view movie);
    ~IntroWindow();
    IntroWindow(const IntroWindow&) = delete;
    IntroWindow& operator=(const IntroWindow&) = delete;

    // Writes and starts the movie. False when there is nothing to play (the file cannot be
    // written or the player cannot read it): the window is then not shown.
    bool FormReCreate(MoviePlayer& player);
    void FlashTimerTimer();
    // Stops playing and removes the temporary file; the view calls it whenever it closes.
    void FormClose();

    const std::string& moviePath() const { return path_; }
    // Asks the view to close the window with OK.
    std::function<void()> closeWindow;
    Timer FlashTimer;

  private:
    FileSystem& files_;
    TemporaryFiles& temporary_;
    std::string_view movie_;
    MoviePlayer* player_ = nullptr;
    std::string path_;
};

}  // namespace vantrel
