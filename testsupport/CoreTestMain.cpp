// GoogleTest entry for tests of the libraries below the windows: an event
// loop for timers, threads and child processes, and no widgets at all.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
