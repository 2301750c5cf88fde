#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "platform/qt/qt_region.h"
#include "program_process.h"
#include "resources/embedded_resources.h"
#include "shell/skin_layout.h"

using namespace vantrel;

namespace {

QImage screen() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
        QImage::Format_RGB32);
}

// Screenshots for the documentation, when VANTREL_SCREENSHOT_DIR names a folder.
void keepScreenshot(const QImage& picture, const char* name) {
    const QString folder = qEnvironmentVariable("VANTREL_SCREENSHOT_DIR");
    if (!folder.isEmpty()) picture.save(QDir(folder).filePath(QString::fromLatin1(name)));
}

// The program's viewable windows other than its main window, with their screen geometry.
std::vector<QRect> otherWindows(const Program& program, const QString& mainWindow) {
    std::vector<QRect> found;
    for (const QString& id :
         xdotool({"search", "--onlyvisible", "--pid", program.pid(), ""}).split('\n')) {
        if (!id.isEmpty() && id != mainWindow) found.push_back(geometryOf(id));
    }
    return found;
}

QImage skin() {
    const auto bytes = embeddedResource("MAIN_WINDOW");
    return QImage::fromData(QByteArrayView(bytes->data(), static_cast<qsizetype>(bytes->size())))
        .convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST(ProgramOnX11, TheWindowHasTheSkinsShapeAndTheTrayIconDocks) {
    Program program(QStringLiteral("none"));
    QString window;
    ASSERT_TRUE(runUntil([&] { return !(window = program.mainWindow()).isEmpty(); }));
    const QRect where = geometryOf(window);
    EXPECT_EQ(where.size(), QSize(kMainWindowWidth, kMainWindowHeight));
    const QImage picture = skin();
    QImage shot;
    auto at = [&](QPoint p) { return shot.pixel(where.topLeft() + p); };
    // Points where the skin shows, with no button or page over it.
    const std::vector<QPoint> inside{{20, 330}, {540, 345}, {185, 250}, {100, 160}};
    ASSERT_TRUE(runUntil([&] {
        shot = screen();
        return at(inside[0]) == picture.pixel(inside[0]);
    }));
    for (QPoint p : inside) EXPECT_EQ(at(p), picture.pixel(p)) << p.x() << "," << p.y();
    // The magenta outside is cut away: the black desktop shows through.
    for (QPoint p : {QPoint(1, 1), QPoint(564, 1), QPoint(1, 357), QPoint(564, 357)}) {
        EXPECT_EQ(at(p), qRgb(0, 0, 0)) << p.x() << "," << p.y();
    }
    keepScreenshot(shot.copy(where.adjusted(-20, -20, 20, 20)), "main-window.png");

    // The tray icon: a small window of the program in the tray host's strip at the top.
    std::vector<QRect> icons;
    EXPECT_TRUE(runUntil([&] {
        icons = otherWindows(program, window);
        return std::any_of(icons.begin(), icons.end(), [](const QRect& r) {
            return r.width() <= 32 && r.height() <= 32 && r.top() < 24;
        });
    }));
    // The first start wrote the login entry for this copy of the program.
    EXPECT_TRUE(readAll(program.file("config/autostart/Vantrel.desktop"))
                    .contains(program.file("vantrel")));
}

TEST(ProgramOnX11, TheTrayIconsRightClickOpensTheMenu) {
    Program program(QStringLiteral("none"));
    QString window;
    ASSERT_TRUE(runUntil([&] { return !(window = program.mainWindow()).isEmpty(); }));
    QRect icon;
    ASSERT_TRUE(runUntil([&] {
        for (const QRect& r : otherWindows(program, window)) {
            if (r.width() <= 32 && r.height() <= 32 && r.top() < 24) icon = r;
        }
        return !icon.isEmpty();
    }));
    xdotool({"mousemove", QString::number(icon.center().x()), QString::number(icon.center().y()),
             "click", "3"});
    QRect menu;
    EXPECT_TRUE(runUntil([&] {
        for (const QRect& r : otherWindows(program, window)) {
            if (r.width() > 150 && r.height() > 200) menu = r;
        }
        return !menu.isEmpty();
    }));
    if (!menu.isEmpty()) {
        QImage shot;
        runUntil([&] {
            shot = screen();
            return shot.pixel(menu.center()) != qRgb(0, 0, 0);
        });
        keepScreenshot(shot.copy(menu.united(icon).adjusted(-40, -4, 40, 20)), "tray-menu.png");
    }
    xdotool({"key", "Escape"});
}

TEST(ProgramOnX11, CtrlAltBBlacklistsTheSiteInFront) {
    Program program(QStringLiteral("page:http://www.front-ads.example/index.html"));
    ASSERT_TRUE(runUntil([&] { return !program.mainWindow().isEmpty(); }));
    xdotool({"key", "ctrl+alt+b"});
    EXPECT_TRUE(runUntil(
        [&] { return readAll(program.file("blacklist.lis")).contains("front-ads.example"); }));
    // The kill was counted; the session's end shuts down in order and saves the count.
    EXPECT_TRUE(program.terminate());
    EXPECT_EQ(program.storedValue("vtr_count"), "1");
}

TEST(ProgramOnX11, ASecondStartHandsOverAndEndsWithExitCodeZero) {
    Program program(QStringLiteral("page:http://handed-over.example/"));
    ASSERT_TRUE(runUntil([&] { return !program.mainWindow().isEmpty(); }));
    EXPECT_EQ(program.startAgain(), 0);
    // The running copy took the hand-over: the front site goes to the blacklist.
    EXPECT_TRUE(runUntil(
        [&] { return readAll(program.file("blacklist.lis")).contains("handed-over.example"); }));
    EXPECT_TRUE(program.running());
}
