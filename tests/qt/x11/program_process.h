#pragma once

// The desktop program `vantrel` as a child of a test on the private display, and the tools
// the program tests share: bounded waits that keep Qt's events flowing, xdotool, file contents.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/sqlite/sqlite_registry.h"
#include "settings/settings_store.h"

// Generous: on a loaded machine the program's first start takes seconds.
inline bool runUntil(const std::function<bool()>& done, int ms = 30000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

inline QString xdotool(const QStringList& args) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), args);
    if (!tool.waitForFinished(5000)) tool.kill();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// Activates the first visible window whose name contains `title`, as the user's click on it
// does; true when it is then the active window.
inline bool activateWindowNamed(const QString& title) {
    const QString window =
        xdotool({"search", "--onlyvisible", "--name", title}).section('\n', 0, 0);
    if (window.isEmpty()) return false;
    xdotool({"windowactivate", "--sync", window});
    return xdotool({"getactivewindow", "getwindowname"}).contains(title);
}

// Top-left corner and size of a window on the screen.
inline QRect geometryOf(const QString& window) {
    QMap<QString, int> values;
    for (const QString& line : xdotool({"getwindowgeometry", "--shell", window}).split('\n')) {
        values[line.section('=', 0, 0)] = line.section('=', 1).toInt();
    }
    return {values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]};
}

// The program's main window on screen for the process `pid`, or none. The tray icon bears the
// same name, at an icon's size.
inline QString mainWindowOf(const QString& pid) {
    for (const QString& id :
         xdotool({"search", "--onlyvisible", "--pid", pid, "--name", "^Vantrel$"})
             .split('\n', Qt::SkipEmptyParts)) {
        const QRect where = geometryOf(id);
        if (where.width() > 100 && where.height() > 100) return id;
    }
    return {};
}

inline QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// The vantrel program copied into a folder of its own (its lists and placeholders go there),
// with its settings, login entry and home in that folder too. `browser` replaces Chromium by a
// stand-in (VANTREL_BROWSER); empty leaves the real browser adapter, which `settings` (written
// before the start) can point at a browser of the test's own.
class Program {
  public:
    // `prepare` runs on the program's folder before the start.
    explicit Program(const QString& browser,
                     const std::map<std::string, std::string>& settings = {},
                     const std::function<void(const QDir& folder)>& prepare = {}) {
        programPath_ = dir_.filePath(QStringLiteral("vantrel"));
        QFile::copy(QStringLiteral(VANTREL_PATH), programPath_);
        // Installed beside it: the keeper of the browser the program starts.
        QFile::copy(QStringLiteral(VANTREL_KEEPER_PATH),
                    dir_.filePath(QStringLiteral("vantrel-keeper")));
        // A later start unless the test asks for the first: the first-run screens wait for the
        // user.
        if (!settings.contains("is_introduced")) {
            registry().writeValue(vantrel::SettingsStore::kKey, "is_introduced", "1");
        }
        for (const auto& [name, value] : settings) {
            registry().writeValue(vantrel::SettingsStore::kKey, name, value);
        }
        if (prepare) prepare(QDir(dir_.path()));
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.insert(QStringLiteral("VANTREL_REGISTRY"), file("registry.db"));
        environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), file("config"));
        // The browser button's host manifests go to the browsers' folders under the home.
        environment_.insert(QStringLiteral("HOME"), dir_.path());
        environment_.remove(QStringLiteral("VANTREL_BROWSER"));
        if (!browser.isEmpty()) environment_.insert(QStringLiteral("VANTREL_BROWSER"), browser);
        environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process_.setProcessEnvironment(environment_);
        QObject::connect(&process_, &QProcess::readyReadStandardError, [this] {
            const QByteArray text = process_.readAllStandardError();
            errors_ += QString::fromLocal8Bit(text);
            std::fputs(text.constData(), stderr);  // still seen when a test fails
        });
        process_.start(programPath_, {});
    }
    ~Program() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // A second start of the same program, as the browser button does; its exit code.
    std::optional<int> startAgain() const {
        QProcess second;
        second.setProcessEnvironment(environment_);
        second.start(programPath_, {});
        if (!second.waitForFinished(10000)) {
            second.kill();
            second.waitForFinished(5000);
            return std::nullopt;
        }
        if (second.exitStatus() != QProcess::NormalExit) return std::nullopt;
        return second.exitCode();
    }

    // The main window on screen, or none.
    QString mainWindow() const { return mainWindowOf(pid()); }
    // SIGTERM, as the session's end sends it; true when the program then ended normally with 0.
    bool terminate() { return terminated() == 0; }
    // SIGTERM; the exit status, or none when the program did not end normally in time.
    std::optional<int> terminated() {
        process_.terminate();
        return ended();
    }
    // The exit status once the program has ended by itself, or none.
    std::optional<int> ended(int ms = 30000) {
        if (!runUntil([&] { return process_.state() == QProcess::NotRunning; }, ms)) return {};
        if (process_.exitStatus() != QProcess::NormalExit) return {};
        return process_.exitCode();
    }
    // What the program wrote on standard error so far.
    QString errors() {
        QCoreApplication::processEvents();
        return errors_;
    }
    // A stored setting; empty when there is none.
    QString storedValue(const char* name) const {
        return QString::fromStdString(registry().readValue(vantrel::SettingsStore::kKey, name));
    }
    // The environment of its start: its settings, home and display.
    const QProcessEnvironment& environment() const { return environment_; }
    QString pid() const { return QString::number(process_.processId()); }
    QString file(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    bool running() const { return process_.state() == QProcess::Running; }

  private:
    vantrel::sqlite::SqliteRegistry registry() const {
        return vantrel::sqlite::SqliteRegistry(file("registry.db").toStdString());
    }

    QTemporaryDir dir_;
    QString programPath_;
    QProcessEnvironment environment_;
    QProcess process_;
    QString errors_;
};
