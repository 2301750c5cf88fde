// The desktop program: one copy per user in the tray, the skinned main window over the model.

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QSessionManager>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <utility>

#include "common/error.h"
#include "gui/main_window.h"
#include "gui/tray_menu_view.h"
#include "platform/chromium/chromium_shell.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/extension/browser_watch.h"
#include "platform/extension/rules_follower.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_program_process.h"
#include "platform/posix/xdg_autostart.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/single_instance.h"
#include "platform/sqlite/sqlite_registry.h"
#include "programs/vantrel/browser_button_setup.h"
#include "programs/vantrel/display_check.h"
#include "programs/vantrel/first_start.h"
#include "programs/vantrel/fixed_page_browser.h"
#include "programs/vantrel/native_host.h"
#include "programs/vantrel/termination_signal.h"
#include "shell/program_entry.h"
#include "shell/vantrel_form.h"

using namespace vantrel;

namespace {

// The folder of the running executable, with its trailing "/": lists and placeholders live there.
std::string programFolderOf(const std::string& executable) {
    return executable.substr(0, executable.rfind('/') + 1);
}

// Tests of the desktop side run without Chromium: VANTREL_BROWSER=none gives a browser with no
// window, VANTREL_BROWSER=page:ADDRESS one window in front showing ADDRESS.
std::unique_ptr<FixedPageBrowser> browserStandIn() {
    const char* browser = std::getenv("VANTREL_BROWSER");
    if (browser == nullptr) return nullptr;
    const std::string choice(browser);
    if (choice == "none") return std::make_unique<FixedPageBrowser>(std::nullopt);
    if (choice.starts_with("page:")) return std::make_unique<FixedPageBrowser>(choice.substr(5));
    return nullptr;
}

void centre(QWidget& window) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    window.move(screen.center() - window.rect().center());
}

// Qt ends the process with exit(1) when the connection to the display breaks. While the main
// window runs, this holds the shutdown that must still save what the program holds.
std::function<void()> shutdownAtExit;

void runShutdownAtExit() {
    if (auto shutdown = std::exchange(shutdownAtExit, {})) shutdown();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // Started by a browser as the extension's host: no window, no settings. A host started
    // for another extension does nothing at all.
    switch (webext::hostCaller(arguments)) {
        case webext::HostCaller::Vantrel:
            return runNativeHost(argc, argv, posix::XdgAutostart::runningExecutable());
        case webext::HostCaller::Foreign:
            return 1;
        case webext::HostCaller::None:
            break;
    }
    if (const auto missing = missingDisplay()) {
        std::fprintf(stderr, "%s\n", missing->c_str());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(VantrelForm::kTitle));
    // The window lives in the tray: closing a message box while it is hidden must not end the
    // program.
    QApplication::setQuitOnLastWindowClosed(false);

    qt::QtDesktop desktop;
    // Any failure of the settings store at the start is shown once and ends the program; the
    // file is left as it is.
    const std::string registryPath = sqlite::defaultRegistryPath();
    std::unique_ptr<sqlite::SqliteRegistry> registry;
    Configuration configuration;
    try {
        registry = std::make_unique<sqlite::SqliteRegistry>(registryPath);
        configuration = SettingsStore(*registry).loadConfiguration();
    } catch (const Error& e) {
        desktop.messageBox(std::string(e.what()) + "\r\rTo start again with new settings, move \"" +
                               registryPath + "\" aside (rename it), then start Vantrel.",
                           VantrelForm::kTitle, MessageBoxKind::Error);
        return 1;
    }
    SettingsStore store(*registry);
    qt::SingleInstance instance(qt::SingleInstance::nameForThisSession());

    ProgramEntry entry;
    // A copy that is busy for a while is still the running copy: this start never becomes a
    // second one.
    entry.handOverToRunningCopy = [&] {
        return instance.handOverToRunningCopy() != qt::SingleInstance::HandOver::NoCopy;
    };
    entry.firstRunSequence = [&] { runFirstStart(store, desktop); };
    entry.runMainWindow = [&] {
        qt::QtEventLoop loop;
        posix::PosixFileSystem files;
        posix::PosixProgramProcess process;
        const std::string executable = posix::XdgAutostart::runningExecutable();
        const std::string programFolder = programFolderOf(executable);
        std::unique_ptr<FixedPageBrowser> standIn = browserStandIn();
        std::unique_ptr<extension::BrowserWatch> watch;
        std::unique_ptr<webext::BrowserExtension> button;
        if (standIn) {
            desktop.setForegroundWindowSource(
                [shell = standIn.get()] { return shell->foregroundWindow(); });
        } else {
            auto options = chromium::browserOptions(configuration, programFolder);
            button = setUpBrowserButton(files, programFolder, executable, options);
            watch = std::make_unique<extension::BrowserWatch>(loop, std::move(options), std::cerr);
            desktop.setForegroundWindowSource(
                [shell = watch.get()] { return shell->foregroundWindow(); });
        }
        BrowserShell& browsers = standIn ? static_cast<BrowserShell&>(*standIn) : watch->shell();
        curl::CurlHttpTransport http(loop);
        posix::XdgAutostart autostart(files, posix::XdgAutostart::userConfigHome(), executable);

        VantrelPlatform platform{loop, files,        *registry,     browsers,      desktop,
                                 http, process,      programFolder, configuration, &autostart,
                                 true, button.get(), watch.get()};
        VantrelForm form(platform);
        std::unique_ptr<extension::RulesFollower> requestRules;
        if (watch) {
            requestRules = std::make_unique<extension::RulesFollower>(
                loop, form.lists.CleanList, form.lists.BlackList, configuration.vtr_server_ip,
                watch->extension());
        }
        gui::MainWindow window(form);
        gui::TrayMenuView trayMenu(form.trayMenu, [&window](const std::function<void()>& handler) {
            window.forward(handler);
        });
        desktop.setMainWindow(&window);
        desktop.setTrayHandler(
            [&](int message) { window.forward([&] { form.trayMenu.TrayMessage(message); }); });
        desktop.setHotKeyHandler(
            [&](int id) { window.forward([&] { form.hotKeys.hotKeyMessage(id); }); });
        form.trayMenu.setShowMenu([&] {
            window.raise();
            trayMenu.open(QCursor::pos());
        });
        // An end nobody started from the window (SIGTERM, Ctrl+C, the session's end, a lost
        // display) shuts down as closing does, without the question and without waiting on a
        // box: failures go to standard error, and the exit status is then 1.
        bool unattended = false;
        const auto endUnattended = [&] {
            unattended = true;
            desktop.reportOnStandardError();
        };
        window.setSessionEndHandler(endUnattended);
        onTerminationSignal([&] { window.endSession(); });
        QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                         [&](QSessionManager&) { window.endSession(); });
        static const bool atExitSet = std::atexit(runShutdownAtExit) == 0;
        (void)atExitSet;
        shutdownAtExit = [&] {
            desktop.forgetDisplay();
            endUnattended();
            form.FormDestroy();
        };
        // A later start (the browser button) hands over: the front site goes to the blacklist.
        instance.listen([&] { form.hotKeys.browserButtonMessage(); });

        form.FormCreate();
        centre(window);
        window.show();
        if (!form.application.closed()) QApplication::exec();
        shutdownAtExit = {};
        form.FormDestroy();
        desktop.setMainWindow(nullptr);
        desktop.setTrayHandler({});
        desktop.setHotKeyHandler({});
        desktop.setForegroundWindowSource({});
        return unattended && desktop.reportedAnError() ? 1 : 0;
    };
    return runProgram(arguments, store, desktop, entry);
}
