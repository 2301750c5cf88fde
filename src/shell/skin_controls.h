#pragma once

#include <array>
#include <functional>

#include "common/timer.h"
#include "shell/skin_layout.h"

namespace vantrel {

enum class ItemPicture { Normal, Pressed, Hover };

// The state of the image buttons and tabs and of the five pages: which picture each item
// shows, the hover records that the 100 ms tick expires, and which page is visible. The view
// shows what the two callbacks report and forwards the pointer events here.
class SkinControls {
  public:
    static constexpr EventLoop::Millis kTickInterval = 100;
    // A hover picture survives this many ticks after the last move over its item.
    static constexpr int kHoverTicks = 7;

    struct View {
        std::function<void(int item, ItemPicture picture)> showPicture;
        std::function<void(int page, bool visible)> showPage;
    };

    // Owns `TimerIButton`, running from construction. Every item starts on its normal picture
    // and no page is visible until the first page switch.
    SkinControls(EventLoop& loop, View view);

    // Pointer events on an item (index into kImageItems).
    void IBtnMouseDown(int item);
    void IBtnMouseUp(int item);
    void IBtnMouseMove(int item);
    // Pointer over the skin, a page background or a group box.
    void main_windowMouseMove();
    void TimerIButtonTimer();

    void switchPage(int page);
    // The visible page; -1 before the first switch.
    int visiblePage() const { return visiblePage_; }

    ItemPicture picture(int item) const { return items_[item].picture; }
    bool hovered(int item) const { return items_[item].hovered; }
    Timer& timerIButton() { return timerIButton_; }

  private:
    struct ItemState {
        ItemPicture picture = ItemPicture::Normal;
        bool hovered = false;
        int ticks = 0;
    };

    bool takesPart(int item) const;
    bool pageVisible(int page) const { return pagesVisible_[page]; }
    void setPicture(int item, ItemPicture picture);
    void setPageVisible(int page, bool visible);
    void unhover(int item);

    View view_;
    std::array<ItemState, kImageItemCount> items_{};
    std::array<bool, kPageCount> pagesVisible_{};
    int visiblePage_ = -1;
    Timer timerIButton_;
};

}  // namespace vantrel
