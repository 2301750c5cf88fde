#pragma once

#include <string>

#include "platform/desktop.h"

namespace vantrel {

// The extras offer of the first start: "Yes" opens the partner's page; "No", Esc and the close
// box decline. Either way the start goes on.
class ExtrasOffer {
  public:
    static constexpr const char* kCaption = "Extras";
    static constexpr const char* kText =
        "Would you like to download \na FREE spam killer for Microsoft Outlook?";
    static constexpr const char* kYes = "Yes";
    static constexpr const char* kNo = "No";
    static constexpr int kWidth = 280;
    static constexpr int kHeight = 130;

    ExtrasOffer(Desktop& desktop, std::string partnerPage)
        : desktop_(desktop), partnerPage_(std::move(partnerPage)) {}

    // Opens the partner's page; the dialog then closes with OK.
    void ButtonYesClick() { desktop_.openUrl(partnerPage_); }

  private:
    Desktop& desktop_;
    std::string partnerPage_;
};

}  // namespace vantrel
