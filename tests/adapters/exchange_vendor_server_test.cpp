#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "engine/domain_lists.h"
#include "net/banner_refresh.h"
#include "net/net_environment.h"
#include "net/server_exchange.h"
#include "net/update_check.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/std_event_loop.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_program_process.h"
#include "tests/adapters/temp_dir.h"
#include "tests/adapters/vendor_server.h"

using namespace std::chrono_literals;

namespace {

class ExchangeVendorServerTest : public ::testing::Test {
  protected:
    VendorServer server;
    TempDir dir;
    vantrel::posix::StdEventLoop loop;
    vantrel::curl::CurlHttpTransport transport{loop, vantrel::curl::CurlTimeouts{2000ms, 2s, 20s}};
    vantrel::posix::PosixFileSystem files;
    vantrel::sim::SimDesktop desktop;
    vantrel::Settings settings;
    vantrel::DomainLists lists{files, dir.path()};
    int applies = 0;
    vantrel::NetEnvironment environment{loop,
                                        transport,
                                        files,
                                        desktop,
                                        settings,
                                        server.base(),
                                        dir.path(),
                                        [this](bool withSender) {
                                            if (withSender) lists.SaveLists();
                                            ++applies;
                                        }};

    // Runs the loop until `done` holds, looking every 10 ms, for at most `limit`.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
        const auto deadline = loop.now() + limit.count();
        std::function<void()> look = [&] {
            if (done() || loop.now() >= deadline) {
                loop.quit();
                return;
            }
            loop.scheduleAt(loop.now() + 10, look);
        };
        loop.post(look);
        loop.run();
        return done();
    }
};

TEST_F(ExchangeVendorServerTest, AFullRoundUploadsDownloadsAndReplacesTheBanner) {
    const std::string bannerPath = dir.path() + "removed_banner.gif";
    files.writeFile(bannerPath, "GIF89a old banner");
    for (const char* entry : {"ads one.example", "known.example:1"}) {
        vantrel::insertEntry(lists.BlackList, lists.BlackLV, entry);
    }
    vantrel::insertEntry(lists.CleanList, lists.CleanLV, "friend.example");

    vantrel::ServerExchange exchange{environment, lists};
    vantrel::BannerRefresh banner{environment};
    exchange.TimerServerTimer();
    banner.TimerBannerTimer();
    ASSERT_TRUE(runUntil([&] {
        return !settings.vtr_bldate.empty() && !settings.vtr_cldate.empty() &&
               !settings.vtr_getdate.empty() && !settings.vtr_banner.empty();
    }));
    EXPECT_EQ(applies, 4);

    const std::string requests = server.requests();
    EXPECT_NE(requests.find("tp=0&dml[]=ads+one.example\""), std::string::npos) << requests;
    EXPECT_NE(requests.find("tp=1&dml[]=friend.example\""), std::string::npos) << requests;
    EXPECT_NE(requests.find("c_l=&n_l=\""), std::string::npos) << requests;

    EXPECT_EQ(lists.BlackList.entries(),
              (std::vector<std::string>{"ads one.example:1", "ads.example.com:1", "known.example:1",
                                        "tracker.example.net:1"}));
    EXPECT_EQ(lists.CleanList.entries(), std::vector<std::string>{"friend.example:1"});
    EXPECT_EQ(files.readFile(dir.path() + "blacklist.lis"),
              "ads one.example:1\r\nads.example.com:1\r\nknown.example:1\r\n"
              "tracker.example.net:1\r\n");

    const auto picture = files.readFile(bannerPath);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->starts_with("GIF89a"));
    EXPECT_NE(*picture, "GIF89a old banner");
    EXPECT_FALSE(files.exists(bannerPath + ".part"));

    // Everything is done today: the next tick stops the timer and asks nothing.
    exchange.TimerServer.setEnabled(true);
    exchange.TimerServerTimer();
    EXPECT_FALSE(exchange.TimerServer.enabled());
}

TEST_F(ExchangeVendorServerTest, ABannerCutOffMidwayLeavesTheOldOne) {
    const std::string bannerPath = dir.path() + "removed_banner.gif";
    files.writeFile(bannerPath, "GIF89a old banner");
    server.answer(
        vantrel::BannerRefresh::kPath,
        R"({"body": "GIF89a a banner that breaks", "fault": "break", "break_after": 10})");
    vantrel::BannerRefresh banner{environment};
    banner.TimerBannerTimer();
    ASSERT_TRUE(runUntil([&] { return !banner.running(); }));
    EXPECT_EQ(files.readFile(bannerPath), "GIF89a old banner");
    EXPECT_FALSE(files.exists(bannerPath + ".part"));
    EXPECT_EQ(settings.vtr_banner, "");
}

TEST_F(ExchangeVendorServerTest, AnAcceptedUpdateIsDownloadedWholeAndHandedToTheScript) {
    vantrel::sim::SimProgramProcess process;  // records the script instead of running it
    process.executable = dir.path() + "vantrel";
    files.writeFile(process.executable, *files.readFile("/bin/true"));
    server.answer(vantrel::UpdateCheck::kCheckPath, R"({"body": "2.0"})");
    server.answer(vantrel::UpdateCheck::kDownloadPath, R"({"body_file": "/bin/false"})");
    vantrel::UpdateCheck update{environment, process, "P202"};
    update.UpdateMIClick();  // the question is answered OK
    ASSERT_TRUE(runUntil([&] { return desktop.messages.size() > 1; }));

    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(desktop.messages[1].text, vantrel::UpdateCheck::kUpdated);
    EXPECT_EQ(files.readFile(dir.path() + "vantrel1.exe"), files.readFile("/bin/false"));
    EXPECT_EQ(process.started, std::vector<std::string>{dir.path() + "$$336699.bat"});
    EXPECT_TRUE(files.exists(dir.path() + "$$336699.bat"));
    EXPECT_EQ(files.readFile(process.executable), files.readFile("/bin/true"));
    EXPECT_EQ(settings.vtr_checked_version, "2.0");
    const std::string requests = server.requests();
    EXPECT_NE(requests.find("version=P202"), std::string::npos) << requests;
}

// An update check answered `version`, with the question answered OK, and its download (if
// any) run to its end.
class UpdateVendorServerTest : public ExchangeVendorServerTest {
  protected:
    vantrel::sim::SimProgramProcess process;  // records the script instead of running it
    vantrel::UpdateCheck update{environment, process, "P202"};
    const std::string download = dir.path() + "vantrel1.exe";

    void SetUp() override {
        process.executable = dir.path() + "vantrel";
        files.writeFile(process.executable, *files.readFile("/bin/true"));
    }
    // The texts shown once the check (and the download it started) has ended.
    std::vector<std::string> check(const std::string& version, size_t messages) {
        server.answer(vantrel::UpdateCheck::kCheckPath, R"({"body": ")" + version + "\"}");
        update.UpdateMIClick();
        runUntil([&] { return desktop.messages.size() >= messages; });
        runUntil([] { return false; }, 200ms);  // nothing more follows
        std::vector<std::string> texts;
        for (const auto& shown : desktop.messages) texts.push_back(shown.text);
        return texts;
    }
    static std::string offer(const std::string& version) {
        return vantrel::UpdateCheck::question(version);
    }
};

TEST_F(UpdateVendorServerTest, AVersionAnswerIsOneLineWithoutTheBlanksAroundIt) {
    EXPECT_EQ(check(R"(NONE\r\n)", 1), std::vector<std::string>{vantrel::UpdateCheck::kMostRecent});
    EXPECT_EQ(settings.vtr_checked_version, "NONE");

    server.answer(vantrel::UpdateCheck::kDownloadPath, R"({"status": 404})");
    EXPECT_EQ(check(R"( \t2.0 \r\n\r\n)", 3)[1], offer("2.0"));
    EXPECT_EQ(settings.vtr_checked_version, "2.0");
}

TEST_F(UpdateVendorServerTest, AnUpdateBeyondTheCapIsRefusedBeforeItsBody) {
    server.answer(vantrel::UpdateCheck::kDownloadPath,
                  R"({"fault": "huge", "size": 104857600, "announce": 104857600})");
    EXPECT_EQ(check("2.0", 2),
              (std::vector<std::string>{offer("2.0"), vantrel::UpdateCheck::kConnectionError}));
    EXPECT_LE(server.hugeBytesSent(), 1024 * 1024);
    EXPECT_FALSE(files.exists(download));
    EXPECT_TRUE(process.started.empty());
}

TEST_F(UpdateVendorServerTest, ATruncatedUpdateLeavesNothingInTheProgramFolder) {
    server.answer(vantrel::UpdateCheck::kDownloadPath,
                  R"({"body_file": "/bin/false", "fault": "break", "break_after": 10000})");
    EXPECT_EQ(check("2.0", 2),
              (std::vector<std::string>{offer("2.0"), vantrel::UpdateCheck::kConnectionError}));
    EXPECT_FALSE(files.exists(download));
    EXPECT_TRUE(process.started.empty());
}

// The program ends while the banner is on its way: what arrived of it goes with the program.
TEST_F(ExchangeVendorServerTest, ABannerCutOffByTheProgramsEndLeavesNoSideFile) {
    const std::string part = dir.path() + vantrel::BannerRefresh::kDownloadFile;
    for (const char* answer : {R"({"body": "GIF89a half", "fault": "hang", "announce": 1000})",
                               R"({"body": "GIF89a whole"})"}) {
        server.answer(vantrel::BannerRefresh::kPath, answer);
        auto http = std::make_unique<vantrel::curl::CurlHttpTransport>(loop);
        vantrel::NetEnvironment shutdownEnvironment{loop,     *http,         files,      desktop,
                                                    settings, server.base(), dir.path(), {}};
        auto banner = std::make_unique<vantrel::BannerRefresh>(shutdownEnvironment);
        banner->TimerBannerTimer();
        // Only the worker runs: the loop, and with it the banner's completion, never turns.
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (!files.exists(part) && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(5ms);
        }
        ASSERT_TRUE(files.exists(part)) << answer;
        std::this_thread::sleep_for(100ms);
        banner.reset();
        http.reset();
        EXPECT_FALSE(files.exists(part)) << answer;
        EXPECT_TRUE(settings.vtr_banner.empty());
    }
}

}  // namespace
