#include "pool/thread_count.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <cstdlib>

namespace quorvane {
namespace {

TEST(ParseThreadCount, AcceptsDigitsWithOptionalPlus) {
  EXPECT_EQ(parse_thread_count("1"), 1u);
  EXPECT_EQ(parse_thread_count("+4"), 4u);
  EXPECT_EQ(parse_thread_count("0"), 0u);
  EXPECT_EQ(parse_thread_count("007"), 7u);
  EXPECT_EQ(parse_thread_count("18446744073709551615"), SIZE_MAX);
}

TEST(ParseThreadCount, RejectsEverythingElse) {
  for (const char* bad : {"", "+", "++2", "-1", "-0", " 2", "2 ", "2\n", "0x10", "1.5", "two", "4a",
                          "18446744073709551616", "99999999999999999999999"}) {
    EXPECT_FALSE(parse_thread_count(bad).has_value()) << '"' << bad << '"';
  }
}

TEST(SelectThreadCount, NumThreadsWinsWhenPositive) {
  EXPECT_EQ(select_thread_count("3", "5", 9), 3u);
  EXPECT_EQ(select_thread_count("+1", nullptr, 9), 1u);
}

TEST(SelectThreadCount, ZeroNumThreadsMeansTheDefaultEvenWithRsNumCpus) {
  EXPECT_EQ(select_thread_count("0", "5", 9), 9u);
}

TEST(SelectThreadCount, MalformedNumThreadsFallsThroughToRsNumCpus) {
  EXPECT_EQ(select_thread_count("abc", "5", 9), 5u);
  EXPECT_EQ(select_thread_count("-2", "5", 9), 5u);
  EXPECT_EQ(select_thread_count("", "+6", 9), 6u);
  EXPECT_EQ(select_thread_count(nullptr, "5", 9), 5u);
}

TEST(SelectThreadCount, RsNumCpusOnlyCountsWhenPositiveAndWellFormed) {
  EXPECT_EQ(select_thread_count(nullptr, "0", 9), 9u);
  EXPECT_EQ(select_thread_count(nullptr, "x", 9), 9u);
  EXPECT_EQ(select_thread_count("junk", "junk", 9), 9u);
  EXPECT_EQ(select_thread_count(nullptr, nullptr, 9), 9u);
}

TEST(AvailableCpus, IsPositiveAndWithinTheAffinityMask) {
  cpu_set_t set;
  ASSERT_EQ(sched_getaffinity(0, sizeof(set), &set), 0);
  size_t cpus = available_cpus();
  EXPECT_GE(cpus, 1u);
  EXPECT_LE(cpus, static_cast<size_t>(CPU_COUNT(&set)));
}

TEST(AvailableCpus, FollowsANarrowedAffinityMask) {
  cpu_set_t saved;
  ASSERT_EQ(sched_getaffinity(0, sizeof(saved), &saved), 0);
  int first = -1;
  for (int cpu = 0; cpu < CPU_SETSIZE && first < 0; ++cpu) {
    if (CPU_ISSET(cpu, &saved)) first = cpu;
  }
  ASSERT_GE(first, 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
  size_t cpus = available_cpus();
  ASSERT_EQ(sched_setaffinity(0, sizeof(saved), &saved), 0);
  EXPECT_EQ(cpus, 1u);
}

TEST(ConfiguredThreadCount, ReadsTheEnvironment) {
  ASSERT_EQ(setenv("RAYON_NUM_THREADS", "+3", 1), 0);
  ASSERT_EQ(setenv("RAYON_RS_NUM_CPUS", "7", 1), 0);
  EXPECT_EQ(configured_thread_count(), 3u);
  ASSERT_EQ(setenv("RAYON_NUM_THREADS", "bad", 1), 0);
  EXPECT_EQ(configured_thread_count(), 7u);
  ASSERT_EQ(setenv("RAYON_NUM_THREADS", "0", 1), 0);
  EXPECT_EQ(configured_thread_count(), available_cpus());
  unsetenv("RAYON_NUM_THREADS");
  unsetenv("RAYON_RS_NUM_CPUS");
  EXPECT_EQ(configured_thread_count(), available_cpus());
}

}  // namespace
}  // namespace quorvane
