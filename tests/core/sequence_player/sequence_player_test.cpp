// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The player of command sequences: the order of the steps and of what they leave to run, the
// pauses on the clock, and where the UI thread's handlers run while a background thread plays.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/sequence_player.h"
#include "support/event_wait.h"
#include "support/fake_clock.h"
#include "threading/exception_report.h"
#include "threading/ui_hand_over.h"

namespace lumas {
namespace {

using std::chrono::milliseconds;
using test::FakeClock;

// What a step saw when it ran. Only the UI thread writes it (every step runs there).
struct StepRun {
    std::string name;
    Tick at;
    bool onUiThread;
};

// Plays `steps` from a background thread and serves the UI thread's events until it is done.
void playFromWorker(std::span<const SequenceStep> steps, Clock& clock) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        playFromBackgroundThread(steps, clock);
        done = true;
        UiHandOver::instance().run([] {});  // wakes the waiting event loop
    });
    EXPECT_TRUE(test::waitUntil([&] { return done.load(); }, 10000));
    worker.join();
}

enum class Player { BackgroundThread, UiThread };

void play(Player player, std::span<const SequenceStep> steps, Clock& clock) {
    if (player == Player::BackgroundThread) {
        playFromWorker(steps, clock);
    } else {
        playOnUiThread(steps, clock);
    }
}

// A step that sends something, then waits 320 ms, then the rest of it waits 20 ms; steps that
// send nothing keep no pause at all. Either player keeps the same order and the same waits.
TEST(SequencePlayer, RunsStepsAndTheirRemaindersInOrderWithTheirPauses) {
    for (const Player player : {Player::BackgroundThread, Player::UiThread}) {
        FakeClock clock(1000);
        std::vector<StepRun> runs;
        const auto record = [&](const std::string& name) {
            runs.push_back({name, clock.now(), UiHandOver::instance().onUiThread()});
        };
        const std::vector<SequenceStep> steps{
            [&] {
                record("first command");
                return pauseFor(milliseconds(320));
            },
            [&] {
                record("nothing due");
                return nothingSent();
            },
            [&] {
                record("command");
                return pauseThen(milliseconds(320), [&] {
                    record("its remainder");
                    return pauseFor(milliseconds(20));
                });
            },
            [&] {
                record("last");
                return nothingSent();
            },
        };
        play(player, steps, clock);

        const std::vector<std::pair<std::string, Tick>> expected{{"first command", 1000},
                                                                 {"nothing due", 1320},
                                                                 {"command", 1320},
                                                                 {"its remainder", 1640},
                                                                 {"last", 1660}};
        ASSERT_EQ(runs.size(), expected.size());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].name, expected[i].first);
            EXPECT_EQ(runs[i].at, expected[i].second) << runs[i].name;
            EXPECT_TRUE(runs[i].onUiThread) << runs[i].name;
        }
        EXPECT_EQ(clock.now(), 1660u) << "no pause after a step that sent nothing";
    }
}

// Played from a background thread, the pause after a command leaves the UI thread free: a
// handler runs during it from the event loop the UI thread is serving, not inside a step, and the
// next step sees what the handler set.
TEST(SequencePlayer, HandlersRunDuringThePausesNeverInsideAStep) {
    FakeClock clock(0, 4);  // a 320 ms pause lasts 80 ms
    bool inStep = false;
    bool stopAsked = false;
    bool handlerRanInsideAStep = false;
    int handlerLoopLevel = -1;
    bool stopSeen = false;
    const auto step = [&inStep](const std::function<StepResult()>& body) {
        return SequenceStep([&inStep, body] {
            inStep = true;
            StepResult result = body();
            inStep = false;
            return result;
        });
    };
    const std::vector<SequenceStep> steps{
        step([&] {
            // The operator's click, as the event loop delivers it a moment later.
            QTimer::singleShot(0, [&] {
                handlerRanInsideAStep = inStep;
                handlerLoopLevel = QThread::currentThread()->loopLevel();
                stopAsked = true;
            });
            return pauseFor(milliseconds(320));
        }),
        step([&] {
            stopSeen = stopAsked;
            return nothingSent();
        }),
    };
    playFromWorker(steps, clock);
    EXPECT_TRUE(stopSeen) << "the flag is read when its step runs";
    EXPECT_FALSE(handlerRanInsideAStep);
    EXPECT_EQ(handlerLoopLevel, 1) << "the handler ran from the loop the test serves, not nested";
}

// Steps that send nothing run together: one hand-over up to each pause, so a pass with nothing
// to send costs the UI thread one wake-up, as a single update call did.
TEST(SequencePlayer, StepsUpToEachPauseShareOneHandOver) {
    FakeClock clock;
    int handOvers = 0;
    const auto connection = QObject::connect(&UiHandOver::instance(), &UiHandOver::handedOver,
                                             [&handOvers] { ++handOvers; });
    const SequenceStep idle = [] { return nothingSent(); };
    const SequenceStep send = [] { return pauseFor(milliseconds(320)); };
    const std::vector<SequenceStep> steps{idle, idle, idle, send, idle, idle};
    playFromWorker(steps, clock);
    QObject::disconnect(connection);
    // Two for the steps, one for the test's own wake-up after the last.
    EXPECT_EQ(handOvers, 3);
    EXPECT_EQ(clock.now(), 320u);
}

// A step that throws is reported as the application reports an escaped exception, and nothing
// after it is sent: the remainder of the sequence belongs to the failed step's update.
TEST(SequencePlayer, AFailingStepIsReportedAndEndsTheSequence) {
    FakeClock clock;
    std::vector<std::string> reports;
    setStandardExceptionReport([&reports](const std::string& text) { reports.push_back(text); });
    bool afterRan = false;
    const std::vector<SequenceStep> steps{
        [] { return pauseFor(milliseconds(320)); },
        []() -> StepResult { throw std::runtime_error("Write error (5), Input/output error"); },
        [&afterRan] {
            afterRan = true;
            return nothingSent();
        },
    };
    playFromWorker(steps, clock);
    setStandardExceptionReport(nullptr);
    EXPECT_EQ(reports, std::vector<std::string>{"Write error (5), Input/output error"});
    EXPECT_FALSE(afterRan);
    EXPECT_EQ(clock.now(), 320u);
}

}  // namespace
}  // namespace lumas
