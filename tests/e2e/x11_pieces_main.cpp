#include <QApplication>
#include <gtest/gtest.h>

// The X pieces need a real X server: the test runs on a private Xvfb (see with-xvfb.sh).
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
