// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "threading/ui_hand_over.h"

// Every test program runs on a QCoreApplication: its thread is the UI thread to which the port's
// and the worker's notifications are handed over.
int main(int argc, char** argv) {
    // The programs a test starts keep their data (the run archive) in a folder of the test's own,
    // never in the home folder of whoever runs the tests.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    lumas::UiHandOver::instance();  // bound to this thread from the start
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
