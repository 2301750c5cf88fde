// The keeper program with a stand-in browser: a script that speaks the pipe's framing, echoes
// every command back as its reply, logs each start's arguments, and ends when told to close or
// when auto-attach is turned off (what the keeper sends once its client has gone).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/browser.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/keeper_connection.h"
#include "platform/posix/user_socket.h"
#include "tests/adapters/scoped_env.h"
#include "tests/adapters/temp_dir.h"
#include "tests/e2e/session_sweep.h"

using namespace std::chrono_literals;
using vantrel::BrowserError;
using vantrel::chromium::CdpConnection;

namespace {

constexpr const char* kStandIn = R"(#!/bin/bash
echo "$*" >> "$(dirname "$0")/starts"
while IFS= read -r -d '' message <&3; do
    case "$message" in
        *'"Browser.close"'* | *'"autoAttach":false'*) exit 0 ;;
    esac
    printf '%s\0' "$message" >&4
done
)";

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class KeeperProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(browser) << kStandIn;
        ::chmod(browser.c_str(), 0755);
        options.command = browser;
        options.userDataDir = dir.path() + "profile";
        options.keeper = VANTREL_KEEPER_PATH;
    }
    void TearDown() override { EXPECT_TRUE(chromium_test::endSessionsNaming(dir.path())); }

    std::unique_ptr<CdpConnection> connect() {
        auto connection =
            std::make_unique<CdpConnection>(vantrel::chromium::connectThroughKeeper(options, 10s));
        connection->start();
        return connection;
    }
    std::vector<std::string> starts() {
        std::ifstream log(dir.path() + "starts");
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) lines.push_back(line);
        return lines;
    }
    static bool withoutWindow(const std::string& start) {
        return start.find("--no-startup-window") != std::string::npos;
    }
    bool keeperServes() {
        return bool(vantrel::posix::connectUserSocket(vantrel::chromium::keeperSocketName()));
    }
    bool keeperRuns() { return !chromium_test::processesNaming(dir.path()).empty(); }

    TempDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().c_str()};
    const std::string browser = dir.path() + "browser";
    vantrel::chromium::LaunchOptions options;
};

TEST_F(KeeperProgram, PassesMessagesAndServesOneClientAtATime) {
    auto first = connect();
    EXPECT_NO_THROW(first->call("Browser.getVersion"));
    auto second = connect();
    EXPECT_THROW(second->call("Browser.getVersion"), BrowserError);
    EXPECT_TRUE(eventually([&] { return !second->isOpen(); }));
    EXPECT_NO_THROW(first->call("Target.getTargets")) << "the first client lost its connection";
    ASSERT_EQ(starts().size(), 1u) << "the second client started another browser";
    EXPECT_FALSE(withoutWindow(starts()[0]));
    EXPECT_NE(starts()[0].find("--remote-debugging-pipe"), std::string::npos);
    EXPECT_NE(starts()[0].find("--user-data-dir=" + options.userDataDir), std::string::npos);

    // The client's end is its release: auto-attach off, at which the stand-in ends, and with
    // nobody there the keeper ends too.
    first->close();
    second->close();
    EXPECT_TRUE(eventually([&] { return !keeperRuns(); }));
}

TEST_F(KeeperProgram, ABrowserEndingWhileAClientIsThereIsStartedAgainWithoutAWindow) {
    for (size_t round = 1; round <= 3; ++round) {
        auto client = connect();
        ASSERT_NO_THROW(client->call("Browser.getVersion")) << "round " << round;
        client->send("Browser.close", vantrel::chromium::Json::object());
        // The client learns of the end by its connection's end.
        ASSERT_TRUE(eventually([&] { return !client->isOpen(); })) << "round " << round;
        if (round < 3) {
            ASSERT_TRUE(eventually([&] { return starts().size() == round + 1; }));
            EXPECT_TRUE(withoutWindow(starts().back()));
        }
    }
    // Three ends within seconds of the start in a row: the browser cannot run, the keeper ends.
    EXPECT_TRUE(eventually([&] { return !keeperRuns(); }));
    EXPECT_EQ(starts().size(), 3u);
    EXPECT_FALSE(keeperServes());
}

TEST_F(KeeperProgram, EndsWithItsBrowserWhenNoClientIsThere) {
    auto client = connect();
    ASSERT_NO_THROW(client->call("Browser.getVersion"));
    client->close();
    EXPECT_TRUE(eventually([&] { return !keeperRuns(); }));
    EXPECT_EQ(starts().size(), 1u) << "started again with nobody watching";
    EXPECT_FALSE(keeperServes());
    // A later client starts a new keeper and browser.
    auto later = connect();
    EXPECT_NO_THROW(later->call("Browser.getVersion"));
    EXPECT_EQ(starts().size(), 2u);
    EXPECT_FALSE(withoutWindow(starts().back()));
}

TEST_F(KeeperProgram, ABrowserThatCannotStartIsTheClientsErrorWithTheReason) {
    options.command = dir.path() + "no-such-browser";
    try {
        connect();
        FAIL() << "connected without a browser";
    } catch (const BrowserError& e) {
        EXPECT_NE(std::string(e.what()).find("no-such-browser"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(eventually([&] { return !keeperRuns(); }));
}

}  // namespace
