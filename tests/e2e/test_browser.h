#pragma once

// A browser of the test's own for `vantrelctl watch` to attach to, and bounded polling.

#include <fstream>
#include <sstream>

#include "chromium_test_support.h"

namespace chromium_test {

// Polls `done` (bounded); for states of the browser the test can only ask about.
inline bool eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream data;
    data << file.rdbuf();
    return data.str();
}

// A browser of the test's own: a DevTools port for the watcher, the pipe for the test.
class TestBrowser {
  public:
    TestBrowser(const TempDir& dir, bool headless,
                const std::vector<std::string>& extraArguments = {}) {
        auto options = browserOptions(dir, headless);
        options.launch.extraArguments.push_back("--remote-debugging-port=0");
        options.launch.extraArguments.insert(options.launch.extraArguments.end(),
                                             extraArguments.begin(), extraArguments.end());
        auto process = std::make_unique<vantrel::chromium::ChromiumProcess>(options.launch);
        process_ = process.get();
        connection_ = std::make_unique<vantrel::chromium::CdpConnection>(std::move(process));
        connection_->start();
        const std::string file = options.launch.userDataDir + "/DevToolsActivePort";
        // The file names the port once the browser listens.
        if (eventually([&] { return readFile(file).find('\n') != std::string::npos; })) {
            portFile_ = file;
        }
    }
    ~TestBrowser() { connection_->close(); }

    vantrel::chromium::CdpConnection& connection() { return *connection_; }
    pid_t pid() const { return process_->pid(); }
    const std::string& portFile() const { return portFile_; }
    void kill() { process_->kill(); }
    // The addresses of the page targets.
    std::vector<std::string> pages() {
        std::vector<std::string> urls;
        const Json targets = connection_->call("Target.getTargets");
        for (const auto& t : targets.value("targetInfos", Json::array())) {
            if (t.value("type", "") == "page") urls.push_back(t.value("url", ""));
        }
        return urls;
    }

  private:
    vantrel::chromium::ChromiumProcess* process_;
    std::unique_ptr<vantrel::chromium::CdpConnection> connection_;
    std::string portFile_;
};

// Evaluates in the page; null while the page is between documents.
inline Json valueIn(PageDriver& page, const std::string& expression) {
    try {
        return page.evaluate(expression);
    } catch (const vantrel::BrowserError&) {
        return Json();
    }
}

// Whether the page shows `url`, loaded: not the blank document a new window or navigation
// starts from, which is complete at once.
inline bool showsLoaded(PageDriver& page, const std::string& url) {
    return valueIn(page, "document.readyState === 'complete' && location.href") == url;
}

}  // namespace chromium_test
