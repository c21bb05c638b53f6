// The main of every test program: the whole run gets its own XDG folders (so nothing of the
// user's is read or written even by a test that forgets its own) and a Qt application on the
// offscreen platform.

#include <gtest/gtest.h>
#include <QApplication>
#include <QTemporaryDir>

#include "testkit/TempXdg.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("OMP_THREAD_LIMIT", "1");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    zorbel::test::TempXdg isolated;
    return RUN_ALL_TESTS();
}
