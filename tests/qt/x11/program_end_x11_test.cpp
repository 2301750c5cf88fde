#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QGuiApplication>
#include <QScreen>
#include <memory>

#include "program_process.h"
#include "x11_session.h"

namespace {

// The program's visible windows other than `except`.
QStringList windowsOf(Program& program, const QString& except = {}) {
    QStringList found;
    for (const QString& id : xdotool({"search", "--onlyvisible", "--pid", program.pid(), ""})
                                 .split('\n', Qt::SkipEmptyParts)) {
        if (id != except) found << id;
    }
    return found;
}

// A message box of the program: a visible window of its own, of a box's size.
QString messageBox(Program& program, const QString& mainWindow = {}) {
    QString box;
    runUntil([&] {
        for (const QString& id : windowsOf(program, mainWindow)) {
            const QRect where = geometryOf(id);
            if (where.width() > 100 && where.height() > 60 && where.top() > 24) box = id;
        }
        return !box.isEmpty();
    });
    return box;
}

// A click on its text gives the box the focus, as the window manager may not on request.
void pressReturnIn(const QString& box) {
    const QPoint centre = geometryOf(box).center();
    xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"});
    xdotool({"key", "Return"});
}

bool nearlyCentred(const QRect& inner, const QRect& outer) {
    const bool centred = (inner.center() - outer.center()).manhattanLength() <= 40;
    if (!centred) {
        ADD_FAILURE() << "at " << inner.x() << "," << inner.y() << " " << inner.width() << "x"
                      << inner.height() << " over " << outer.x() << "," << outer.y() << " "
                      << outer.width() << "x" << outer.height();
    }
    return centred;
}

}  // namespace

TEST(ProgramEnd, TheSessionsEndReportsAListThatCannotBeSavedWithoutWaitingOnABox) {
    // The list cannot be replaced: its temporary file's name is taken by a folder.
    Program program(QStringLiteral("page:http://front.example/"), {},
                    [](const QDir& folder) { folder.mkdir(QStringLiteral("allowed.lis.new")); });
    QString window;
    ASSERT_TRUE(runUntil([&] { return !(window = program.mainWindow()).isEmpty(); }));
    // While the window shows, the hot key's failure opens its box in the window's middle.
    xdotool({"key", "ctrl+alt+e"});
    const QString box = messageBox(program, window);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_TRUE(nearlyCentred(geometryOf(box), geometryOf(window)));
    pressReturnIn(box);
    ASSERT_TRUE(runUntil([&] { return !windowsOf(program).contains(box); }, 10000));

    EXPECT_EQ(program.terminated(), 1);
    EXPECT_TRUE(program.errors().contains(
        QStringLiteral("Cannot write file \"%1\"").arg(program.file("allowed.lis"))))
        << program.errors().toStdString();
}

TEST(ProgramEnd, ALostDisplayStillSavesTheCountAndTheLists) {
    const QByteArray display = qgetenv("DISPLAY");
    auto lost = std::make_unique<X11Session>();
    std::string error;
    const bool started = lost->start(error);
    std::unique_ptr<Program> program;
    if (started) program = std::make_unique<Program>(QStringLiteral("page:http://lost.example/"));
    qputenv("DISPLAY", display);
    ASSERT_TRUE(started) << error;
    // Up once it has written its first-start settings; a hand-over then counts a kill.
    ASSERT_TRUE(runUntil([&] { return program->storedValue("vtr_first") == "1"; }));
    EXPECT_EQ(program->startAgain(), 0);
    ASSERT_TRUE(
        runUntil([&] { return readAll(program->file("blacklist.lis")).contains("lost.example"); }));
    QFile::remove(program->file("blacklist.lis"));

    lost.reset();
    EXPECT_TRUE(program->ended().has_value());
    EXPECT_EQ(program->storedValue("vtr_count"), "1");
    EXPECT_TRUE(readAll(program->file("blacklist.lis")).contains("lost.example"));
}

TEST(ProgramEnd, ASettingsStoreOfAnotherShapeIsShownOnceAndLeftAsItWas) {
    QByteArray before;
    Program program(QString(), {}, [&](const QDir& folder) {
        for (const char* name : {"registry.db", "registry.db-wal", "registry.db-shm"}) {
            QFile::remove(folder.filePath(QString::fromLatin1(name)));
        }
        sqlite3* db = nullptr;
        sqlite3_open(folder.filePath(QStringLiteral("registry.db")).toUtf8().constData(), &db);
        sqlite3_exec(db, "CREATE TABLE registry_values (key TEXT, name TEXT, data TEXT)", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
        QFile file(folder.filePath(QStringLiteral("registry.db")));
        file.open(QIODevice::ReadOnly);
        before = file.readAll();
    });
    const QString box = messageBox(program);
    ASSERT_FALSE(box.isEmpty());
    // No main window exists: the box opens in the middle of the screen.
    EXPECT_TRUE(
        nearlyCentred(geometryOf(box), QGuiApplication::primaryScreen()->availableGeometry()));
    pressReturnIn(box);
    EXPECT_EQ(program.ended(), 1);
    QFile file(program.file("registry.db"));
    file.open(QIODevice::ReadOnly);
    EXPECT_EQ(file.readAll(), before);
    EXPECT_FALSE(QFile::exists(program.file("registry.db-wal")));
}

TEST(ProgramEnd, WithoutADisplayOneLineSaysWhatIsMissing) {
    for (const char* display : {"", ":987"}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(QString::fromLatin1(name));
        }
        if (*display) environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VANTREL_PATH), {});
        ASSERT_TRUE(process.waitForFinished(10000)) << display;
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << display;
        EXPECT_EQ(process.exitCode(), 1) << display;
        const QString said = QString::fromLocal8Bit(process.readAllStandardError());
        EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("vantrelctl watch"))) << said.toStdString();
        EXPECT_TRUE(said.contains(*display ? QStringLiteral(":987") : QStringLiteral("DISPLAY")))
            << said.toStdString();
    }
}
