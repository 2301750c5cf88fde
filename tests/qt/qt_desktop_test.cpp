#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>

#include "platform/qt/qt_desktop.h"

using namespace vantrel;
using vantrel::qt::QtDesktop;

TEST(QtDesktop, TrayIconsSwapLiveAndAddingTwiceChangesNothing) {
    QtDesktop desktop;
    EXPECT_FALSE(desktop.trayModify(TrayIcon::StopIcon));  // no entry yet
    desktop.trayAdd(TrayIcon::Tray, "Vantrel");
    QSystemTrayIcon& tray = desktop.trayIcon();
    EXPECT_TRUE(tray.isVisible());
    EXPECT_EQ(tray.toolTip(), "Vantrel");
    EXPECT_EQ(tray.icon().cacheKey(), desktop.icon(TrayIcon::Tray).cacheKey());

    EXPECT_TRUE(desktop.trayModify(TrayIcon::StopIcon));
    EXPECT_EQ(tray.icon().cacheKey(), desktop.icon(TrayIcon::StopIcon).cacheKey());
    EXPECT_FALSE(desktop.trayAdd(TrayIcon::Tray1, "Vantrel"));  // the entry exists: no effect
    EXPECT_EQ(tray.icon().cacheKey(), desktop.icon(TrayIcon::StopIcon).cacheKey());

    desktop.trayDelete();
    EXPECT_FALSE(tray.isVisible());
    EXPECT_FALSE(desktop.icon(TrayIcon::StopIcon).isNull());  // compiled-in pictures
}

TEST(QtDesktop, TrayClicksReachTheHandlerAsMouseMessages) {
    QtDesktop desktop;
    std::vector<int> messages;
    desktop.setTrayHandler([&](int message) { messages.push_back(message); });
    QSystemTrayIcon& tray = desktop.trayIcon();
    emit tray.activated(QSystemTrayIcon::Trigger);
    emit tray.activated(QSystemTrayIcon::DoubleClick);
    emit tray.activated(QSystemTrayIcon::Context);
    emit tray.activated(QSystemTrayIcon::MiddleClick);  // not one the program handles
    EXPECT_EQ(messages, (std::vector<int>{0x201, 0x203, 0x205}));
}

TEST(QtDesktop, MessageBoxesCarryTheirTextsCaptionsAndButtons) {
    QtDesktop desktop;
    struct Seen {
        QString text, caption;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    } seen{};
    int answer = QMessageBox::Ok;
    desktop.setMessageBoxRunner([&](QMessageBox& box) {
        seen = {box.text(), box.windowTitle(), box.icon(), box.standardButtons()};
        return answer;
    });

    EXPECT_EQ(desktop.messageBox("Vantrel failed to connect.\rPlease restart.", "Vantrel",
                                 MessageBoxKind::Error),
              MessageBoxAnswer::Ok);
    EXPECT_EQ(seen.text, "Vantrel failed to connect.\nPlease restart.");
    EXPECT_EQ(seen.caption, "Vantrel");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);

    answer = QMessageBox::No;
    EXPECT_EQ(desktop.messageBox("Update?", "Vantrel", MessageBoxKind::Question),
              MessageBoxAnswer::No);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);

    QMessageBox::StandardButton defaultButton{};
    desktop.setMessageBoxRunner([&](QMessageBox& box) {
        seen = {box.text(), box.windowTitle(), box.icon(), box.standardButtons()};
        defaultButton = box.standardButton(box.defaultButton());
        return box.standardButton(box.escapeButton());  // the user presses Escape
    });
    EXPECT_EQ(desktop.messageBox("Are you sure you want to exit Vantrel?", "Close Vantrel",
                                 MessageBoxKind::Confirm),
              MessageBoxAnswer::Cancel);
    EXPECT_EQ(seen.caption, "Close Vantrel");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(defaultButton, QMessageBox::Cancel);

    // The update question: Enter accepts, Escape still declines.
    EXPECT_EQ(desktop.messageBox("Version 2.0 is available. Do you want to update Vantrel now?",
                                 "Vantrel Update", MessageBoxKind::ConfirmDefaultOk),
              MessageBoxAnswer::Cancel);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(defaultButton, QMessageBox::Ok);
}

TEST(QtDesktop, WithoutX11NoHotKeyCanBeHadAndNoKeyIsHeld) {
    QtDesktop desktop;  // the offscreen platform has no X11 connection
    EXPECT_FALSE(desktop.hasX11());
    EXPECT_FALSE(desktop.registerHotKey(desktop.addAtom("VTR_hotkey"), 3, 'E'));
    EXPECT_FALSE(desktop.controlKeyDown());
    desktop.unregisterHotKey(desktop.addAtom("VTR_hotkey"));
}

TEST(QtDesktop, AtomsAreStablePerName) {
    QtDesktop desktop;
    const int allowed = desktop.addAtom("VTR_hotkey");
    const int blacklist = desktop.addAtom("VTR_bhotkey");
    EXPECT_NE(allowed, blacklist);
    EXPECT_EQ(desktop.addAtom("VTR_hotkey"), allowed);
    EXPECT_EQ(desktop.foregroundWindow(), 0u);  // until the browser adapter is wired in
    desktop.setForegroundWindowSource([] { return WindowHandle{42}; });
    EXPECT_EQ(desktop.foregroundWindow(), 42u);
}

TEST(QtDesktop, BoxesOpenInTheMiddleOfTheWindowOrOfTheScreenWhenItIsHidden) {
    QtDesktop desktop;
    QWidget window;
    window.setGeometry(40, 30, 500, 300);
    desktop.setMainWindow(&window);
    QPoint centre;
    desktop.setMessageBoxRunner([&](QMessageBox& box) {
        box.show();
        centre = box.frameGeometry().center();
        box.hide();
        return int(QMessageBox::Ok);
    });
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    desktop.messageBox("Cannot write file \"x\"", "Vantrel", MessageBoxKind::Error);
    EXPECT_LE((centre - screenCentre).manhattanLength(), 16);

    window.show();
    desktop.messageBox("Cannot write file \"x\"", "Vantrel", MessageBoxKind::Error);
    EXPECT_LE((centre - window.frameGeometry().center()).manhattanLength(), 16);
    window.hide();
}

TEST(QtDesktop, AnEndNobodyWatchesReportsOnStandardErrorWithoutABox) {
    QtDesktop desktop;
    int boxes = 0;
    desktop.setMessageBoxRunner([&](QMessageBox&) {
        ++boxes;
        return int(QMessageBox::Ok);
    });
    desktop.reportOnStandardError();
    EXPECT_EQ(desktop.messageBox("Update?", "Vantrel", MessageBoxKind::Question),
              MessageBoxAnswer::No);
    EXPECT_FALSE(desktop.reportedAnError());
    testing::internal::CaptureStderr();
    EXPECT_EQ(desktop.messageBox("Cannot write file \"/x/allowed.lis\"\rDisk full", "Vantrel",
                                 MessageBoxKind::Error),
              MessageBoxAnswer::Ok);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Vantrel: Cannot write file \"/x/allowed.lis\"\nDisk full\n");
    EXPECT_TRUE(desktop.reportedAnError());
    EXPECT_EQ(boxes, 0);
}
