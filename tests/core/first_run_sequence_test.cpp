#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firstrun/first_run_sequence.h"
#include "platform/sim/sim_temporary_files.h"
#include "platform/sim/sim_whois_transport.h"
#include "platform/sim/sim_world.h"

using namespace vantrel;

namespace {

using Strings = std::vector<std::string>;

// A movie player whose frame the test moves.
struct FakePlayer : MoviePlayer {
    bool setMovie(const std::string& path) override {
        movie = path;
        return playable;
    }
    void Play() override { playing = true; }
    void StopPlay() override { playing = false; }
    int CurrentFrame() override { return frame; }
    int TotalFrames() override { return total; }

    std::string movie;
    bool playable = true;
    bool playing = false;
    int frame = 0;
    int total = 5;
};

// Screens that record their order and answer as the test says.
struct FakeScreens : FirstRunScreens {
    void showExtrasOffer(ExtrasOffer& offer) override {
        shown.push_back("offer");
        if (answerYes) offer.ButtonYesClick();
        if (whileOfferOpen) whileOfferOpen();
    }
    bool showDomainSelection(DomainSelection& dialog) override {
        shown.push_back("domains");
        rows = dialog.rows().size();
        if (!chooseRow) return false;
        dialog.selectRow(*chooseRow);
        return dialog.BTNOkClick();
    }
    void showIntro(IntroWindow& intro) override {
        if (!intro.FormReCreate(player)) return;
        shown.push_back("intro");
        intro.FormClose();
    }

    Strings shown;
    bool answerYes = false;
    std::function<void()> whileOfferOpen;
    std::optional<size_t> chooseRow;
    size_t rows = 0;
    FakePlayer player;
};

class FirstRunTest : public ::testing::Test {
  protected:
    sim::SimWorld world;
    sim::SimWhoisTransport whois{world.loop};
    sim::SimTemporaryFiles temporary{world.files};
    SettingsStore store{world.registry};
    FirstRunConfiguration firstRun;
    FakeScreens screens;
    std::string fullName = "Ann Lee,,,";

    void run() {
        const FirstRunPlatform platform{world.loop,    world.files,   temporary,           whois,
                                        world.desktop, store,         world.configuration, firstRun,
                                        fullName,      "GIF89a movie"};
        firstRunSequence(platform, screens);
    }
    // While the offer is open, the lookups of these names answer "free".
    void freeWhileOfferOpen(Strings names) {
        screens.whileOfferOpen = [this, names] {
            for (const auto& name : names) whois.answer(*whois.indexOf(name), "No match for x");
            world.loop.runPending();
        };
    }
};

}  // namespace

TEST_F(FirstRunTest, WithoutFreeDomainsTheOfferThenTheIntroThenTheMarker) {
    run();
    EXPECT_EQ(screens.shown, (Strings{"offer", "intro"}));
    EXPECT_EQ(whois.count(), 21u);
    EXPECT_EQ(store.readValue("is_introduced"), "1");
    EXPECT_TRUE(world.desktop.openedUrls.empty());
}

TEST_F(FirstRunTest, YesOnTheOfferOpensThePartnerPage) {
    firstRun.vtr_partner = "http://partner.test/filter";
    screens.answerYes = true;
    run();
    EXPECT_EQ(world.desktop.openedUrls, Strings{"http://partner.test/filter"});
}

TEST_F(FirstRunTest, FreeDomainFoundDuringTheOfferShowsTheFinderAndOpensTheOrderPage) {
    freeWhileOfferOpen({"ann-lee.org"});
    screens.chooseRow = 9;
    run();
    EXPECT_EQ(screens.shown, (Strings{"offer", "domains", "intro"}));
    EXPECT_EQ(screens.rows, 22u);
    EXPECT_EQ(world.desktop.openedUrls, Strings{world.configuration.vtr_server +
                                                "/vtr/new_domain.php?domain_name=ann-lee.org"});
    // Lookups still running are abandoned with the sequence: nothing reports later.
    world.loop.advance(60000);
    EXPECT_EQ(store.readValue("is_introduced"), "1");
}

TEST_F(FirstRunTest, OtherOpensTheHomePageAndCancelOpensNothing) {
    freeWhileOfferOpen({"lee.com"});
    screens.chooseRow = 21;
    run();
    EXPECT_EQ(world.desktop.openedUrls, Strings{world.configuration.vtr_home});

    world.desktop.openedUrls.clear();
    screens.chooseRow.reset();
    run();
    EXPECT_TRUE(world.desktop.openedUrls.empty());
}

TEST_F(FirstRunTest, NoUsableNameOrSwitchedOffFinderLooksNothingUp) {
    for (const char* name : {"", "Ann", "???, Lee"}) {
        fullName = name;
        run();
    }
    firstRun.vtr_whois.enabled = false;
    fullName = "Ann Lee";
    run();
    EXPECT_EQ(whois.count(), 0u);
}

TEST_F(FirstRunTest, FinderConfiguration) {
    EXPECT_TRUE(loadFirstRunConfiguration(store).vtr_whois.enabled);
    store.writeValue("vtr_whois", "127.0.0.1:4343");
    EXPECT_EQ(loadFirstRunConfiguration(store).vtr_whois.bySuffix[4], "127.0.0.1:4343");
    store.writeValue("vtr_whois", "");
    EXPECT_FALSE(loadFirstRunConfiguration(store).vtr_whois.enabled);
}

class IntroWindowTest : public ::testing::Test {
  protected:
    sim::SimEventLoop loop;
    sim::SimFileSystem files;
    sim::SimTemporaryFiles temporary{files};
    FakePlayer player;
    IntroWindow intro{loop, files, temporary, "GIF89a movie"};
    int closes = 0;

    void SetUp() override {
        intro.closeWindow = [this] { ++closes; };
    }
};

TEST_F(IntroWindowTest, ClosesAtTheLastFrameNotOneLaterAndRemovesItsFile) {
    ASSERT_TRUE(intro.FormReCreate(player));
    const std::string path = intro.moviePath();
    EXPECT_EQ(files.files.at(path), "GIF89a movie");
    EXPECT_EQ(player.movie, path);
    EXPECT_TRUE(player.playing);
    player.frame = 3;
    loop.advance(IntroWindow::kFlashInterval);
    EXPECT_EQ(closes, 0);
    player.frame = 4;  // N - 1 of N = 5
    loop.advance(IntroWindow::kFlashInterval);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(player.playing);
    intro.FormClose();
    EXPECT_FALSE(files.exists(path));
    loop.advance(1000);
    EXPECT_EQ(closes, 1);
}

TEST_F(IntroWindowTest, ClosedEarlyStopsAndRemovesTheFile) {
    ASSERT_TRUE(intro.FormReCreate(player));
    const std::string path = intro.moviePath();
    intro.FormClose();
    EXPECT_FALSE(player.playing);
    EXPECT_FALSE(files.exists(path));
    loop.advance(1000);
    EXPECT_EQ(closes, 0);
}

TEST_F(IntroWindowTest, NothingToPlayWhenTheFileCannotBeWrittenOrRead) {
    files.failWrite.insert("/tmp/vantrel-1.gif");
    EXPECT_FALSE(intro.FormReCreate(player));
    player.playable = false;
    EXPECT_FALSE(intro.FormReCreate(player));
    EXPECT_FALSE(files.exists("/tmp/vantrel-2.gif"));
}
