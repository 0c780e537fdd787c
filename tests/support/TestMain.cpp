#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

// Every test program runs with a widget application, headless, and with its own
// throw-away user directories so that nothing touches the real user's files.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
