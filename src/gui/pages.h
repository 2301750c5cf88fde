#pragma once

#include <QWidget>
#include <functional>

#include "shell/vantrel_form.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace vantrel::gui {

class ListViewTable;

// Each page shows its part of the main window's model and hands the user's input to `forward`,
// which runs the model's handler (an error it raises reaches the user) and then brings the whole
// window in line with the model.
using Forward = std::function<void(const std::function<void()>& handler)>;

// A page: a panel with the page background picture behind its controls.
class Page : public QWidget {
  public:
    Page(QRect geometry, QWidget* parent);
};

// Options: the General and Preferences groups of check boxes bound to OptionControls.
class OptionsPage : public Page {
  public:
    OptionsPage(OptionControls& controls, Forward forward, QWidget* parent);

    void follow();
    // CheckBox1 .. CheckBox11.
    QCheckBox* checkBox(int number) const;
    // The change-sound and test-sound buttons sit in this group.
    QWidget* generalGroup() const { return general_; }

  private:
    OptionControls& controls_;
    QWidget* general_;
    std::vector<std::pair<int, QCheckBox*>> boxes_;
};

// A one-letter box for a hot key: a key pressed empties it, a key released shows its letter.
class KeyBox;

// Allowed List or Blacklist: the edit box with its Add button, the list, the hot-key letter and,
// on the Blacklist page, the sensitivity slider.
class DomainListPage : public Page {
  public:
    DomainListPage(VantrelForm& form, bool blacklist, Forward forward, QWidget* parent);

    void follow();
    QLineEdit* editBox() const { return edit_; }
    QLineEdit* keyBox() const;
    QSlider* slider() const { return slider_; }  // null on the Allowed List page
    ListViewTable* table() const { return table_; }

  private:
    std::string& editText() const;
    std::string& keyText() const;

    VantrelForm& form_;
    const bool blacklist_;
    QLineEdit* edit_;
    KeyBox* key_;
    ListViewTable* table_;
    QSlider* slider_ = nullptr;
};

// The kill log; its Clear button is an image item placed by the window.
class LogPage : public Page {
  public:
    LogPage(KillLog& log, Forward forward, QWidget* parent);

    void follow();
    ListViewTable* table() const { return table_; }

  private:
    ListViewTable* table_;
};

// About: the banner (a click opens the web site), the kill counter, the version line and the
// logo text, as the skin model holds them.
class AboutPage : public Page {
  public:
    AboutPage(const SkinnedWindow& model, std::function<void()> bannerClick, QWidget* parent);

    void follow();
    QLabel* counter() const { return counter_; }
    QLabel* versionLine() const { return version_; }
    QLabel* logoText() const { return logoText_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    const SkinnedWindow& model_;
    std::function<void()> bannerClick_;
    QLabel* counter_;
    QLabel* version_;
    QLabel* logoText_;
};

}  // namespace vantrel::gui
