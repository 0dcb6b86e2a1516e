#include <gtest/gtest.h>
#include <thread>
TEST(Smoke, ThreadRuns) { int x = 0; std::thread t([&]{ x = 1; }); t.join(); EXPECT_EQ(x, 1); }
