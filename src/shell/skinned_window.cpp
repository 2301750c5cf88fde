#include "shell/skinned_window.h"

#include <exception>

#include "shell/error_box.h"

namespace vantrel {

SkinnedWindow::SkinnedWindow(EventLoop& loop, Desktop& desktop, const Settings& settings,
                             Timer& TimerChageIcon)
    : imageItems(loop, {[this](int item, ItemPicture picture) {
                            if (view_.showPicture) view_.showPicture(item, picture);
                        },
                        [this](int page, bool visible) {
                            if (view_.showPage) view_.showPage(page, visible);
                        }}),
      desktop_(desktop),
      settings_(settings),
      TimerChageIcon_(TimerChageIcon) {}

void SkinnedWindow::setSkin(const RgbImage* skin, FormRegion::Apply applyRegion) {
    region_.emplace(skin, std::move(applyRegion));
}

void SkinnedWindow::start() {
    if (region_) region_->reset();
    switchPage(kPageAbout);
    // The page opens with the kill count already shown, not only after its tab was clicked.
    LAbout1 = std::to_string(settings_.vtr_count);
    if (view_.showAbout) view_.showAbout();
}

void SkinnedWindow::ITabClick(int tab) {
    const int page = kImageItems[tab].tabPage;
    if (page < 0) return;  // not a tab
    switchPage(page);
    LAbout0Color = kAboutLineColor;
    if (page == kPageAbout) {
        LAbout0 = kVersion;
        LAbout1 = std::to_string(settings_.vtr_count);
        ImgLogoTextVisible = false;
    }
    if (view_.showAbout) view_.showAbout();
}

void SkinnedWindow::FormPaint() {
    makeShape([this] {
        if (region_->FormPaint()) TimerChageIcon_.setEnabled(true);
    });
}

void SkinnedWindow::FormResize() {
    makeShape([this] { region_->FormResize(); });
}

void SkinnedWindow::makeShape(const std::function<void()>& step) {
    if (!region_) return;
    try {
        step();
    } catch (const std::exception& e) {
        showErrorBox(desktop_, e.what());
    }
}

}  // namespace vantrel
