#include "pool/thread_pool.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace quorvane {
namespace {

std::unique_ptr<ThreadPool> start_pool(size_t threads) {
  auto started = ThreadPool::start(threads);
  if (auto* error = std::get_if<PoolError>(&started)) {
    ADD_FAILURE() << error->message;
    return nullptr;
  }
  return std::move(std::get<std::unique_ptr<ThreadPool>>(started));
}

TEST(ThreadPool, RunsEveryPositionExactlyOnceAndStoresByPosition) {
  for (size_t threads : {1, 2, 3, 8}) {
    auto pool = start_pool(threads);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->size(), threads);
    for (size_t count : {0, 1, 2, 7, 1000, 100003}) {
      std::vector<std::atomic<int>> hits(count);
      std::vector<size_t> out(count, SIZE_MAX);
      auto body = [&](size_t i) {
        hits[i].fetch_add(1);
        out[i] = i * 3 + 1;
      };
      pool->for_each(count, body);
      for (size_t i = 0; i < count; ++i) {
        ASSERT_EQ(hits[i].load(), 1) << "threads " << threads << " count " << count << " at " << i;
        ASSERT_EQ(out[i], i * 3 + 1);
      }
    }
  }
}

TEST(ThreadPool, EveryWorkerTakesPart) {
  auto pool = start_pool(4);
  ASSERT_NE(pool, nullptr);
  std::mutex mu;
  std::set<std::thread::id> seen;
  std::atomic<int> arrived{0};
  // Each position waits until four have started, so the job cannot finish
  // unless four different threads run positions at the same time.
  auto body = [&](size_t) {
    {
      std::lock_guard<std::mutex> lock(mu);
      seen.insert(std::this_thread::get_id());
    }
    arrived.fetch_add(1);
    while (arrived.load() < 4) std::this_thread::yield();
  };
  pool->for_each(4, body);
  EXPECT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen.count(std::this_thread::get_id()), 0u) << "the caller must not run positions";
}

TEST(ThreadPool, IdleWorkersStealFromABusyOne) {
  auto pool = start_pool(2);
  ASSERT_NE(pool, nullptr);
  // Positions 0 and 1 start in the same worker's share and 0 blocks until 1
  // has run. Unless the other worker steals position 1, this never returns
  // (and the test runner's timeout reports it).
  std::atomic<bool> second_done{false};
  auto body = [&](size_t i) {
    if (i == 0) {
      while (!second_done.load()) std::this_thread::yield();
    }
    if (i == 1) second_done.store(true);
  };
  pool->for_each(4, body);
  EXPECT_TRUE(second_done.load());
}

TEST(ThreadPool, CallersOnSeveralThreadsEachGetTheirOwnResults) {
  auto pool = start_pool(2);
  ASSERT_NE(pool, nullptr);
  std::vector<std::thread> callers;
  std::atomic<int> failures{0};
  for (int c = 0; c < 6; ++c) {
    callers.emplace_back([&, c] {
      for (int round = 0; round < 20; ++round) {
        std::vector<int> out(500, -1);
        auto body = [&](size_t i) { out[i] = static_cast<int>(i) + c * 1000; };
        pool->for_each(out.size(), body);
        for (size_t i = 0; i < out.size(); ++i) {
          if (out[i] != static_cast<int>(i) + c * 1000) failures.fetch_add(1);
        }
      }
    });
  }
  for (auto& t : callers) t.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(ThreadPool, NestedRunFromAWorkerRunsInline) {
  auto pool = start_pool(2);
  ASSERT_NE(pool, nullptr);
  std::vector<std::atomic<int>> inner_hits(10 * 10);
  ThreadPool* raw = pool.get();
  auto outer = [&](size_t i) {
    auto inner = [&](size_t j) { inner_hits[i * 10 + j].fetch_add(1); };
    raw->for_each(10, inner);
  };
  pool->for_each(10, outer);
  for (auto& h : inner_hits) EXPECT_EQ(h.load(), 1);
}

TEST(ThreadPool, WorkersHaveLargeStacks) {
  auto pool = start_pool(1);
  ASSERT_NE(pool, nullptr);
  size_t stack = 0;
  auto body = [&](size_t) {
    pthread_attr_t attr;
    ASSERT_EQ(pthread_getattr_np(pthread_self(), &attr), 0);
    ASSERT_EQ(pthread_attr_getstacksize(&attr, &stack), 0);
    pthread_attr_destroy(&attr);
  };
  pool->for_each(1, body);
  EXPECT_GE(stack, size_t{8} << 20);
}

TEST(ThreadPool, ThreadCreationFailureIsReported) {
  // No address space can hold a stack this size.
  auto started = ThreadPool::start(2, size_t{1} << 62);
  ASSERT_TRUE(std::holds_alternative<PoolError>(started));
  EXPECT_EQ(std::get<PoolError>(started).message.rfind("could not start a worker thread: ", 0), 0u)
      << std::get<PoolError>(started).message;
}

TEST(GlobalThreadPool, IsCreatedOnceAndSurvivesFork) {
  auto first = global_thread_pool();
  ASSERT_TRUE(std::holds_alternative<ThreadPool*>(first));
  auto second = global_thread_pool();
  ASSERT_TRUE(std::holds_alternative<ThreadPool*>(second));
  EXPECT_EQ(std::get<ThreadPool*>(first), std::get<ThreadPool*>(second));

  std::vector<int> out(1000, 0);
  auto body = [&](size_t i) { out[i] = static_cast<int>(i); };
  ASSERT_FALSE(parallel_for(out.size(), body).has_value());

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The parent's workers do not exist here; a batch must still complete.
    std::vector<int> mine(1000, 0);
    auto fill = [&](size_t i) { mine[i] = static_cast<int>(i) + 1; };
    if (parallel_for(mine.size(), fill).has_value()) _exit(2);
    for (size_t i = 0; i < mine.size(); ++i) {
      if (mine[i] != static_cast<int>(i) + 1) _exit(3);
    }
    _exit(0);
  }
  int status = 0;
  // A hang in the child would hang here; the test runner's timeout catches it.
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // The parent's pool is untouched by the fork.
  ASSERT_FALSE(parallel_for(out.size(), body).has_value());
  EXPECT_EQ(std::get<ThreadPool*>(global_thread_pool()), std::get<ThreadPool*>(first));
}

}  // namespace
}  // namespace quorvane
