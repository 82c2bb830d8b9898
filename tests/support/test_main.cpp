#include <QCoreApplication>

#include <gtest/gtest.h>

#include "threading/ui_hand_over.h"

// Every test program runs on a QCoreApplication: its thread is the UI thread to which the port's
// and the worker's notifications are handed over.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    lumas::UiHandOver::instance();  // bound to this thread from the start
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
