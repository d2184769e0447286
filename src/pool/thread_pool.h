// A fixed set of worker threads that run index ranges in parallel.
//
// A job covers the positions [0, count). It starts split evenly over the
// workers; each worker takes positions one at a time from the front of its
// own share, and a worker whose share is empty steals the back half of
// another's. So every worker takes part and none idles while work is left.
// The caller is never one of the workers: it hands the job over and blocks
// until every position has been run. Jobs from several callers run one after
// another.
//
// The process-wide pool (global_thread_pool) is created on first use and
// never shut down. A child process forked after that starts its own pool on
// first use: the parent's threads do not exist in the child.
#ifndef QUORVANE_POOL_THREAD_POOL_H_
#define QUORVANE_POOL_THREAD_POOL_H_

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quorvane {

// Why the pool could not be started; `message` is the full text to show.
struct PoolError {
  std::string message;
};

class ThreadPool {
 public:
  // Runs the positions [begin, end) of a job.
  using RangeFn = void (*)(void* context, size_t begin, size_t end);

  // Deeply nested queries recurse deeply; workers get more stack than the
  // usual thread default.
  static constexpr size_t kDefaultStackSize = size_t{16} << 20;

  // Starts `threads` (at least 1) workers. If a thread cannot be created,
  // the workers already started are stopped again and the error says why.
  static std::variant<std::unique_ptr<ThreadPool>, PoolError> start(
      size_t threads, size_t stack_size = kDefaultStackSize);

  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;
  // Stops and joins the workers. Never run for the process-wide pool.
  ~ThreadPool();

  size_t size() const { return threads_.size(); }

  // Calls fn over disjoint ranges that together cover [0, count) exactly
  // once, on the workers, and returns when all calls have returned. Called
  // from one of this pool's own workers, runs everything inline instead.
  void run(size_t count, RangeFn fn, void* context);

  // body(i) for every i in [0, count).
  template <class F>
  void for_each(size_t count, F& body) {
    run(count, &call_each<F>, &body);
  }

 private:
  struct Job;

  explicit ThreadPool(size_t threads);
  static void* thread_main(void* arg);
  void work_loop(size_t id);
  void run_window(size_t base, size_t count, RangeFn fn, void* context);
  void stop_and_join();

  template <class F>
  static void call_each(void* body, size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) (*static_cast<F*>(body))(i);
  }

  std::vector<pthread_t> threads_;
  size_t started_ = 0;

  std::mutex submit_mu_;  // one job at a time
  std::mutex mu_;         // guards the fields below
  std::condition_variable work_cv_;
  std::condition_variable done_cv_;
  Job* job_ = nullptr;
  uint64_t generation_ = 0;
  uint64_t finished_ = 0;
  bool stopping_ = false;
};

// The process-wide pool, sized by configured_thread_count(). An error whose
// message begins "The global thread pool has not been initialized." when its
// threads cannot be started; the next call tries again.
std::variant<ThreadPool*, PoolError> global_thread_pool();

// body(i) for every i in [0, count) on the process-wide pool; the error if the
// pool could not be started (then nothing ran).
template <class F>
std::optional<PoolError> parallel_for(size_t count, F& body) {
  auto pool = global_thread_pool();
  if (PoolError* error = std::get_if<PoolError>(&pool)) return std::move(*error);
  std::get<ThreadPool*>(pool)->for_each(count, body);
  return std::nullopt;
}

}  // namespace quorvane

#endif  // QUORVANE_POOL_THREAD_POOL_H_
