#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// A private X11 desktop for the tests: Xvfb on a free display (black root), openbox as the
// window manager and trayer as the tray host. Every wait is bounded; the destructor stops them.
class X11Session {
  public:
    X11Session() = default;
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    // False, with the reason in `error`, when a part did not come up in time.
    bool start(std::string& error);
    const std::string& display() const { return display_; }

  private:
    pid_t spawn(const std::vector<std::string>& argv);

    std::string display_;
    std::vector<pid_t> children_;
};
