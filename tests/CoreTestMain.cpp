#include <QCoreApplication>
#include <gtest/gtest.h>

// One QCoreApplication for every core test, so that queued hand-offs and timers can run.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
