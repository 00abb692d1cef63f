// The one QApplication of the offscreen GUI tests, shared by every file of
// the program: made on first use and deleted when the tests are over, while
// everything it owns (the input devices of synthetic events included) can
// still be taken down in order.
#pragma once

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

namespace ovr::test {

inline QApplication& qt_app() {
    static QApplication* a = [] {
        static int argc = 1;
        static char name[] = "tests_ui";
        static char* argv[] = {name, nullptr};
        // Offscreen unless told otherwise, so the program runs by hand as
        // it does under ctest.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        auto* app = new QApplication(argc, argv);
        struct Teardown : ::testing::Environment {
            void TearDown() override { delete qApp; }
        };
        ::testing::AddGlobalTestEnvironment(new Teardown);
        return app;
    }();
    return *a;
}

}  // namespace ovr::test
