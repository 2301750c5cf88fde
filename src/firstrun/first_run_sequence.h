#pragma once

#include <string>
#include <string_view>

#include "firstrun/extras_offer.h"
#include "firstrun/intro_window.h"
#include "net/domain_selection.h"
#include "platform/desktop.h"
#include "platform/whois_transport.h"
#include "settings/settings_store.h"

namespace vantrel {

// Configuration of the first start, read once; each value has a default when missing.
struct FirstRunConfiguration {
    std::string vtr_partner = "http://partner.example/spamkiller/";  // the extras offer's page
    WhoisServers vtr_whois;  // the domain finder's servers; an empty value switches it off
};
FirstRunConfiguration loadFirstRunConfiguration(SettingsStore& store);

// The modal screens of the first start, shown by the desktop program's views.
class FirstRunScreens {
  public:
    virtual ~FirstRunScreens() = default;
    virtual void showExtrasOffer(ExtrasOffer& offer) = 0;
    // True when the dialog closed with OK.
    virtual bool showDomainSelection(DomainSelection& dialog) = 0;
    // Starts the movie (FormReCreate) and shows the window only when there is one to play.
    virtual void showIntro(IntroWindow& intro) = 0;
};

struct FirstRunPlatform {
    EventLoop& loop;
    FileSystem& files;
    TemporaryFiles& temporary;
    WhoisTransport& whois;
    Desktop& desktop;
    SettingsStore& store;
    const Configuration& configuration;
    const FirstRunConfiguration& firstRun;
    std::string accountFullName;  // the user's full name as the account database holds it
    std::string_view introMovie;
};

// The first start's screens in order: the domain lookups start from the user's name, the
// extras offer, the domain finder dialog when a free domain was found by then, the intro; then
// the marker `is_introduced` is written. Lookups still running afterwards are abandoned.
void firstRunSequence(const FirstRunPlatform& platform, FirstRunScreens& screens);

}  // namespace vantrel
