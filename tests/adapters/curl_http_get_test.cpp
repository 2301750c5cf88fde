#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "net/http_get.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/posix/std_event_loop.h"
#include "tests/adapters/closed_port.h"
#include "tests/adapters/loop_runs.h"
#include "tests/adapters/temp_dir.h"
#include "tests/adapters/vendor_server.h"

using namespace std::chrono_literals;
using vantrel::THTTPGet;
using vantrel::curl::CurlHttpTransport;
using vantrel::posix::StdEventLoop;

namespace {

class CurlHttpGetTest : public ::testing::Test {
  protected:
    VendorServer server;
    TempDir dir;
    StdEventLoop loop;
    // Short enough that a silent server ends a test quickly.
    std::unique_ptr<CurlHttpTransport> transport =
        std::make_unique<CurlHttpTransport>(loop, vantrel::curl::CurlTimeouts{2000ms, 1s, 20000ms});
    std::vector<std::string> events;
    std::int64_t mostReaded = 0;

    std::unique_ptr<THTTPGet> make(const std::string& path) {
        auto get = std::make_unique<THTTPGet>(*transport);
        get->URL = server.base() + path;
        get->FileName = dir.path() + "download file";
        get->OnDoneString = [this](THTTPGet&, const std::string& result) {
            record("string:" + result);
        };
        get->OnDoneFile = [this](THTTPGet&, const std::string& name, std::int64_t size) {
            record("file:" + name + ":" + std::to_string(size));
        };
        get->OnError = [this](THTTPGet&) { record("error"); };
        get->OnProgress = [this](THTTPGet&, std::int64_t, std::int64_t readed) {
            mostReaded = std::max(mostReaded, readed);
        };
        return get;
    }

    void record(std::string event) {
        events.push_back(std::move(event));
        loop.quit();
    }

    std::string fetchString(const std::string& path) {
        auto get = make(path);
        get->GetString();
        runUntilQuit(loop);
        return events.empty() ? "none" : events.back();
    }
};

}  // namespace

TEST_F(CurlHttpGetTest, GetWithCapitalSchemeAndPortCarriesTheRequestProperties) {
    auto get = make("/vtr/check_update.php?version=P202");
    get->URL =
        "HTTP://127.0.0.1:" + std::to_string(server.port()) + "/vtr/check_update.php?version=P202";
    get->AcceptTypes = "GET";
    get->Referer = "http://ref.example/";
    get->GetString();
    runUntilQuit(loop);
    EXPECT_EQ(events, std::vector<std::string>{"string:NONE"});
    const std::string seen = server.requests();
    EXPECT_NE(seen.find("\"method\": \"GET\", \"path\": \"/vtr/check_update.php\", "
                        "\"query\": \"version=P202\""),
              std::string::npos)
        << seen;
    EXPECT_NE(seen.find("\"User-Agent\": \"Hexvane HTTPGet\""), std::string::npos) << seen;
    EXPECT_NE(seen.find("\"Accept\": \"GET\""), std::string::npos) << seen;
    EXPECT_NE(seen.find("\"Referer\": \"http://ref.example/\""), std::string::npos) << seen;
    EXPECT_NE(seen.find("\"Cache-Control\": \"no-cache\""), std::string::npos) << seen;
    EXPECT_NE(seen.find("\"body\": \"\""), std::string::npos) << seen;
}

TEST_F(CurlHttpGetTest, PostSendsTheFormContentTypeAndBody) {
    auto get = make("/vtr/send.php?tp=1");
    get->PostQuery = "dml[]=a.com&dml[]=b+c";
    get->GetString();
    runUntilQuit(loop);
    EXPECT_EQ(events, std::vector<std::string>{"string:OK1"});
    const std::string seen = server.requests();
    EXPECT_NE(seen.find("\"method\": \"POST\""), std::string::npos) << seen;
    EXPECT_NE(seen.find("\"Content-Type\": \"application/x-www-form-urlencoded\""),
              std::string::npos)
        << seen;
    EXPECT_NE(seen.find("\"body\": \"dml[]=a.com&dml[]=b+c\""), std::string::npos) << seen;
}

TEST_F(CurlHttpGetTest, ErrorStatusesFailInBothModes) {
    server.answer("/vtr/get.php", R"({"status": 404, "body": "Not found here"})");
    EXPECT_EQ(fetchString("/vtr/get.php"), "error");
    server.answer("/vtr/update/vantrel.exe", R"({"status": 500, "body": "Internal error"})");
    auto get = make("/vtr/update/vantrel.exe");
    get->GetFile();
    runUntilQuit(loop);
    EXPECT_EQ(events.back(), "error");
    EXPECT_FALSE(std::filesystem::exists(get->FileName));  // no error page on disk
}

TEST_F(CurlHttpGetTest, BodyOf1025BytesArrivesWhole) {
    const std::string body(1025, 'k');
    server.answer("/vtr/get.php", R"({"body": ")" + body + "\"}");
    EXPECT_EQ(fetchString("/vtr/get.php"), "string:" + body);
    EXPECT_EQ(mostReaded, 1025);
}

TEST_F(CurlHttpGetTest, FileDownloadStoresTheWholeBody) {
    std::string body;
    for (int i = 0; i < 1000; ++i) body += char('a' + i % 26);
    server.answer("/vtr/update/vantrel.exe", R"({"body": ")" + body + "\"}");
    auto get = make("/vtr/update/vantrel.exe");
    get->GetFile();
    runUntilQuit(loop);
    EXPECT_EQ(events, std::vector<std::string>{"file:" + get->FileName + ":1000"});
    EXPECT_EQ(readAll(get->FileName), body);
}

TEST_F(CurlHttpGetTest, BrokenDownloadFailsAndLeavesNoFile) {
    server.answer("/vtr/update/vantrel.exe", R"({"body": ")" + std::string(1000, 'z') +
                                                 R"(", "fault": "break", "break_after": 600})");
    auto get = make("/vtr/update/vantrel.exe");
    get->GetFile();
    runUntilQuit(loop);
    EXPECT_EQ(events, std::vector<std::string>{"error"});
    EXPECT_TRUE(mostReaded > 0);  // the file had been started
    EXPECT_FALSE(std::filesystem::exists(get->FileName));
}

TEST_F(CurlHttpGetTest, MissingContentLengthFailsInFileModeOnly) {
    server.answer("/vtr/banner/banner.gif", R"({"body": "GIF89a", "fault": "no_length"})");
    auto get = make("/vtr/banner/banner.gif");
    get->GetFile();
    runUntilQuit(loop);
    EXPECT_EQ(events, std::vector<std::string>{"error"});
    EXPECT_FALSE(std::filesystem::exists(get->FileName));
    EXPECT_EQ(fetchString("/vtr/banner/banner.gif"), "string:GIF89a");
}

TEST_F(CurlHttpGetTest, UnreachableHostFailsWithoutAFile) {
    auto get = make("");
    get->URL = "http://127.0.0.1:" + std::to_string(closedPort()) + "/vtr/update/vantrel.exe";
    get->GetFile();
    runUntilQuit(loop);
    EXPECT_EQ(events, std::vector<std::string>{"error"});
    EXPECT_FALSE(std::filesystem::exists(get->FileName));
}

TEST_F(CurlHttpGetTest, SecondStartWhileBusyIsIgnoredAndAbortEndsTheTransfer) {
    server.answer("/vtr/get.php", R"({"body": "partial", "fault": "hang"})");
    auto get = make("/vtr/get.php");
    get->GetString();
    get->GetString();
    get->GetFile();
    // Abort once the server has the request, so the transfer is really under way.
    loop.scheduleAt(loop.now() + 200, [&] { get->Abort(); });
    runUntilQuit(loop);
    runFor(loop, 300ms);
    EXPECT_EQ(events, std::vector<std::string>{"error"});
    EXPECT_EQ(server.requests().find("/vtr/get.php", server.requests().find("/vtr/get.php") + 1),
              std::string::npos);
}

TEST_F(CurlHttpGetTest, DestroyingTheComponentDuringATransferRaisesNothing) {
    server.answer("/vtr/update/vantrel.exe",
                  R"({"body": "abc", "fault": "hang", "announce": 1000})");
    auto get = make("/vtr/update/vantrel.exe");
    get->GetFile();
    runFor(loop, 200ms);
    get.reset();
    transport.reset();  // waits for the worker, whose completion is then still queued
    runFor(loop, 200ms);
    EXPECT_TRUE(events.empty());
}

TEST_F(CurlHttpGetTest, HugeBodyInStringModeFailsAtTheCapAndIsReadNoFurther) {
    server.answer("/vtr/get.php", R"({"fault": "huge", "size": 104857600})");
    EXPECT_EQ(fetchString("/vtr/get.php"), "error");
    EXPECT_LE(mostReaded, THTTPGet::MaxStringSize);
    EXPECT_GT(mostReaded, 0);
    // What the server got rid of is the cap and little more: buffers on the way are small.
    const std::int64_t sent = server.hugeBytesSent();
    EXPECT_GE(sent, THTTPGet::MaxStringSize);
    EXPECT_LE(sent, THTTPGet::MaxStringSize + 512 * 1024);
}

TEST_F(CurlHttpGetTest, AbortedFileTransferLeavesNoFile) {
    server.answer("/vtr/banner/banner.gif",
                  R"({"body": "GIF89a half", "fault": "hang", "announce": 1000})");
    auto get = make("/vtr/banner/banner.gif");
    get->GetFile();
    runFor(loop,
           300ms);  // the first piece is on disk; the server stays silent for longer than this
    ASSERT_TRUE(events.empty());
    ASSERT_TRUE(std::filesystem::exists(get->FileName));
    get->Abort();
    runUntilQuit(loop);
    EXPECT_EQ(events, std::vector<std::string>{"error"});
    EXPECT_FALSE(std::filesystem::exists(get->FileName));
}

TEST_F(CurlHttpGetTest, HugeAnnouncedBodyIsNotEvenRead) {
    server.answer("/vtr/get.php", R"({"fault": "huge", "size": 104857600, "announce": 104857600})");
    EXPECT_EQ(fetchString("/vtr/get.php"), "error");
    EXPECT_EQ(mostReaded, 0);
}

TEST_F(CurlHttpGetTest, ServerThatNeverClosesEndsInFailure) {
    server.answer("/vtr/check_update.php", R"({"body": "1.5", "fault": "hang"})");
    EXPECT_EQ(fetchString("/vtr/check_update.php"), "error");
}

TEST_F(CurlHttpGetTest, GarbageInsteadOfHttpIsAFailure) {
    server.answer("/vtr/check_update.php", R"({"fault": "garbage"})");
    EXPECT_EQ(fetchString("/vtr/check_update.php"), "error");
}
