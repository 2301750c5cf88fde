#pragma once

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QWindow>

#include "gui/main_window.h"
#include "gui/pages.h"
#include "platform/sim/sim_world.h"
#include "shell/vantrel_form.h"

namespace vantrel::test {

// The main window over a form on the simulated platform, started and shown offscreen. Clicks go
// through the window (QTest on windowHandle()), which respects the shape and sends enter/leave.
struct ShownWindow {
    sim::SimWorld world;
    VantrelForm form{world.platform()};
    gui::MainWindow window{form};

    ShownWindow() {
        form.FormCreate();
        window.show();
        QApplication::processEvents();
    }

    // The window point at the centre of a widget inside it.
    QPoint centreOf(const QWidget* widget) const {
        return widget->mapTo(&window, widget->rect().center());
    }
    void click(QPoint at) {
        QTest::mouseMove(window.windowHandle(), at);
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
    }
    void click(const QWidget* widget) { click(centreOf(widget)); }
    void clickItem(int item) { click(window.item(item)); }
};

}  // namespace vantrel::test
