#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "x11_session.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    X11Session session;
    std::string error;
    if (!session.start(error)) {
        std::fprintf(stderr, "No X11 test desktop: %s\n", error.c_str());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);  // gone before the session stops the server
        result = RUN_ALL_TESTS();
    }
    return result;
}
