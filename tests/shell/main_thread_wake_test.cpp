#include "shell/main_thread_wake.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <thread>

#include "test_application.h"

namespace zolk::shell {
namespace {

class MainThreadWakeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }

    // Runs the event loop until woken() came or a second passed.
    static void runUntil(const int& count, int expected) {
        QElapsedTimer timer;
        timer.start();
        while (count < expected && timer.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
};

TEST_F(MainThreadWakeTest, WakesFromAnotherThreadOnTheMainThreadOncePerBatch) {
    MainThreadWake wake;
    ASSERT_TRUE(wake.error().isEmpty());
    int woken = 0;
    QThread* wokenOn = nullptr;
    QObject::connect(&wake, &MainThreadWake::woken, [&] {
        ++woken;
        wokenOn = QThread::currentThread();
    });
    // Nothing comes without a wake.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(woken, 0);

    std::thread driver([&] {
        for (int i = 0; i < 5; ++i) wake.wake();
    });
    driver.join();
    runUntil(woken, 1);
    EXPECT_EQ(woken, 1);  // five wakes before the main thread ran: one call
    EXPECT_EQ(wokenOn, QCoreApplication::instance()->thread());
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(woken, 1);

    std::thread later([&] { wake.wake(); });
    later.join();
    runUntil(woken, 2);
    EXPECT_EQ(woken, 2);
}

}  // namespace
}  // namespace zolk::shell
