#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "net/http_get.h"
#include "net/http_url.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_http_transport.h"

using vantrel::HttpRequest;
using vantrel::splitHttpUrl;
using vantrel::THTTPGet;
using vantrel::sim::SimEventLoop;
using vantrel::sim::SimFileSystem;
using vantrel::sim::SimHttpTransport;
using Answer = SimHttpTransport::Answer;

namespace {

// Records every event a component raises, in order.
struct Events {
    std::vector<std::string> seen;

    void attach(THTTPGet& get) {
        get.OnDoneString = [this](THTTPGet&, const std::string& result) {
            seen.push_back("string:" + result);
        };
        get.OnDoneFile = [this](THTTPGet&, const std::string& name, std::int64_t size) {
            seen.push_back("file:" + name + ":" + std::to_string(size));
        };
        get.OnError = [this](THTTPGet&) { seen.push_back("error"); };
    }
};

class HttpGetTest : public ::testing::Test {
  protected:
    SimEventLoop loop;
    SimFileSystem files;
    SimHttpTransport transport{loop, &files};
    Events events;

    std::unique_ptr<THTTPGet> make(const std::string& url) {
        auto get = std::make_unique<THTTPGet>(transport);
        get->URL = url;
        events.attach(*get);
        return get;
    }
};

}  // namespace

TEST(HttpUrl, SplitsSchemeHostPortAndPath) {
    EXPECT_EQ(splitHttpUrl("http://Example.com/vtr/get.php?a=1")->text(),
              "http://Example.com:80/vtr/get.php?a=1");
    EXPECT_EQ(splitHttpUrl("HTTP://Example.com/x")->text(), "http://Example.com:80/x");
    EXPECT_EQ(splitHttpUrl("hTTpS://host:8443/")->text(), "https://host:8443/");
    EXPECT_EQ(splitHttpUrl("127.0.0.1:8080/vtr/send.php")->text(),
              "http://127.0.0.1:8080/vtr/send.php");
    EXPECT_EQ(splitHttpUrl("http://host")->text(), "http://host:80/");
    EXPECT_EQ(splitHttpUrl("http://[::1]:81/a")->text(), "http://[::1]:81/a");
}

TEST(HttpUrl, RejectsWhatCannotBeFetchedSafely) {
    for (const char* url : {"", "http:///path", "ftp://host/x", "file:///etc/passwd",
                            "http://host:0/", "http://host:65536/", "http://host:+80/",
                            "http://host:/", "http://host/a b", "http://host/a\r\nX: y"}) {
        EXPECT_FALSE(splitHttpUrl(url)) << url;
    }
}

TEST_F(HttpGetTest, RequestCarriesThePropertiesAndAGetHasNoBody) {
    auto get = make("HTTP://Vendor.example:8080/vtr/check_update.php?version=P202");
    get->AcceptTypes = "GET";
    get->GetString();
    ASSERT_EQ(transport.count(), 1u);
    const HttpRequest& request = transport.request(0);
    EXPECT_EQ(request.url, "http://Vendor.example:8080/vtr/check_update.php?version=P202");
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.body, "");
    EXPECT_EQ(request.accept, "GET");
    EXPECT_EQ(request.agent, "Hexvane HTTPGet");
    EXPECT_TRUE(request.bypassCache);
    EXPECT_EQ(request.mode, HttpRequest::Mode::String);
    EXPECT_EQ(request.maxBodyBytes, THTTPGet::MaxStringSize);
}

TEST_F(HttpGetTest, PostQueryMakesAFormPost) {
    auto get = make("http://host/vtr/send.php");
    get->PostQuery = "a=1&b=2";
    get->UseCache = true;
    get->GetString();
    const HttpRequest& request = transport.request(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(request.body, "a=1&b=2");
    EXPECT_FALSE(request.bypassCache);
}

TEST_F(HttpGetTest, CompletionComesOnceFromTheLoopNotFromTheStartingCall) {
    auto get = make("http://host/vtr/get.php");
    get->GetString();
    transport.answer(0, {200, "a.com#b.com"}, 500);
    EXPECT_TRUE(events.seen.empty());
    loop.advance(499);
    EXPECT_TRUE(events.seen.empty());
    EXPECT_TRUE(get->Busy());
    loop.advance(1);
    EXPECT_EQ(events.seen, std::vector<std::string>{"string:a.com#b.com"});
    EXPECT_FALSE(get->Busy());
    loop.advance(10000);
    EXPECT_EQ(events.seen.size(), 1u);
}

TEST_F(HttpGetTest, FileDownloadReportsNameAndSize) {
    auto get = make("http://host/vtr/banner/banner.gif");
    get->FileName = "/prog/removed_banner.gif";
    get->GetFile();
    EXPECT_TRUE(transport.request(0).requireContentLength);
    transport.answer(0, {200, "GIF89a..."});
    loop.runPending();
    EXPECT_EQ(events.seen, std::vector<std::string>{"file:/prog/removed_banner.gif:9"});
    EXPECT_EQ(files.files["/prog/removed_banner.gif"], "GIF89a...");
}

TEST_F(HttpGetTest, EveryIncompleteOrUnsuccessfulAnswerIsAnError) {
    struct Case {
        const char* what;
        bool file;
        bool binaryData;
        Answer answer;
    };
    const std::vector<Case> cases = {
        {"error page", false, false, {404, "Not found"}},
        {"server error", true, false, {500, "oops"}},
        {"empty string body", false, false, {200, ""}},
        {"no length in file mode", true, false, {200, "body", false}},
        {"no length with BinaryData", false, true, {200, "body", false}},
        {"broken file download", true, false, {200, std::string(1000, 'x'), true, 600}},
        {"broken string download", false, false, {200, "abcdef", true, 3}},
        {"no connection", false, false, Answer::failure()},
        {"over the cap", false, false, {200, std::string(THTTPGet::MaxStringSize + 1, 'x'), false}},
        {"over a lowered cap", false, false, {200, std::string(101, 'x')}},
    };
    for (const Case& c : cases) {
        events.seen.clear();
        auto get = make("http://host/x");
        get->FileName = "/prog/file";
        get->BinaryData = c.binaryData;
        if (c.answer.body.size() == 101) get->MaxResultSize = 100;
        c.file ? get->GetFile() : get->GetString();
        transport.answer(transport.count() - 1, c.answer);
        loop.runPending();
        EXPECT_EQ(events.seen, std::vector<std::string>{"error"}) << c.what;
    }
}

TEST_F(HttpGetTest, OnlyAWholeDownloadWithinTheCapStaysOnDisk) {
    auto get = make("http://host/vtr/update/vantrel.exe");
    get->FileName = "/prog/vantrel1.exe";
    get->MaxFileSize = 1000;
    const std::string body(1000, 'x');
    for (const auto& reply : {Answer{200, body, true, 600}, Answer{200, body + "x"}}) {
        get->GetFile();
        transport.answer(transport.count() - 1, reply);
        loop.runPending();
        EXPECT_EQ(events.seen.back(), "error");
        EXPECT_FALSE(files.exists("/prog/vantrel1.exe"));
    }
    get->GetFile();
    transport.answer(2, {200, body});
    loop.runPending();
    EXPECT_EQ(events.seen.back(), "file:/prog/vantrel1.exe:1000");
    EXPECT_EQ(files.files["/prog/vantrel1.exe"], body);
}

TEST_F(HttpGetTest, UnusableAddressFailsThroughTheLoop) {
    auto get = make("http://host:99999/x");
    get->GetString();
    EXPECT_TRUE(events.seen.empty());
    loop.runPending();
    EXPECT_EQ(events.seen, std::vector<std::string>{"error"});
}

TEST_F(HttpGetTest, SecondStartWhileBusyIsIgnored) {
    auto get = make("http://host/a");
    get->GetString();
    get->URL = "http://host/b";
    get->GetString();
    get->GetFile();
    EXPECT_EQ(transport.count(), 1u);
    transport.answer(0, {200, "one"});
    loop.runPending();
    EXPECT_EQ(events.seen, std::vector<std::string>{"string:one"});
    // Idle again: the next start goes out.
    get->GetString();
    EXPECT_EQ(transport.count(), 2u);
    EXPECT_EQ(transport.request(1).url, "http://host:80/b");
}

TEST_F(HttpGetTest, AbortEndsWithOneErrorEvenWhenTheAnswerWasOnItsWay) {
    auto get = make("http://host/a");
    get->GetString();
    transport.answer(0, {200, "late"});
    get->Abort();
    get->Abort();
    loop.advance(1000);
    EXPECT_EQ(events.seen, std::vector<std::string>{"error"});
    EXPECT_TRUE(transport.aborted(0));
    get->Abort();  // idle: nothing
    loop.advance(1000);
    EXPECT_EQ(events.seen.size(), 1u);
}

TEST_F(HttpGetTest, DestroyedComponentAbortsAndHearsNothing) {
    auto get = make("http://host/a");
    get->OnProgress = [this](THTTPGet&, std::int64_t, std::int64_t) {
        events.seen.push_back("progress");
    };
    get->GetFile();
    transport.answer(0, {200, "data"}, 100);
    get.reset();
    EXPECT_TRUE(transport.aborted(0));
    transport.progress(0, 4, 2);
    loop.advance(1000);
    EXPECT_TRUE(events.seen.empty());
    EXPECT_FALSE(transport.running(0));
}

TEST_F(HttpGetTest, HandlerMayReleaseTheComponent) {
    auto* get = new THTTPGet(transport);
    get->URL = "http://host/a";
    bool released = false;
    get->OnDoneString = [&](THTTPGet& sender, const std::string&) {
        delete &sender;
        released = true;
    };
    get->GetString();
    transport.answer(0, {200, "x"});
    loop.runPending();
    EXPECT_TRUE(released);
}

TEST_F(HttpGetTest, ProgressReportsAnnouncedSizeAndRunningTotal) {
    auto get = make("http://host/a");
    std::vector<std::pair<std::int64_t, std::int64_t>> steps;
    get->OnProgress = [&](THTTPGet& sender, std::int64_t total, std::int64_t readed) {
        EXPECT_EQ(&sender, get.get());
        steps.emplace_back(total, readed);
    };
    get->GetString();
    transport.progress(0, 2050, 1025);
    transport.progress(0, 2050, 2050);
    EXPECT_EQ(steps,
              (std::vector<std::pair<std::int64_t, std::int64_t>>{{2050, 1025}, {2050, 2050}}));
}
