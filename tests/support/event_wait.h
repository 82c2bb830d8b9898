#pragma once

#include <functional>

namespace lumas::test {

// Runs the UI thread's event loop until `done()` holds or `timeoutMs` has passed; returns
// whether `done()` held. The condition is tested after every hand-over from a background thread
// and once more at the time-out, so the wait blocks on the event loop instead of spinning.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);

// Runs the UI thread's event loop for `ms` milliseconds.
void serveEventsFor(int ms);

}  // namespace lumas::test
