// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// Linked into the window tests of the ThreadSanitizer build only. Qt's raster engine hands large
// fills (the Fusion style's scroll bars, for one) to Qt's thread pool and waits for them through
// Qt's own futex-based primitives, which ThreadSanitizer cannot follow in a Qt that was not built
// for it: every such fill would be reported as races inside Qt. Defined here, in the test
// program, this takes precedence over Qt Core's definition and runs each task at once on the
// calling thread, so Qt paints on one thread. Nothing of the program uses the pool; its own
// threads stay under the sanitizer.

#include <QThreadPool>

#include <functional>
#include <utility>

void QThreadPool::start(std::function<void()> functionToRun, int /*priority*/) {
    std::move(functionToRun)();
}
