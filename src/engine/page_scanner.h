#pragma once

#include <memory>
#include <string>

#include "engine/url_classifier.h"
#include "platform/browser.h"
#include "platform/desktop.h"
#include "settings/settings.h"

namespace vantrel {

// The scan of a finished page: standard-size banners become placeholder pictures of the same
// size with a tooltip, and the link leading to each banner goes to the home page instead.
class PageScanner {
  public:
    static constexpr const char* kTooltip = "This image has been removed by Vantrel!";

    PageScanner(const Settings& settings, Desktop& desktop, const UrlClassifier& classifier,
                std::string programFolder, std::string homePageUrl);

    // Any failure ends the scan of that page silently, keeping the replacements made so far.
    void CheckDocument(const std::shared_ptr<WebBrowser>& browser);

    const std::string& HomePageUrl() const { return homePageUrl_; }

  private:
    void scan(PageDocument& document);

    const Settings& settings_;
    Desktop& desktop_;
    const UrlClassifier& classifier_;
    std::string programFolder_;
    std::string homePageUrl_;
};

}  // namespace vantrel
