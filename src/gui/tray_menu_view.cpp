#include "gui/tray_menu_view.h"

namespace vantrel::gui {

TrayMenuView::TrayMenuView(TrayMenu& model,
                           std::function<void(const std::function<void()>&)> forward)
    : model_(model), forward_(std::move(forward)) {
    menu_.setTitle(QStringLiteral("Vantrel"));
}

void TrayMenuView::rebuild() {
    menu_.clear();
    actions_.fill(nullptr);
    for (int i = 0; i < kTrayMenuItemCount; ++i) {
        const MenuItem& item = model_.items[static_cast<size_t>(i)];
        if (!item.visible) continue;
        if (item.separator()) {
            menu_.addSeparator();
            continue;
        }
        QAction* action = menu_.addAction(QString::fromStdString(item.caption));
        const bool checkable =
            TrayMenu::MIGetByHandle(i) != 0 || i == kMIPlaySound || i == kMIAutoCheckUpdates;
        action->setCheckable(checkable);
        action->setChecked(item.checked);
        action->setEnabled(item.enabled);
        QObject::connect(action, &QAction::triggered, &menu_,
                         [this, i] { forward_([this, i] { model_.click(i); }); });
        actions_[static_cast<size_t>(i)] = action;
    }
}

void TrayMenuView::open(QPoint at) {
    rebuild();
    menu_.popup(at);
    menu_.activateWindow();
}

QAction* TrayMenuView::action(int item) const {
    return actions_[static_cast<size_t>(item)];
}

}  // namespace vantrel::gui
