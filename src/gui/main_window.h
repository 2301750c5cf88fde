#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "shell/rgb_image.h"
#include "shell/vantrel_form.h"

class QLabel;

namespace vantrel::gui {

class AboutPage;
class DomainListPage;
class ImageItemLabel;
class LogPage;
class OptionsPage;

// The skinned main window: the skin cut to its shape, the image buttons and tabs, and the five
// pages. It shows the model (`VantrelForm`: its skin, window life, options and lists) and
// forwards every input to the model's handlers; it keeps no state of its own beyond what Qt
// needs to draw.
class MainWindow : public QWidget {
  public:
    // How often the window looks for changes the engine made by itself (kills, hot keys).
    static constexpr int kFollowIntervalMs = 100;

    // Binds itself as the view of the form's skin and window life.
    explicit MainWindow(VantrelForm& form);
    ~MainWindow() override;

    // Every control brought in line with the model.
    void follow();
    // Runs a handler for the user's input: an error it raises is shown, and the window then
    // follows the model.
    void forward(const std::function<void()>& handler);

    QLabel* item(int index) const;
    QWidget* page(int index) const { return pages_[static_cast<size_t>(index)]; }
    OptionsPage& optionsPage() const { return *options_; }
    DomainListPage& allowedPage() const { return *allowed_; }
    DomainListPage& blacklistPage() const { return *blacklist_; }
    LogPage& logPage() const { return *log_; }
    AboutPage& aboutPage() const { return *about_; }

    // An end the user did not start from the window: the session ends, or the system asks the
    // program to quit. The program ends in order, without the close question; `onEnd` runs
    // first (by default nothing more happens).
    void setSessionEndHandler(std::function<void()> onEnd) { sessionEnd_ = std::move(onEnd); }
    void endSession();

    // Pointer events of the image items.
    void itemPressed(int index);
    void itemReleased(int index, bool inside);
    void itemMoved(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void itemClicked(int index);
    QWidget* parentOf(int item) const;
    void showAbout();
    // Shown with its taskbar button, or gone to the tray. Without a tray host the window only
    // minimises to the taskbar, so that it stays reachable.
    void showWindow(bool shown);
    // Closes the window for good and ends the event loop.
    void closeMainWindow();

    VantrelForm& form_;
    std::function<void()> sessionEnd_;
    RgbImage skinPixels_;
    OptionsPage* options_;
    DomainListPage* allowed_;
    DomainListPage* blacklist_;
    LogPage* log_;
    AboutPage* about_;
    std::array<QWidget*, kPageCount> pages_{};
    std::array<ImageItemLabel*, kImageItemCount> items_{};
    bool closing_ = false;
    bool hiding_ = false;  // a minimise the model asked for, not the window manager
};

}  // namespace vantrel::gui
