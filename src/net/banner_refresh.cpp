#include "net/banner_refresh.h"

#include "common/error.h"

namespace vantrel {

bool looksLikePicture(std::string_view data) {
    return data.starts_with("GIF87a") || data.starts_with("GIF89a") ||
           data.starts_with("\x89PNG\r\n\x1a\n") || data.starts_with("\xff\xd8\xff");
}

BannerRefresh::BannerRefresh(const NetEnvironment& environment)
    : TimerBanner(
          environment.loop, kInterval, [this] { TimerBannerTimer(); }, true),
      env_(environment),
      transfers_(environment.http) {}

void BannerRefresh::TimerBannerTimer() {
    if (env_.settings.vtr_banner != env_.today()) {
        THTTPGet& transfer = transfers_.create(env_.server + kPath);
        transfer.FileName = env_.programFolder + kDownloadFile;
        transfer.MaxFileSize = kMaxSize;
        transfer.OnDoneFile = [this](THTTPGet& sender, const std::string&, std::int64_t) {
            OnDoneFileEvent(sender);
        };
        transfer.OnError = [this](THTTPGet& sender) { OnErrorEvent(sender); };
        transfer.GetFile();
    }
    TimerBanner.setEnabled(false);
}

void BannerRefresh::OnDoneFileEvent(THTTPGet& sender) {
    const std::string download = env_.programFolder + kDownloadFile;
    const auto data = env_.files.readFileStart(download, kPictureHeaderSize);
    if (!data || !looksLikePicture(*data)) {
        discard(sender);
        return;
    }
    try {
        env_.files.renameFile(download, env_.programFolder + kBannerFile);
    } catch (const Error&) {
        discard(sender);
        return;
    }
    env_.settings.vtr_banner = env_.today();
    env_.apply(false);
    transfers_.release(sender);
}

void BannerRefresh::OnErrorEvent(THTTPGet& sender) {
    discard(sender);
}

void BannerRefresh::discard(THTTPGet& sender) {
    env_.files.removeFile(env_.programFolder + kDownloadFile);
    transfers_.release(sender);
}

}  // namespace vantrel
