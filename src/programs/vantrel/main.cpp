// The desktop program: one copy per user in the tray, the skinned main window over the model.

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <cstdlib>
#include <memory>

#include "common/error.h"
#include "gui/main_window.h"
#include "gui/tray_menu_view.h"
#include "platform/chromium/chromium_shell.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_program_process.h"
#include "platform/posix/xdg_autostart.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/single_instance.h"
#include "platform/sqlite/sqlite_registry.h"
#include "programs/vantrel/first_start.h"
#include "programs/vantrel/fixed_page_browser.h"
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(VantrelForm::kTitle));
    // The window lives in the tray: closing a message box while it is hidden must not end the
    // program.
    QApplication::setQuitOnLastWindowClosed(false);

    qt::QtDesktop desktop;
    std::unique_ptr<sqlite::SqliteRegistry> registry;
    try {
        registry = std::make_unique<sqlite::SqliteRegistry>(sqlite::defaultRegistryPath());
    } catch (const Error& e) {
        desktop.messageBox(e.what(), VantrelForm::kTitle, MessageBoxKind::Error);
        return 1;
    }
    SettingsStore store(*registry);
    qt::SingleInstance instance(qt::SingleInstance::nameForCurrentUser());

    ProgramEntry entry;
    entry.handOverToRunningCopy = [&] { return instance.handOverToRunningCopy(); };
    entry.firstRunSequence = [&] { runFirstStart(store, desktop); };
    entry.runMainWindow = [&] {
        qt::QtEventLoop loop;
        posix::PosixFileSystem files;
        posix::PosixProgramProcess process;
        const std::string executable = posix::XdgAutostart::runningExecutable();
        const std::string programFolder = programFolderOf(executable);
        const Configuration configuration = store.loadConfiguration();
        std::unique_ptr<BrowserShell> browsers;
        if (auto standIn = browserStandIn()) {
            desktop.setForegroundWindowSource(
                [shell = standIn.get()] { return shell->foregroundWindow(); });
            browsers = std::move(standIn);
        } else {
            auto chromium = std::make_unique<chromium::ChromiumShell>(
                loop, chromium::browserOptions(configuration, programFolder));
            desktop.setForegroundWindowSource(
                [shell = chromium.get()] { return shell->foregroundWindow(); });
            browsers = std::move(chromium);
        }
        curl::CurlHttpTransport http(loop);
        posix::XdgAutostart autostart(files, posix::XdgAutostart::userConfigHome(), executable);

        VantrelPlatform platform{loop, files,   *registry,     *browsers,     desktop,
                                 http, process, programFolder, configuration, &autostart};
        VantrelForm form(platform);
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
        // Ending the session ends the program as closing it does, without the question.
        onTerminationSignal([&] { form.application.close(); });
        // A later start (the browser button) hands over: the front site goes to the blacklist.
        instance.listen([&] { form.hotKeys.browserButtonMessage(); });

        form.FormCreate();
        centre(window);
        window.show();
        if (!form.application.closed()) QApplication::exec();
        form.FormDestroy();
        desktop.setMainWindow(nullptr);
        desktop.setTrayHandler({});
        desktop.setHotKeyHandler({});
        desktop.setForegroundWindowSource({});
        return 0;
    };
    return runProgram(std::vector<std::string>(argv + 1, argv + argc), store, desktop, entry);
}
