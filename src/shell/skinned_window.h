#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/timer.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "settings/settings.h"
#include "shell/rgb_image.h"
#include "shell/skin_controls.h"
#include "shell/window_region.h"

namespace vantrel {

// The skinned main window's model: the image items and pages (`imageItems`), the About page's
// labels, and the window shape cut from the skin on the first paint. The view draws what `View`
// reports and forwards pointer events to `imageItems`, tab clicks to ITabClick, and its paint
// and resize events to FormPaint and FormResize.
class SkinnedWindow {
  public:
    static constexpr const char* kVersion = "2.02";
    static constexpr Rgb kAboutLineColor{92, 100, 103};

    struct View {
        std::function<void(int item, ItemPicture picture)> showPicture;
        std::function<void(int page, bool visible)> showPage;
        // The About page's labels or the logo text image changed.
        std::function<void()> showAbout;
    };

    // `TimerChageIcon` starts on the first paint that made the shape.
    SkinnedWindow(EventLoop& loop, Desktop& desktop, const Settings& settings,
                  Timer& TimerChageIcon);

    void setView(View view) { view_ = std::move(view); }
    // The skin picture the shape is cut from, and where the shape goes. The skin must outlive
    // this model. Without a skin no shape is made and the window stays rectangular.
    void setSkin(const RgbImage* skin, FormRegion::Apply applyRegion);

    // Start-up: the shape is to be made again, and the window opens on the About page.
    void start();
    void ITabClick(int tab);
    void switchPage(int page) { imageItems.switchPage(page); }
    void FormPaint();
    void FormResize();
    bool regionMade() const { return region_ && region_->regionMade(); }

    SkinControls imageItems;

    // About page.
    std::string LAbout0 = kVersion;  // the version line
    std::string LAbout1;             // kills so far
    Rgb LAbout0Color = kAboutLineColor;
    bool ImgLogoTextVisible = true;

  private:
    // A shape that cannot be applied is reported; the next paint or resize tries again.
    void makeShape(const std::function<void()>& step);

    Desktop& desktop_;
    const Settings& settings_;
    Timer& TimerChageIcon_;
    View view_;
    std::optional<FormRegion> region_;
};

}  // namespace vantrel
