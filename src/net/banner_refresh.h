#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/timer.h"
#include "net/net_environment.h"
#include "net/transfers.h"

namespace vantrel {

// Once a day, tried once per program start, the banner picture of the vendor server replaces
// "removed_banner.gif" in the program's folder. The download goes to a file of its own beside it
// and takes the banner's place only when it is whole and a picture, so a broken transfer never
// leaves a broken banner.
class BannerRefresh {
  public:
    static constexpr EventLoop::Millis kInterval = 100000;
    static constexpr const char* kPath = "/vtr/banner/banner.gif";
    static constexpr const char* kBannerFile = "removed_banner.gif";
    static constexpr const char* kDownloadFile = "removed_banner.gif.part";
    // A larger download is refused: no banner is that big.
    static constexpr std::int64_t kMaxSize = 1024 * 1024;

    explicit BannerRefresh(const NetEnvironment& environment);

    // Starts the download unless it succeeded today; fires once per start in any case.
    void TimerBannerTimer();
    // True while the download runs.
    bool running() const { return transfers_.count() != 0; }

    // Enabled from the start.
    Timer TimerBanner;

  private:
    void OnDoneFileEvent(THTTPGet& sender);
    void OnErrorEvent(THTTPGet& sender);
    // The download is removed; what is in place stays.
    void discard(THTTPGet& sender);

    NetEnvironment env_;
    Transfers transfers_;
};

// True when the bytes begin like a GIF, PNG or JPEG picture; the first kPictureHeaderSize bytes
// tell.
inline constexpr size_t kPictureHeaderSize = 8;
bool looksLikePicture(std::string_view data);

}  // namespace vantrel
