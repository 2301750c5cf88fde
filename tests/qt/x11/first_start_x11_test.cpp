#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "program_process.h"

namespace {

// The program's visible window with exactly this title; empty while there is none. (A search
// by name alone also finds windows whose class matches.)
QString windowTitled(const Program& program, const QString& title) {
    for (const QString& id :
         xdotool({"search", "--onlyvisible", "--pid", program.pid(), "--name", "^" + title + "$"})
             .split('\n')) {
        if (!id.isEmpty() && xdotool({"getwindowname", id}) == title) return id;
    }
    return {};
}

// The window with a margin around it, for the documentation when VANTREL_SCREENSHOT_DIR names
// a folder.
void keepScreenshot(const QString& window, const char* name) {
    const QString folder = qEnvironmentVariable("VANTREL_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    QGuiApplication::primaryScreen()
        ->grabWindow(0)
        .toImage()
        .copy(geometryOf(window).adjusted(-30, -40, 30, 30))
        .save(QDir(folder).filePath(QString::fromLatin1(name)));
}

}  // namespace

TEST(FirstStartOnX11, OfferThenIntroThenTheMainWindow) {
    Program program(QStringLiteral("none"), {{"is_introduced", ""}, {"vtr_whois", ""}});
    QString offer;
    ASSERT_TRUE(runUntil([&] { return !(offer = windowTitled(program, "Extras")).isEmpty(); }));
    EXPECT_TRUE(windowTitled(program, "Vantrel").isEmpty());
    runUntil([] { return false; }, 300);  // the window manager's frame
    keepScreenshot(offer, "first-run-offer.png");
    xdotool({"windowactivate", "--sync", offer});
    xdotool({"key", "Escape"});

    QString intro;
    ASSERT_TRUE(runUntil(
        [&] { return !(intro = windowTitled(program, "Introduction of Vantrel")).isEmpty(); }));
    EXPECT_TRUE(windowTitled(program, "Vantrel").isEmpty());
    runUntil([] { return false; }, 2500);  // well into the movie
    keepScreenshot(intro, "first-run-intro.png");

    // The intro closes itself at its last frame; then the main window comes.
    ASSERT_TRUE(runUntil([&] { return !windowTitled(program, "Vantrel").isEmpty(); }));
    EXPECT_TRUE(windowTitled(program, "Introduction of Vantrel").isEmpty());
    EXPECT_EQ(program.storedValue("is_introduced"), "1");
}
