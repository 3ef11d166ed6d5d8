#pragma once

// Waiting for something the event loop brings about, in gtest terms. QTest's
// QTRY_ macros report a failure to QTest's own log, which a gtest program
// never reads, and then return: a condition that never came true passed
// unseen. These fail the test instead.
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>
#include <chrono>
#include <thread>

namespace zk::testing {

// True once `condition` holds, events running meanwhile; false when `ms` passed first.
template <typename Condition> bool eventually(Condition condition, int ms = 5000)
{
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// True once `condition` holds, checked every `stepMs` with no events run
// (for a server starting in another process); false when `ms` passed first.
// The one place a test pauses: every other wait is for an event.
template <typename Condition> bool pollUntil(Condition condition, int ms, int stepMs = 20)
{
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    return true;
}

} // namespace zk::testing

#define ASSERT_EVENTUALLY(condition, ms) \
    ASSERT_TRUE(zk::testing::eventually([&] { return bool(condition); }, ms)) << "never came true: " #condition
#define EXPECT_EVENTUALLY(condition, ms) \
    EXPECT_TRUE(zk::testing::eventually([&] { return bool(condition); }, ms)) << "never came true: " #condition
