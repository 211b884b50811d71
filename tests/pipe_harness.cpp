// The pipe harness's own promise: a silent or hung engine fails the one test
// that waits on it, quickly, and leaves no process behind.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "harness/engine_process.h"

namespace {

// Runs f and returns how many test failures it reported, without failing the test.
template <class F>
int failures_of(F f) {
    testing::TestPartResultArray results;
    {
        testing::ScopedFakeTestPartResultReporter reporter(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        f();
    }
    return results.size();
}

TEST(PipeHarness, TimeOutsFailTheWaitAndKillAHungEngine) {
    EngineProcess engine, quitting;
    ASSERT_TRUE(engine.wait_for("^$"));  // end of the banner
    EXPECT_FALSE(engine.read_line(100));
    EXPECT_EQ(failures_of([&] { EXPECT_FALSE(engine.wait_for("^never said$", 200)); }), 1);
    // The engine waits for input that never comes: it must be killed, not waited for.
    int status = 0;
    EXPECT_EQ(failures_of([&] { status = engine.wait_exit(300); }), 1);
    EXPECT_EQ(status, -1);
    EXPECT_FALSE(engine.send("isready"));
    // A line after the end of the output is never found.
    quitting.send("quit");
    EXPECT_EQ(failures_of([&] { EXPECT_FALSE(quitting.wait_for("^readyok$", 5000)); }), 1);
    EXPECT_EQ(quitting.wait_exit(), 0);
}

}  // namespace
