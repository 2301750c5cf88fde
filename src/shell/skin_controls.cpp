#include "shell/skin_controls.h"

namespace vantrel {

SkinControls::SkinControls(EventLoop& loop, View view)
    : view_(std::move(view)),
      timerIButton_(
          loop, kTickInterval, [this] { TimerIButtonTimer(); }, true) {}

bool SkinControls::takesPart(int item) const {
    const ImageItemSpec& placed = kImageItems[item];
    return placed.kind == ImageItemKind::Button || !pageVisible(placed.tabPage);
}

void SkinControls::setPicture(int item, ItemPicture picture) {
    items_[item].picture = picture;
    if (view_.showPicture) view_.showPicture(item, picture);
}

void SkinControls::setPageVisible(int page, bool visible) {
    pagesVisible_[page] = visible;
    if (view_.showPage) view_.showPage(page, visible);
}

void SkinControls::unhover(int item) {
    setPicture(item, ItemPicture::Normal);
    items_[item].hovered = false;
    items_[item].ticks = 0;
}

void SkinControls::IBtnMouseDown(int item) {
    if (kImageItems[item].kind == ImageItemKind::Button) setPicture(item, ItemPicture::Pressed);
}

void SkinControls::IBtnMouseUp(int item) {
    if (kImageItems[item].kind == ImageItemKind::Button) setPicture(item, ItemPicture::Hover);
}

void SkinControls::IBtnMouseMove(int item) {
    if (takesPart(item)) {
        if (!items_[item].hovered) setPicture(item, ItemPicture::Hover);
        items_[item].hovered = true;
        items_[item].ticks = 0;
    }
    for (int other = 0; other < kImageItemCount; ++other) {
        if (other != item && items_[other].hovered && takesPart(other)) unhover(other);
    }
}

void SkinControls::main_windowMouseMove() {
    for (int item = 0; item < kImageItemCount; ++item) {
        if (items_[item].hovered && takesPart(item)) unhover(item);
    }
}

void SkinControls::TimerIButtonTimer() {
    for (int item = 0; item < kImageItemCount; ++item) {
        if (!items_[item].hovered || !takesPart(item)) continue;
        if (items_[item].ticks <= kHoverTicks) {
            ++items_[item].ticks;
        } else {
            unhover(item);
        }
    }
}

void SkinControls::switchPage(int page) {
    for (int i = 0; i < kPageCount; ++i) {
        if (pageVisible(i) && i != page) {
            setPageVisible(i, false);
            setPicture(tabOfPage(i), ItemPicture::Normal);
        }
    }
    setPageVisible(page, true);
    visiblePage_ = page;
    setPicture(tabOfPage(page), ItemPicture::Pressed);
    items_[tabOfPage(page)].hovered = false;
    items_[tabOfPage(page)].ticks = 0;
}

}  // namespace vantrel
