#pragma once

// A headless Chromium of the test's own under the adapter, the test engine connected to it, the
// first page driven by the test, pages served on loopback.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "chromium_test_engine.h"
#include "chromium_test_support.h"

namespace chromium_test {

// A 1x1 GIF: the placeholder picture the test engine writes.
inline const std::string kGif(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01"
    "\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;",
    43);

inline bool anyContains(const std::vector<std::string>& items, const std::string& part) {
    return std::any_of(items.begin(), items.end(),
                       [&](const std::string& s) { return s.find(part) != std::string::npos; });
}

class ChromiumBrowser : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(dir.path() + "r468x60.gif", std::ios::binary) << kGif;
        shell = std::make_unique<vantrel::chromium::ChromiumShell>(
            loop, browserOptions(dir, true, dir.path()));
        engine = std::make_unique<TestEngine>(*shell);
        engine->connect();
        driver = std::make_unique<PageDriver>(shell->connection(), "about:blank");
    }
    void TearDown() override { shell->close(); }

    // Navigates the first window and waits until its document completed.
    void load(const std::string& host, const std::string& path) {
        const std::string url = server.url(host, path);
        shell->connection().send("Page.navigate", {{"url", url}}, driver->sessionId());
        ASSERT_TRUE(runUntil(loop, [&] { return anyContains(engine->completed, url); }))
            << "never completed: " << url;
    }

    TempDir dir;
    HttpServer server;
    vantrel::posix::StdEventLoop loop;
    std::unique_ptr<vantrel::chromium::ChromiumShell> shell;
    std::unique_ptr<TestEngine> engine;
    std::unique_ptr<PageDriver> driver;
};

}  // namespace chromium_test
