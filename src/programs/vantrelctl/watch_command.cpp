// vantrelctl watch: the blocking engine against the user's Chromium without the desktop program.
// Kills are printed as log rows the moment they are made; SIGINT or SIGTERM end it as the
// program ends.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <thread>

#include "platform/chromium/chromium_shell.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/extension/browser_watch.h"
#include "platform/extension/rules_follower.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_program_process.h"
#include "platform/posix/std_event_loop.h"
#include "platform/sqlite/sqlite_registry.h"
#include "platform/x11/headless_desktop.h"
#include "programs/vantrelctl/command.h"
#include "shell/vantrel_form.h"

namespace vantrelctl {
namespace {

using vantrel::EventLoop;

int signalPipe[2] = {-1, -1};

extern "C" void onQuitSignal(int) {
    const char signalled = 1;
    (void)!::write(signalPipe[1], &signalled, 1);
}

// Quits the loop at SIGINT or SIGTERM. The handler only writes to a pipe (all it may safely
// do); a thread turns that into a quit on the loop's thread.
class QuitOnSignal {
  public:
    explicit QuitOnSignal(vantrel::posix::StdEventLoop& loop) {
        if (::pipe2(signalPipe, O_CLOEXEC) != 0) throw UsageError("cannot create a pipe");
        struct sigaction action {};
        action.sa_handler = onQuitSignal;
        ::sigemptyset(&action.sa_mask);
        for (int signal : {SIGINT, SIGTERM}) ::sigaction(signal, &action, nullptr);
        thread_ = std::thread([&loop] {
            char signalled = 0;
            while (::read(signalPipe[0], &signalled, 1) < 0 && errno == EINTR) {
            }
            if (signalled == 1) loop.quit();
        });
    }
    ~QuitOnSignal() {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        for (int signal : {SIGINT, SIGTERM}) ::sigaction(signal, &action, nullptr);
        const char stop = 0;
        (void)!::write(signalPipe[1], &stop, 1);
        thread_.join();
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
    }
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

  private:
    std::thread thread_;
};

// The program's loop: every task is followed by `afterTask`, so that a row the task logged is
// printed at once, whatever part of the engine made it.
class ReportingLoop : public EventLoop {
  public:
    ReportingLoop(EventLoop& inner, std::function<void()> afterTask)
        : inner_(inner), afterTask_(std::move(afterTask)) {}

    Millis now() const override { return inner_.now(); }
    vantrel::LocalDateTime localTime() const override { return inner_.localTime(); }
    TaskId scheduleAt(Millis due, std::function<void()> task) override {
        return inner_.scheduleAt(due, reporting(std::move(task)));
    }
    void cancel(TaskId id) override { inner_.cancel(id); }
    void post(std::function<void()> task) override { inner_.post(reporting(std::move(task))); }

  private:
    std::function<void()> reporting(std::function<void()> task) {
        return [this, task = std::move(task)] {
            task();
            afterTask_();
        };
    }

    EventLoop& inner_;
    std::function<void()> afterTask_;
};

// Prints the kills among the rows of the log that are new since the last call (its notes
// about the browsers are on standard error already, as the watched browsers and the tip).
class LogPrinter {
  public:
    explicit LogPrinter(const vantrel::ListView& log) : log_(log) {}
    void printNewRows() {
        if (log_.rowCount() < printed_) printed_ = 0;  // the log was cleared
        for (; printed_ < log_.rowCount(); ++printed_) {
            const auto& row = log_.row(printed_);
            if (vantrel::KillLog::isNote(row)) continue;
            std::cout << row.at(vantrel::KillLog::TimeColumn) << '\t'
                      << row.at(vantrel::KillLog::KilledAdsColumn) << '\n';
        }
        std::cout.flush();
    }

  private:
    const vantrel::ListView& log_;
    size_t printed_ = 0;
};

std::string executableFolder() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw UsageError("cannot tell the folder of the program; give --lists DIR");
    return path.parent_path().string();
}

std::string folderPath(std::string folder) {
    if (!std::filesystem::is_directory(folder)) {
        throw UsageError("lists folder \"" + folder + "\" is no folder");
    }
    if (folder.back() != '/') folder += '/';
    return folder;
}

int runWatch(Args args) {
    const std::string attach = takeOption(args, "--attach");
    std::string lists = takeOption(args, "--lists");
    std::string registryPath = takeOption(args, "--registry");
    rejectUnknownOptions(args);
    if (!args.empty()) throw UsageError("unexpected argument " + args.front());
    const std::string folder = folderPath(lists.empty() ? executableFolder() : lists);
    if (registryPath.empty()) registryPath = vantrel::sqlite::defaultRegistryPath();

    vantrel::sqlite::SqliteRegistry registry(registryPath);
    vantrel::Configuration configuration = vantrel::SettingsStore(registry).loadConfiguration();
    if (!attach.empty()) configuration.vtr_browser = attach;

    vantrel::posix::StdEventLoop stdLoop;
    std::function<void()> afterTask = [] {};
    ReportingLoop loop(stdLoop, [&] { afterTask(); });
    vantrel::posix::PosixFileSystem files;
    vantrel::curl::CurlHttpTransport http(loop);
    vantrel::posix::PosixProgramProcess process;
    vantrel::extension::BrowserWatch browsers(
        loop, vantrel::chromium::browserOptions(configuration, folder), std::cerr);
    vantrel::x11::HeadlessDesktop desktop(loop, std::cerr);
    desktop.setForegroundWindowSource([&] { return browsers.foregroundWindow(); });
    // Updates are the desktop program's: the watcher neither checks nor declines them.
    vantrel::VantrelForm form({loop, files, registry, browsers.shell(), desktop, http, process,
                               folder, configuration, nullptr, false, nullptr, &browsers});
    desktop.setHotKeyHandler([&](int id) { form.hotKeys.hotKeyMessage(id); });
    vantrel::extension::RulesFollower requestRules(loop, form.lists.CleanList, form.lists.BlackList,
                                                   configuration.vtr_server_ip,
                                                   browsers.extension());
    LogPrinter printer(form.killLog.ListViewLog);
    afterTask = [&] { printer.printNewRows(); };

    QuitOnSignal quitOnSignal(stdLoop);
    if (!form.FormCreate()) return 2;
    std::cerr << "connected" << std::endl;
    printer.printNewRows();
    stdLoop.run();

    const int errorsBefore = desktop.errorsShown();
    form.FormDestroy();
    // Settings or lists that could not be saved are no clean end.
    return desktop.errorsShown() == errorsBefore ? 0 : 1;
}

const Registration registration(
    "watch", {"watch [--attach ENDPOINT] [--lists DIR] [--registry DB]",
              "run the blocking engine against Chromium (started, or attached at ENDPOINT: "
              "ws://..., host:port or a DevToolsActivePort file; \"extension\": none) and "
              "every browser whose Vantrel extension connects, printing each kill as a "
              "log row, until SIGINT or SIGTERM; lists and placeholders in DIR (default: the "
              "program's folder)",
              runWatch});

}  // namespace
}  // namespace vantrelctl
