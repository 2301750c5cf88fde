// The extension's way to Vantrel on real sockets: a browser's pipe, the host's relay, the
// per-user socket and the server that hands each message to the extension adapter.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "loop_runs.h"
#include "platform/extension/watch_server.h"
#include "platform/posix/std_event_loop.h"
#include "platform/posix/user_socket.h"
#include "platform/webext/native_messaging.h"
#include "scoped_env.h"
#include "temp_dir.h"

using namespace std::chrono_literals;
using vantrel::extension::ExtensionShell;
using vantrel::extension::WatchServer;
using vantrel::webext::frameNativeMessage;
using Json = nlohmann::json;

namespace {

constexpr const char* kSocket = "watch-test";

// Runs the loop until `done` holds, looking every 10 ms, for at most 10 s.
bool runUntil(vantrel::posix::StdEventLoop& loop, const std::function<bool()>& done) {
    const auto until = loop.now() + 10000;
    std::function<void()> check = [&] {
        if (done() || loop.now() >= until) {
            loop.quit();
        } else {
            loop.scheduleAt(loop.now() + 10, check);
        }
    };
    loop.post(check);
    loop.run();
    return done();
}

void setBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

struct WatchSocket : ::testing::Test {
    TempDir runtime;
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path().c_str()};
    vantrel::posix::StdEventLoop loop;
    ExtensionShell shell{loop, runtime.path()};
    WatchServer server{loop, shell, kSocket};

    // A connection as the host makes it, its first two messages sent.
    vantrel::posix::UniqueFd hostConnection(int browserPid) {
        auto fd = vantrel::posix::connectUserSocket(kSocket);
        EXPECT_TRUE(fd.valid());
        setBlocking(fd.get());
        const std::string first =
            frameNativeMessage(
                Json{{"type", "host"}, {"browserPid", browserPid}, {"caller", "t"}}.dump()) +
            frameNativeMessage(R"({"type":"watch","browser":"chromium"})");
        EXPECT_EQ(::write(fd.get(), first.data(), first.size()), ssize_t(first.size()));
        return fd;
    }
};

std::string typeOf(const vantrel::webext::NativeMessage& m) {
    return m.result == vantrel::webext::ReadResult::Message ? Json::parse(m.text).value("type", "")
                                                            : "";
}

}  // namespace

TEST_F(WatchSocket, ABrowsersMessagesPassTheRelayBothWaysAndItsEndDropsItsTabs) {
    ASSERT_TRUE(server.listening());
    // Another Vantrel of this user and display does not take the name from the first.
    ExtensionShell second{loop, runtime.path()};
    EXPECT_FALSE(WatchServer(loop, second, kSocket).listening());

    int browser[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, browser), 0);
    auto toVantrel = hostConnection(4100);
    std::thread host([&] {
        vantrel::webext::relayBothWays(browser[1], browser[1], toVantrel.get());
        ::close(browser[1]);
    });
    const std::string reports =
        frameNativeMessage(R"({"type":"window","window":1,"popup":false})") +
        frameNativeMessage(R"({"type":"tab","tab":7,"window":1,"url":"http://a.example/"})") +
        frameNativeMessage(R"({"type":"tab","tab":8,"window":1,"url":"http://b.example/"})");
    ASSERT_EQ(::write(browser[0], reports.data(), reports.size()), ssize_t(reports.size()));
    EXPECT_TRUE(runUntil(loop, [&] { return shell.createWindows()->Count() == 2; }));
    EXPECT_EQ(typeOf(vantrel::webext::readNativeMessage(browser[0], 1 << 20, 5s)), "watching");

    // Vantrel's message comes back through the relay.
    shell.createWindows()->Item(1)->Quit();
    const auto close = vantrel::webext::readNativeMessage(browser[0], 1 << 20, 5s);
    ASSERT_EQ(typeOf(close), "close");
    EXPECT_EQ(Json::parse(close.text)["tab"], 8);

    ::shutdown(browser[0], SHUT_RDWR);  // the browser ends
    host.join();
    toVantrel.reset();
    EXPECT_TRUE(runUntil(loop, [&] { return shell.createWindows()->Count() == 0; }));
    ::close(browser[0]);
}

TEST_F(WatchSocket, AFrameOverTheLimitEndsOnlyItsOwnConnection) {
    auto bad = hostConnection(4100);
    auto good = hostConnection(4200);
    ASSERT_TRUE(runUntil(loop, [&] { return shell.browsers().size() == 2; }));
    EXPECT_EQ(typeOf(vantrel::webext::readNativeMessage(bad.get(), 1 << 20, 5s)), "watching");
    const std::uint32_t huge = 0xFFFFFFF0u;
    char prefix[4];
    std::memcpy(prefix, &huge, 4);
    ASSERT_EQ(::write(bad.get(), prefix, 4), 4);
    EXPECT_TRUE(runUntil(loop, [&] { return shell.browsers().size() == 1; }));
    EXPECT_EQ(vantrel::webext::readNativeMessage(bad.get(), 1 << 20, 5s).result,
              vantrel::webext::ReadResult::Closed);
    EXPECT_EQ(shell.browsers()[0].pid, 4200);
    EXPECT_EQ(typeOf(vantrel::webext::readNativeMessage(good.get(), 1 << 20, 5s)), "watching");
}

TEST_F(WatchSocket, ABrowserThatReadsLateGetsEveryMessageWholeAndInOrder) {
    auto browser = hostConnection(4100);
    ASSERT_TRUE(runUntil(loop, [&] { return shell.browsers().size() == 1; }));
    // More than the socket holds: part goes at once, the rest waits for the browser to read.
    vantrel::RequestRuleSet rules;
    for (int id = 1; id <= 20000; ++id) {
        rules.rules.push_back({id, vantrel::RequestRule::kBlockPriority,
                               vantrel::RequestRule::Action::Block,
                               "||host-" + std::to_string(id) + ".example^", {}});
    }
    shell.setRequestRules(rules, {});

    EXPECT_EQ(typeOf(vantrel::webext::readNativeMessage(browser.get(), 1 << 20, 5s)), "watching");
    std::vector<int> ids;
    for (bool last = false; !last;) {
        const auto message = vantrel::webext::readNativeMessage(browser.get(), 1 << 20, 5s);
        ASSERT_EQ(typeOf(message), "rules") << message.text.substr(0, 200);
        const Json rulesMessage = Json::parse(message.text);
        for (const Json& rule : rulesMessage["rules"]) ids.push_back(rule[0].get<int>());
        last = rulesMessage["last"].get<bool>();
    }
    ASSERT_EQ(ids.size(), 20000u);
    for (size_t i = 0; i < ids.size(); ++i) ASSERT_EQ(ids[i], int(i) + 1);
}
