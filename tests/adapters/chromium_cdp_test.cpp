// The Chromium adapter's parts that need no browser: the protocol client against a scripted
// transport, the placeholder pictures, the page snapshot parser.

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>

#include "platform/browser.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/chromium_process.h"
#include "platform/chromium/page_scripts.h"
#include "platform/page/placeholder_images.h"
#include "temp_dir.h"

using namespace vantrel::chromium;
using namespace vantrel::page;
using vantrel::BrowserError;
using namespace std::chrono_literals;

namespace {

// A browser end the test speaks for: what the client sends is recorded, what the test feeds
// is read.
class ScriptedTransport : public CdpTransport {
  public:
    std::optional<std::string> read() override {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return !inbox_.empty() || closed_; });
        if (inbox_.empty()) return std::nullopt;
        std::string m = std::move(inbox_.front());
        inbox_.pop_front();
        return m;
    }
    bool send(const std::string& message) override {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
        sent_.push_back(Json::parse(message));
        wake_.notify_all();
        return true;
    }
    void close() override {
        std::lock_guard lock(mutex_);
        closed_ = true;
        wake_.notify_all();
    }
    void feed(const std::string& message) {
        std::lock_guard lock(mutex_);
        inbox_.push_back(message);
        wake_.notify_all();
    }
    // Waits (bounded) for the n-th message the client sent.
    Json sent(size_t n) {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, 5s, [&] { return sent_.size() > n; });
        return sent_.size() > n ? sent_[n] : Json();
    }

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> inbox_;
    std::vector<Json> sent_;
    bool closed_ = false;
};

struct Client {
    Client() {
        auto t = std::make_unique<ScriptedTransport>();
        transport = t.get();
        connection = std::make_unique<CdpConnection>(std::move(t));
    }
    ScriptedTransport* transport;
    std::unique_ptr<CdpConnection> connection;
};

TEST(CdpConnection, MatchesRepliesByIdAndDeliversEventsWithTheirSession) {
    Client c;
    std::mutex m;
    std::vector<std::string> events;
    c.connection->onEvent(
        [&](const std::string& method, const Json& params, const std::string& session) {
            std::lock_guard lock(m);
            events.push_back(method + "/" + session + "/" + params.value("x", ""));
        });
    c.connection->start();
    std::thread browser([&] {
        const Json first = c.transport->sent(0);
        const Json second = c.transport->sent(1);
        c.transport->feed(R"({"method":"Page.loadEventFired","params":{"x":"1"},"sessionId":"S"})");
        // Answered out of order: each reply finds its own command.
        c.transport->feed(
            Json{{"id", second["id"]}, {"result", {{"v", 2}}}, {"sessionId", "S"}}.dump());
        c.transport->feed(Json{{"id", first["id"]}, {"result", {{"v", 1}}}}.dump());
    });
    CdpReply one, two;
    c.connection->send("A.one", Json::object(), {}, [&](const CdpReply& r) { one = r; });
    const Json result = c.connection->call("B.two", Json::object(), "S");
    browser.join();
    EXPECT_EQ(result["v"], 2);
    EXPECT_EQ(c.transport->sent(1)["sessionId"], "S");
    EXPECT_FALSE(c.transport->sent(0).contains("sessionId"));
    c.connection->close();
    EXPECT_TRUE(one.ok);
    EXPECT_EQ(one.result["v"], 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "Page.loadEventFired/S/1");
}

TEST(CdpConnection, ErrorRepliesAndTimeoutsFailTheCommand) {
    Client c;
    c.connection->start();
    std::thread browser([&] {
        const Json first = c.transport->sent(0);
        c.transport->feed(
            Json{{"id", first["id"]}, {"error", {{"code", -32000}, {"message", "No target"}}}}
                .dump());
    });
    try {
        c.connection->call("Target.closeTarget");
        ADD_FAILURE() << "no error";
    } catch (const BrowserError& e) {
        EXPECT_NE(std::string(e.what()).find("No target"), std::string::npos);
    }
    browser.join();
    // A renderer that died never answers: the deadline does.
    EXPECT_THROW(c.connection->call("Runtime.evaluate", Json::object(), {}, 50ms), BrowserError);
}

TEST(CdpConnection, ClosingFailsWhatIsPendingAndLaterCommands) {
    Client c;
    bool closed = false;
    c.connection->onClosed([&] { closed = true; });
    c.connection->start();
    CdpReply pending;
    pending.ok = true;
    std::promise<void> answered;
    c.connection->send("Never.answered", Json::object(), {}, [&](const CdpReply& r) {
        pending = r;
        answered.set_value();
    });
    c.transport->sent(0);
    c.transport->close();  // the browser went away
    ASSERT_EQ(answered.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(pending.ok);
    EXPECT_EQ(pending.error, "connection closed");
    EXPECT_FALSE(c.connection->isOpen());
    EXPECT_THROW(c.connection->call("Browser.getVersion"), BrowserError);
    c.connection->close();
    EXPECT_TRUE(closed);
    // After the I/O thread ended a command is refused at once.
    CdpReply late;
    late.ok = true;
    c.connection->send("Late", Json::object(), {}, [&](const CdpReply& r) { late = r; });
    EXPECT_FALSE(late.ok);
}

TEST(CdpConnection, OddMessagesAndThrowingHandlersLeaveTheClientWorking) {
    Client c;
    c.connection->onEvent([](const std::string&, const Json& params, const std::string&) {
        params.at("missing");  // throws
    });
    c.connection->start();
    std::thread browser([&] {
        const Json first = c.transport->sent(0);
        for (const char* odd : {"not json", "[1,2]", "{\"id\":\"x\"}", "{\"id\":999999}",
                                "{\"method\":5}", "{\"method\":\"E\",\"params\":{}}"}) {
            c.transport->feed(odd);
        }
        c.transport->feed(Json{{"id", first["id"]}, {"result", "not an object"}}.dump());
    });
    // Bytes that are not UTF-8 (an address from a page) are sent replaced, not thrown.
    const Json result = c.connection->call("Runtime.evaluate", {{"expression", "\xff\xfe"}});
    browser.join();
    EXPECT_TRUE(result.is_object());
    EXPECT_EQ(c.transport->sent(0)["params"]["expression"], "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(ChromiumLaunch, StartsWithThePipeTheQuietFlagsAndTheUsersProfileByDefault) {
    LaunchOptions options;
    options.command = "  /opt/chromium --flag-of-its-own ";
    const auto args = launchArguments(options);
    ASSERT_GE(args.size(), 3u);
    EXPECT_EQ(args[0], "/opt/chromium");
    EXPECT_EQ(args[1], "--flag-of-its-own");
    auto has = [&](const std::string& a) {
        return std::find(args.begin(), args.end(), a) != args.end();
    };
    EXPECT_TRUE(has("--remote-debugging-pipe"));
    EXPECT_TRUE(has("--disable-background-networking"));
    EXPECT_TRUE(has("--keep-alive-for-test"));
    EXPECT_FALSE(std::any_of(args.begin(), args.end(), [](const std::string& a) {
        return a.rfind("--user-data-dir", 0) == 0 || a.rfind("--headless", 0) == 0;
    }));
    options.command = "";
    options.userDataDir = "/tmp/p";
    EXPECT_EQ(launchArguments(options)[0], "chromium");
    EXPECT_TRUE([&] {
        const auto a = launchArguments(options);
        return std::find(a.begin(), a.end(), "--user-data-dir=/tmp/p") != a.end();
    }());
}

TEST(PlaceholderImages, OnlyPlaceholderFilesOfTheProgramFolderBecomeDataUrls) {
    TempDir dir;
    std::ofstream(dir.path() + "r468x60.gif", std::ios::binary) << "GIF89a";
    std::ofstream(dir.path() + "removed.gif", std::ios::binary) << "ab";
    std::ofstream(dir.path() + "other.gif", std::ios::binary) << "GIF89a";
    std::filesystem::create_directory(dir.path() + "sub");
    std::ofstream(dir.path() + "sub/r468x60.gif", std::ios::binary) << "GIF89a";
    PlaceholderImages images(dir.path());
    EXPECT_EQ(images.dataUrlFor(dir.path() + "r468x60.gif"), "data:image/gif;base64,R0lGODlh");
    EXPECT_EQ(images.dataUrlFor(dir.path() + "removed.gif"), "data:image/gif;base64,YWI=");
    EXPECT_EQ(images.dataUrlFor(dir.path() + "other.gif"), "");
    EXPECT_EQ(images.dataUrlFor(dir.path() + "sub/r468x60.gif"), "");
    EXPECT_EQ(images.dataUrlFor(dir.path() + "r300x250.gif"), "");  // not written: shown as is
    EXPECT_EQ(images.dataUrlFor("http://ads.example/r468x60.gif"), "");
    // The banner file is refreshed from the server: the new bytes are shown.
    std::ofstream(dir.path() + "removed.gif", std::ios::binary) << "abc";
    EXPECT_EQ(images.dataUrlFor(dir.path() + "removed.gif"), "data:image/gif;base64,YWJj");

    for (const char* yes : {"r1x1.gif", "r727x90.gif", "removed_banner.gif", "removed_simple.gif"})
        EXPECT_TRUE(PlaceholderImages::isPlaceholderName(yes)) << yes;
    for (const char* no : {"rx60.gif", "r468x.gif", "r468x60.png", "R468X60.GIF", "r46a8x60.gif",
                           "removed_other.gif", ""})
        EXPECT_FALSE(PlaceholderImages::isPlaceholderName(no)) << no;
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64(std::string("\xff\x00\x80", 3)), "/wCA");
}

TEST(PageScripts, SnapshotParsingToleratesOddValues) {
    const Json value = Json::parse(R"({
        "url": "http://a/", "body": "<body><a href=\"/l\"></a></body>",
        "images": [["http://a/x.gif", 468, 60, 6, 4], ["short"], 5, [null, "w", 1.5, -1, 0],
                   ["y", 1, 1, 30, 5], ["z", 1, 1, 3, 99], ["u", 1, 1, "6", 1]],
        "links": [[true, "/l", 15, 2], [false, "http://a/area"], [1], "x"]})");
    const auto s = parseSnapshot(value);
    EXPECT_EQ(s.url, "http://a/");
    ASSERT_EQ(s.images.size(), 5u);
    EXPECT_EQ(s.images[0].width, 468);
    EXPECT_EQ(s.images[0].inMarkup.start, 6u);
    EXPECT_EQ(s.images[0].inMarkup.length, 4u);
    EXPECT_EQ(s.images[1].src, "");
    EXPECT_EQ(s.images[1].width, 0);
    // Places that are none, past the markup's end, or not numbers.
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_EQ(s.images[i].inMarkup.start, DocumentSnapshot::Place::kNone) << i;
    }
    ASSERT_EQ(s.links.size(), 2u);
    EXPECT_TRUE(s.links[0].isAnchor);
    EXPECT_EQ(s.links[0].inMarkup.start, 15u);
    EXPECT_FALSE(s.links[1].isAnchor);
    EXPECT_EQ(s.links[1].inMarkup.start, DocumentSnapshot::Place::kNone);
    EXPECT_TRUE(parseSnapshot(Json()).images.empty());
    EXPECT_TRUE(parseSnapshot(Json::parse(R"({"images": "x", "url": 5})")).url.empty());
}

TEST(PageScripts, AttributeValuesAreEscapedAsTheBrowserWritesThem) {
    EXPECT_EQ(escapeAttribute("/a?x=1&y=\"2\"<b>\xC2\xA0"
                              "c\xC2"),
              "/a?x=1&amp;y=&quot;2&quot;&lt;b&gt;&nbsp;c\xC2");
    EXPECT_EQ(escapeAttribute("plain"), "plain");
}

}  // namespace
