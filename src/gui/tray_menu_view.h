#pragma once

#include <QMenu>
#include <QPoint>
#include <functional>

#include "shell/tray_menu.h"

namespace vantrel::gui {

// The tray menu as a QMenu, built afresh from the model's items each time it opens, so its
// captions, check marks and greyed items are the model's. A chosen item goes to the model.
class TrayMenuView {
  public:
    // `forward` runs a handler and lets the main window follow the model.
    TrayMenuView(TrayMenu& model, std::function<void(const std::function<void()>&)> forward);

    // Opens at the screen point without waiting; a click elsewhere closes it.
    void open(QPoint at);
    QMenu& menu() { return menu_; }
    // The action of a model item; null for separators and before the first open.
    QAction* action(int item) const;

  private:
    void rebuild();

    TrayMenu& model_;
    std::function<void(const std::function<void()>&)> forward_;
    QMenu menu_;
    std::array<QAction*, kTrayMenuItemCount> actions_{};
};

}  // namespace vantrel::gui
