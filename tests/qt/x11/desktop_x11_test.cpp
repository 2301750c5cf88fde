#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWindow>

#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_region.h"
#include "platform/x11/x11_keyboard.h"
#include "resources/embedded_resources.h"
#include "shell/skin_layout.h"

using namespace vantrel;
using vantrel::qt::QtDesktop;

namespace {

bool runUntil(const std::function<bool()>& done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

bool xdotool(const QStringList& args) {
    return QProcess::execute("xdotool", args) == 0;
}

QImage skinImage() {
    const auto bytes = embeddedResource("MAIN_WINDOW");
    return QImage::fromData(QByteArrayView(bytes->data(), static_cast<qsizetype>(bytes->size())))
        .convertToFormat(QImage::Format_RGB32);
}

constexpr int kAllowedKey = 'E';
constexpr int kBlacklistKey = 'B';

}  // namespace

TEST(SkinnedWindowOnX11, TheScreenShowsTheSkinInsideTheShapeAndTheDesktopOutside) {
    const QImage skin = skinImage();
    const RgbImage pixels = qt::toRgbImage(skin);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(kMainWindowWidth, kMainWindowHeight);
    auto* picture = new QLabel(&window);
    picture->setPixmap(QPixmap::fromImage(skin));
    picture->setGeometry(0, 0, kMainWindowWidth, kMainWindowHeight);
    window.setMask(qt::toQRegion(*regionFromBitmap(&pixels, FormRegion::kOutside)));
    window.move(120, 90);
    window.show();
    ASSERT_TRUE(runUntil([&] { return window.windowHandle()->isExposed(); }));
    const QPoint origin = window.mapToGlobal(QPoint(0, 0));
    QImage screen;
    auto onScreen = [&](int x, int y) { return screen.pixel(origin.x() + x, origin.y() + y); };
    // The first paint reaches the screen a little after the window is exposed.
    EXPECT_TRUE(runUntil([&] {
        screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
            QImage::Format_RGB32);
        return onScreen(300, 200) == skin.pixel(300, 200);
    }));
    const QRgb black = qRgb(0, 0, 0);
    for (QPoint outside : {QPoint(1, 1), QPoint(300, 8), QPoint(564, 357), QPoint(2, 200)}) {
        EXPECT_EQ(onScreen(outside.x(), outside.y()), black) << outside.x() << "," << outside.y();
    }
    for (QPoint inside : {QPoint(90, 22), QPoint(300, 200), QPoint(60, 200), QPoint(540, 340)}) {
        EXPECT_EQ(onScreen(inside.x(), inside.y()), skin.pixel(inside))
            << inside.x() << "," << inside.y();
    }
}

TEST(DesktopOnX11, CtrlAltLetterReachesTheHotKeyHandlerAlsoWithCapsLock) {
    QtDesktop desktop;
    ASSERT_TRUE(desktop.hasX11());
    std::vector<int> pressed;
    desktop.setHotKeyHandler([&](int id) { pressed.push_back(id); });
    const int allowed = desktop.addAtom("VTR_hotkey");
    const int blacklist = desktop.addAtom("VTR_bhotkey");
    ASSERT_TRUE(
        desktop.registerHotKey(allowed, Desktop::kModControl | Desktop::kModAlt, kAllowedKey));
    ASSERT_TRUE(
        desktop.registerHotKey(blacklist, Desktop::kModControl | Desktop::kModAlt, kBlacklistKey));

    ASSERT_TRUE(xdotool({"key", "ctrl+alt+b"}));
    EXPECT_TRUE(runUntil([&] { return pressed.size() == 1; }));
    ASSERT_TRUE(xdotool({"key", "Caps_Lock", "ctrl+alt+e", "Caps_Lock"}));
    EXPECT_TRUE(runUntil([&] { return pressed.size() == 2; }));
    EXPECT_EQ(pressed, (std::vector<int>{blacklist, allowed}));

    ASSERT_TRUE(xdotool({"key", "ctrl+b"}));  // without ALT it is not the hot key
    desktop.unregisterHotKey(blacklist);
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+b"}));
    runUntil([] { return false; }, 300);
    EXPECT_EQ(pressed.size(), 2u);
}

TEST(DesktopOnX11, ACombinationAnotherClientHoldsCannotBeHad) {
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);
    QtDesktop desktop;
    const int id = desktop.addAtom("VTR_hotkey");
    // Take CTRL+ALT+X through the adapter's own code on the other connection.
    {
        x11::X11Keyboard holder(other);
        ASSERT_TRUE(holder.grab(1, Desktop::kModControl | Desktop::kModAlt, 'X'));
        EXPECT_FALSE(desktop.registerHotKey(id, Desktop::kModControl | Desktop::kModAlt, 'X'));
    }
    EXPECT_TRUE(desktop.registerHotKey(id, Desktop::kModControl | Desktop::kModAlt, 'X'));
    xcb_disconnect(other);
}

TEST(DesktopOnX11, CtrlHeldIsSeenWithNoWindowFocused) {
    QtDesktop desktop;
    EXPECT_FALSE(desktop.controlKeyDown());
    ASSERT_TRUE(xdotool({"keydown", "ctrl"}));
    EXPECT_TRUE(runUntil([&] { return desktop.controlKeyDown(); }));
    ASSERT_TRUE(xdotool({"keyup", "ctrl"}));
    EXPECT_TRUE(runUntil([&] { return !desktop.controlKeyDown(); }));
    ASSERT_TRUE(xdotool({"keydown", "Control_R"}));
    EXPECT_TRUE(runUntil([&] { return desktop.controlKeyDown(); }));
    ASSERT_TRUE(xdotool({"keyup", "Control_R"}));
    EXPECT_TRUE(runUntil([&] { return !desktop.controlKeyDown(); }));
}

TEST(DesktopOnX11, TheTrayIconDocksInTheTrayHost) {
    QtDesktop desktop;
    ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_TRUE(desktop.trayAdd(TrayIcon::Tray, "Vantrel"));
    EXPECT_TRUE(runUntil([&] { return !desktop.trayIcon().geometry().isEmpty(); }));
    desktop.trayDelete();
}
