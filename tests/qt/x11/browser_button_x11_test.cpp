// The "Kill popup" browser button: the program as the browser's native-messaging host, fed bad
// input by the test, and real presses in a Chromium that Vantrel started itself or that the test
// started with the extension loaded. The test presses the button through the DevTools command
// Extensions.triggerAction, which runs the extension's action on a tab as a click on the toolbar
// button does.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <cstring>
#include <memory>

#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/websocket_transport.h"
#include "platform/qt/single_instance.h"
#include "platform/webext/browser_extension.h"
#include "platform/webext/native_messaging.h"
#include "program_process.h"
#include "tests/adapters/scoped_env.h"
#include "tests/e2e/session_sweep.h"
#include "tests/e2e/test_browser.h"

namespace {

using namespace std::chrono_literals;
using chromium_test::Json;
using vantrel::webext::kChromiumExtensionId;

constexpr const char* kTitle = "Vantrel button page";
constexpr const char* kOtherTitle = "Another site";

QString extensionOrigin() {
    return QStringLiteral("chrome-extension://%1/").arg(QString::fromLatin1(kChromiumExtensionId));
}

QByteArray framed(const std::string& json) {
    return QByteArray::fromStdString(vantrel::webext::frameNativeMessage(json));
}

QByteArray lengthOnly(quint32 length) {
    QByteArray prefix(4, '\0');
    std::memcpy(prefix.data(), &length, 4);
    return prefix;
}

// The program started as the browser starts its host: `input` on standard input, which stays
// open unless `closeInput`. Its answer; nothing when it did not end normally within the bound.
struct HostRun {
    bool ended = false;
    int exitCode = -1;
    qint64 ms = 0;
    QByteArray answer;
};
HostRun runHost(const QString& program, const QByteArray& input, bool closeInput = true) {
    QProcess host;
    host.start(program, {extensionOrigin()});
    QElapsedTimer clock;
    clock.start();
    if (!host.waitForStarted(5000)) return {};
    host.write(input);
    host.waitForBytesWritten(1000);
    if (closeInput) host.closeWriteChannel();
    HostRun run;
    run.ended = host.waitForFinished(5000) && host.exitStatus() == QProcess::NormalExit;
    run.ms = clock.elapsed();
    if (!run.ended) {
        host.kill();
        host.waitForFinished(5000);
        return run;
    }
    run.exitCode = host.exitCode();
    run.answer = host.readAllStandardOutput();
    return run;
}

// The browser Vantrel started, driven by the test through its DevTools port.
class DrivenBrowser {
  public:
    ~DrivenBrowser() { close(); }

    // The browser started with `profile`, once it has written its port there.
    bool attach(const std::string& profile) {
        const std::string file = profile + "/DevToolsActivePort";
        if (!runUntil([&] { return readAll(QString::fromStdString(file)).contains('\n'); }))
            return false;
        try {
            start(vantrel::chromium::connectWebSocket(file, 5s));
        } catch (const vantrel::BrowserError&) {
            return false;
        }
        return true;
    }
    Json call(const std::string& method, Json params = Json::object(),
              const std::string& session = {}) {
        return connection_->call(method, std::move(params), session);
    }
    // A command whose answer the test does not wait for.
    void send(const std::string& method, Json params, const std::string& session) {
        connection_->send(method, std::move(params), session);
    }
    // The target of the given type whose address contains `part`; empty when none.
    std::string target(const std::string& type, const std::string& part) {
        const Json filter = Json::array({{{"type", type}}});
        const Json targets = call("Target.getTargets", {{"filter", filter}});
        for (const auto& t : targets.value("targetInfos", Json::array())) {
            if (t.value("url", "").find(part) != std::string::npos) return t.value("targetId", "");
        }
        return {};
    }
    // Whether the extension's background script has run: the service worker's target is there
    // before that, and a press that comes earlier finds no listener and is lost.
    bool buttonListening() {
        const std::string worker = target("service_worker", kChromiumExtensionId);
        if (worker.empty()) return false;
        try {
            const std::string session =
                call("Target.attachToTarget", {{"targetId", worker}, {"flatten", true}})
                    .value("sessionId", "");
            const Json answer =
                call("Runtime.evaluate", {{"expression", "chrome.action.onClicked.hasListeners()"}},
                     session);
            call("Target.detachFromTarget", {{"sessionId", session}});
            return answer.value("result", Json::object()).value("value", false);
        } catch (const vantrel::BrowserError&) {
            return false;
        }
    }
    // The toolbar button pressed on the tab showing `part`.
    bool press(const std::string& part) {
        try {
            call("Extensions.triggerAction",
                 {{"id", kChromiumExtensionId}, {"targetId", target("tab", part)}});
            return true;
        } catch (const vantrel::BrowserError& e) {
            std::printf("press: %s\n", e.what());
            return false;
        }
    }
    // Ends the browser and waits until it is gone.
    void close() {
        if (!connection_) return;
        connection_->send("Browser.close", Json::object());
        runUntil([&] { return !connection_->isOpen(); }, 10000);
        connection_->close();
        connection_.reset();
    }

  private:
    void start(std::unique_ptr<vantrel::chromium::CdpTransport> transport) {
        connection_ = std::make_unique<vantrel::chromium::CdpConnection>(std::move(transport));
        connection_->start();
    }

    std::unique_ptr<vantrel::chromium::CdpConnection> connection_;
};

// Loads `url`, a page titled `title`, in the browser's page and brings its window in front as
// the user would.
bool showInFront(DrivenBrowser& browser, const std::string& url, const char* title = kTitle) {
    const std::string page = browser.target("page", "");
    if (page.empty()) return false;
    const std::string session =
        browser.call("Target.attachToTarget", {{"targetId", page}, {"flatten", true}})
            .value("sessionId", "");
    // On a loaded machine the navigation may answer late; the window's title tells when it came.
    browser.send("Page.navigate", {{"url", url}}, session);
    return runUntil(
        [&] {
            browser.send("Page.bringToFront", Json::object(), session);
            return activateWindowNamed(QString::fromLatin1(title));
        },
        30000);
}

bool blacklisted(const Program& program, const char* site = "127.0.0.1") {
    return readAll(program.file("blacklist.lis")).contains(QString::fromLatin1(site));
}

// The copy of the program that takes hand-overs on this display: its process id, 0 when none
// answers. Connecting without a message hands nothing over.
pid_t listeningCopy() {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(vantrel::qt::SingleInstance::nameForThisSession());
    if (!socket.waitForConnected(1000)) return 0;
    ucred peer{};
    socklen_t length = sizeof peer;
    const int fd = int(socket.socketDescriptor());
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 ? peer.pid : 0;
}

// A process that has not ended (a zombie has).
bool alive(pid_t pid) {
    const QString stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const QString state = stat.section(QStringLiteral(") "), 1).left(1);
    return !state.isEmpty() && state != QLatin1String("Z") && state != QLatin1String("X");
}

QString executableOf(pid_t pid) {
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
}

// The copy of `executable` that a press started outside the test's children: ended by its id
// when the test ends, whether or not the test saw it come up.
class StartedCopy {
  public:
    explicit StartedCopy(QString executable) : executable_(std::move(executable)) {}
    ~StartedCopy() {
        const pid_t pid = listeningCopy();
        if (pid <= 0 || executableOf(pid) != executable_) return;
        ::kill(pid, SIGTERM);
        if (runUntil([&] { return !alive(pid); }, 10000)) return;
        ::kill(pid, SIGKILL);
        runUntil([&] { return !alive(pid); }, 5000);
    }
    StartedCopy(const StartedCopy&) = delete;
    StartedCopy& operator=(const StartedCopy&) = delete;

  private:
    QString executable_;
};

// The user's own Chromium, started by the test with the extension that `program` wrote loaded
// and the program's settings and home in its environment, as a browser the program did not start.
class OwnBrowser {
  public:
    OwnBrowser(const Program& program, const std::string& profile, const std::string& url) {
        QProcessEnvironment environment = program.environment();
        // The copy a press starts must not start a second browser on the same profile.
        environment.insert(QStringLiteral("VANTREL_BROWSER"), QStringLiteral("none"));
        process_.setProcessEnvironment(environment);
        // What the browser and its hosts write on standard error goes to a file, not to a pipe
        // that ends with the test's hold on it.
        process_.setStandardOutputFile(program.file("browser.log"));
        process_.setStandardErrorFile(program.file("browser.log"));
        QStringList arguments = {"--remote-debugging-port=0",
                                 "--no-first-run",
                                 "--disable-gpu",
                                 "--disable-background-networking",
                                 "--disable-component-update",
                                 "--disable-sync",
                                 "--window-size=1000,700",
                                 QString::fromStdString("--user-data-dir=" + profile),
                                 "--load-extension=" + program.file("browser-extension"),
                                 QString::fromStdString(url)};
        if (::geteuid() == 0) arguments.push_back(QStringLiteral("--no-sandbox"));
        process_.start(QStringLiteral("chromium"), arguments);
    }
    // Ends the browser as its user does, and waits until it is gone.
    ~OwnBrowser() { end(); }
    OwnBrowser(const OwnBrowser&) = delete;
    OwnBrowser& operator=(const OwnBrowser&) = delete;

    DrivenBrowser& driven() { return driven_; }
    bool end() {
        driven_.close();
        if (process_.waitForFinished(10000)) return true;
        process_.kill();
        process_.waitForFinished(5000);
        return false;
    }

  private:
    QProcess process_;
    DrivenBrowser driven_;
};

}  // namespace

TEST(BrowserButtonHost, BadInputHandsNothingOverAndEndsAtOnce) {
    const QString site = QStringLiteral("bad-input.example");
    Program program(QStringLiteral("page:http://") + site + "/");
    ASSERT_TRUE(runUntil([&] { return !program.mainWindow().isEmpty(); }));
    const QString host = QStringLiteral(VANTREL_PATH);

    const std::vector<std::pair<const char*, HostRun>> runs = {
        {"input closed at once", runHost(host, {})},
        {"garbage", runHost(host, "GET / HTTP/1.1\r\n\r\n")},
        {"truncated length", runHost(host, QByteArray("\x05\x00", 2))},
        {"text shorter than its length", runHost(host, lengthOnly(50) + "{\"command\"")},
        {"over the browser's limit, input left open",
         runHost(host, lengthOnly(vantrel::webext::kMaxMessageFromHost + 1), false)},
        {"nothing, input left open", runHost(host, {}, false)},
        {"framed text that is not JSON", runHost(host, framed("{command: button"))},
        {"another message", runHost(host, framed(R"({"command":"other"})"))},
    };
    for (const auto& [what, run] : runs) {
        EXPECT_TRUE(run.ended) << what;
        EXPECT_EQ(run.exitCode, 1) << what;
        EXPECT_TRUE(run.answer.isEmpty()) << what;
        std::printf("host with %s: ended after %lld ms\n", what, static_cast<long long>(run.ms));
    }
    // The hand-over would list the site 100 ms later; the button's message does.
    runUntil([] { return false; }, 500);
    EXPECT_FALSE(readAll(program.file("blacklist.lis")).contains(site));
    const HostRun press = runHost(host, framed(R"({"command":"button"})"));
    EXPECT_EQ(press.exitCode, 0);
    EXPECT_EQ(press.answer, framed(R"({"result":"received"})"));
    EXPECT_TRUE(runUntil([&] { return readAll(program.file("blacklist.lis")).contains(site); }));
}

// A page of a local server in front, and a fresh profile for the browser.
class BrowserButtonWithChromium : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty()) {
            GTEST_SKIP() << "chromium is not installed";
        }
        server.page("/", std::string("<title>") + kTitle + "</title>front page");
        server.page("/other", std::string("<title>") + kOtherTitle + "</title>other page");
    }

    TempDir dir;
    chromium_test::HttpServer server;
    const std::string url = server.url("127.0.0.1", "/");
    const std::string otherUrl = server.url("localhost", "/other");
    const std::string profile = dir.path() + "profile";
    // The keeper of the browser a start leaves running serves in the test's own folder; the
    // test ends it with its browser.
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().c_str()};
    chromium_test::SessionSweep sweep{profile};
};

TEST_F(BrowserButtonWithChromium, EachPressBlacklistsTheFrontSiteAlsoAfterTheProgramMoved) {
    // Vantrel starts the browser itself; the test reaches it through a DevTools port.
    const std::map<std::string, std::string> settings = {
        {"vtr_browser_cmd",
         "chromium --remote-debugging-port=0 --window-size=1000,700 "
         "--user-data-dir=" +
             profile},
        {"vtr_server", server.url("127.0.0.1", "")}};
    {
        DrivenBrowser browser;
        Program program(QString(), settings);
        ASSERT_TRUE(browser.attach(profile)) << "the browser Vantrel started has no DevTools port";
        // Loaded with its fixed id: the background script runs at its stable address.
        EXPECT_TRUE(runUntil([&] { return browser.buttonListening(); }));
        ASSERT_TRUE(showInFront(browser, url));
        ASSERT_TRUE(browser.press(url));
        EXPECT_TRUE(runUntil([&] { return blacklisted(program); }))
            << readAll(program.file("blacklist.lis")).toStdString();
        // A second press on another site lists that one too; the count is saved at the end.
        ASSERT_TRUE(showInFront(browser, otherUrl, kOtherTitle));
        ASSERT_TRUE(browser.press(otherUrl));
        EXPECT_TRUE(runUntil([&] { return blacklisted(program, "localhost"); }));
        EXPECT_TRUE(program.terminate());
        EXPECT_EQ(program.storedValue("vtr_count").toInt(), 2);
        // The browser outlives the program; the test ends it here, and its keeper with it.
    }
    ::unlink((profile + "/DevToolsActivePort").c_str());  // left behind by the browser

    // The program moved: its next start names the new place, where the press finds it.
    Program moved(QString(), settings);
    {
        DrivenBrowser browser;
        ASSERT_TRUE(browser.attach(profile));
        const Json host = Json::parse(
            chromium_test::readFile(profile + "/NativeMessagingHosts/vantrel.host.json"), nullptr,
            false);
        EXPECT_EQ(host.value("path", ""), moved.file("vantrel").toStdString());
        // A browser started again: a press before its background script listens is lost.
        EXPECT_TRUE(runUntil([&] { return browser.buttonListening(); }));
        ASSERT_TRUE(showInFront(browser, url));
        ASSERT_TRUE(browser.press(url));
        EXPECT_TRUE(runUntil([&] { return blacklisted(moved); }));
        EXPECT_TRUE(moved.terminate());
    }
}

TEST_F(BrowserButtonWithChromium, WithNoCopyRunningThePressStartsOneThatOutlivesTheBrowser) {
    // A first start writes the extension and the host manifest for this profile, then ends, and
    // the test ends the browser it started (which outlives it) with that browser's keeper.
    Program program(QString(), {{"vtr_browser_cmd", "chromium --user-data-dir=" + profile},
                                {"vtr_server", server.url("127.0.0.1", "")}});
    ASSERT_TRUE(runUntil([&] {
        return QFileInfo::exists(QString::fromStdString(profile) +
                                 "/NativeMessagingHosts/vantrel.host.json");
    }));
    ASSERT_TRUE(program.terminate());
    ASSERT_EQ(listeningCopy(), 0);
    ASSERT_TRUE(chromium_test::endSessionsNaming(profile));
    ::unlink((profile + "/DevToolsActivePort").c_str());

    StartedCopy started(program.file("vantrel"));
    pid_t copy = 0;
    {
        OwnBrowser browser(program, profile, url);
        DrivenBrowser& driven = browser.driven();
        ASSERT_TRUE(driven.attach(profile)) << readAll(program.file("browser.log")).toStdString();
        ASSERT_TRUE(runUntil([&] { return driven.buttonListening(); }));
        ASSERT_TRUE(driven.press(url));
        ASSERT_TRUE(runUntil([&] { return (copy = listeningCopy()) != 0; }))
            << readAll(program.file("browser.log")).toStdString();
        EXPECT_EQ(executableOf(copy), program.file("vantrel"));
        // Its own session: neither the browser's process group nor its session.
        EXPECT_EQ(::getsid(copy), copy);
        // No pipe of the browser's: writing to one after the browser has gone would end it.
        for (const int fd : {0, 1, 2}) {
            const QString target =
                QFileInfo(QStringLiteral("/proc/%1/fd/%2").arg(copy).arg(fd)).symLinkTarget();
            EXPECT_EQ(target.toStdString(), "/dev/null") << "descriptor " << fd;
        }
        // Started with the program's own settings: the main window, not the first-run screens.
        EXPECT_TRUE(runUntil([&] { return !mainWindowOf(QString::number(copy)).isEmpty(); }));
        EXPECT_TRUE(browser.end());
    }
    runUntil([] { return false; }, 1000);
    EXPECT_TRUE(alive(copy));
    EXPECT_EQ(listeningCopy(), copy);
}
