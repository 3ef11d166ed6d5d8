#pragma once

// Waiting for something the event loop brings about, in gtest terms. QTest's
// QTRY_ macros report a failure to QTest's own log, which a gtest program
// never reads, and then return: a condition that never came true passed
// unseen. These fail the test instead.
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

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

} // namespace zk::testing

#define ASSERT_EVENTUALLY(condition, ms) \
    ASSERT_TRUE(zk::testing::eventually([&] { return bool(condition); }, ms)) << "never came true: " #condition
#define EXPECT_EVENTUALLY(condition, ms) \
    EXPECT_TRUE(zk::testing::eventually([&] { return bool(condition); }, ms)) << "never came true: " #condition
