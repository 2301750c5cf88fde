#include "firstrun/first_run_sequence.h"

#include "shell/program_entry.h"

namespace vantrel {

FirstRunConfiguration loadFirstRunConfiguration(SettingsStore& store) {
    FirstRunConfiguration configuration;
    if (auto partner = store.readValue("vtr_partner"); !partner.empty()) {
        configuration.vtr_partner = std::move(partner);
    }
    std::optional<std::string> whois;
    if (store.registry().hasValue(SettingsStore::kKey, "vtr_whois")) {
        whois = store.readValue("vtr_whois");
    }
    configuration.vtr_whois = parseWhoisServers(whois);
    return configuration;
}

namespace {

void openChosenDomain(const FirstRunPlatform& platform, const std::string& chosen) {
    if (chosen == DomainFinder::kOtherResult) {
        platform.desktop.openUrl(platform.configuration.vtr_home);
    } else if (!chosen.empty()) {
        platform.desktop.openUrl(platform.configuration.vtr_server +
                                 "/vtr/new_domain.php?domain_name=" + chosen);
    }
}

}  // namespace

void firstRunSequence(const FirstRunPlatform& platform, FirstRunScreens& screens) {
    DomainFinder finder(platform.whois, platform.firstRun.vtr_whois);
    if (const auto names = namesFromFullName(platform.accountFullName)) {
        finder.StartDomainQueries(names->first, names->last);
    }

    ExtrasOffer offer(platform.desktop, platform.firstRun.vtr_partner);
    screens.showExtrasOffer(offer);

    if (finder.freeCount() > 0) {
        DomainSelection dialog(platform.loop, finder);
        dialog.FormCreate();
        if (screens.showDomainSelection(dialog)) openChosenDomain(platform, finder.selectedResult);
    }

    IntroWindow intro(platform.loop, platform.files, platform.temporary, platform.introMovie);
    screens.showIntro(intro);

    platform.store.writeValue(ProgramEntry::kIntroducedValue, "1");
}

}  // namespace vantrel
