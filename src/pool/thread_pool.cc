#include "pool/thread_pool.h"

#include <signal.h>

#include <algorithm>
#include <cstring>

#include "pool/thread_count.h"

namespace quorvane {

namespace {

// A lane holds the unclaimed part [begin, end) of one worker's share, packed
// into one word so that the owner's pops and the thieves' splits are single
// compare-and-swaps. Positions are relative to the job's window, so a window
// holds at most 2^32 - 1 positions.
constexpr size_t kMaxWindow = UINT32_MAX;

uint64_t pack(uint32_t begin, uint32_t end) {
  return (uint64_t{begin} << 32) | end;
}
uint32_t begin_of(uint64_t range) {
  return static_cast<uint32_t>(range >> 32);
}
uint32_t end_of(uint64_t range) {
  return static_cast<uint32_t>(range);
}
uint32_t remaining(uint64_t range) {
  return end_of(range) - begin_of(range);
}

struct alignas(64) Lane {
  std::atomic<uint64_t> range{0};
};

// The pool whose worker the current thread is, if any.
thread_local const ThreadPool* current_pool = nullptr;

struct WorkerStart {
  ThreadPool* pool;
  size_t id;
};

}  // namespace

struct ThreadPool::Job {
  RangeFn fn;
  void* context;
  size_t base;
  size_t lane_count;
  std::unique_ptr<Lane[]> lanes;
  std::atomic<size_t> workers_left;

  void run_lanes(size_t id) {
    Lane& own = lanes[id];
    do {
      uint64_t range = own.range.load(std::memory_order_acquire);
      while (remaining(range) > 0) {
        uint64_t rest = pack(begin_of(range) + 1, end_of(range));
        if (own.range.compare_exchange_weak(range, rest, std::memory_order_acq_rel,
                                            std::memory_order_acquire)) {
          size_t position = base + begin_of(range);
          fn(context, position, position + 1);
          range = own.range.load(std::memory_order_acquire);
        }
      }
    } while (steal_into(own));
  }

  // Moves the back half of the fullest other lane into `own` (which is
  // empty). False once every lane is empty: what is left is already in the
  // hands of the workers running it.
  bool steal_into(Lane& own) {
    while (true) {
      Lane* victim = nullptr;
      uint64_t seen = 0;
      for (size_t i = 0; i < lane_count; ++i) {
        uint64_t range = lanes[i].range.load(std::memory_order_acquire);
        if (&lanes[i] != &own && remaining(range) > remaining(seen)) {
          victim = &lanes[i];
          seen = range;
        }
      }
      if (victim == nullptr) return false;
      uint32_t take = remaining(seen) - remaining(seen) / 2;
      uint32_t split = end_of(seen) - take;
      if (victim->range.compare_exchange_strong(seen, pack(begin_of(seen), split),
                                                std::memory_order_acq_rel)) {
        own.range.store(pack(split, end_of(seen)), std::memory_order_release);
        return true;
      }
    }
  }
};

ThreadPool::ThreadPool(size_t threads) : threads_(threads) {}

ThreadPool::~ThreadPool() {
  stop_and_join();
}

std::variant<std::unique_ptr<ThreadPool>, PoolError> ThreadPool::start(size_t threads,
                                                                       size_t stack_size) {
  std::unique_ptr<ThreadPool> pool(new ThreadPool(std::max<size_t>(threads, 1)));
  pthread_attr_t attr;
  int rc = pthread_attr_init(&attr);
  if (rc == 0) rc = pthread_attr_setstacksize(&attr, stack_size);
  if (rc == 0) {
    // Workers never handle signals: they stay with the threads that can.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    for (size_t id = 0; id < pool->threads_.size(); ++id) {
      auto* start = new WorkerStart{pool.get(), id};
      rc = pthread_create(&pool->threads_[id], &attr, &ThreadPool::thread_main, start);
      if (rc != 0) {
        delete start;
        break;
      }
      ++pool->started_;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    pool->stop_and_join();
    return PoolError{std::string("could not start a worker thread: ") + std::strerror(rc)};
  }
  return pool;
}

void* ThreadPool::thread_main(void* arg) {
  WorkerStart start = *static_cast<WorkerStart*>(arg);
  delete static_cast<WorkerStart*>(arg);
  current_pool = start.pool;
  start.pool->work_loop(start.id);
  return nullptr;
}

void ThreadPool::work_loop(size_t id) {
  uint64_t seen = 0;
  while (true) {
    Job* job;
    {
      std::unique_lock<std::mutex> lock(mu_);
      work_cv_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      job = job_;
    }
    job->run_lanes(id);
    // The last worker out reports the job finished; the caller's Job lives
    // until then.
    if (job->workers_left.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      std::lock_guard<std::mutex> lock(mu_);
      finished_ = seen;
      done_cv_.notify_all();
    }
  }
}

void ThreadPool::stop_and_join() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  work_cv_.notify_all();
  for (size_t id = 0; id < started_; ++id) pthread_join(threads_[id], nullptr);
  started_ = 0;
}

void ThreadPool::run(size_t count, RangeFn fn, void* context) {
  if (count == 0) return;
  if (current_pool == this) {
    // A worker waiting for its own pool would wait for itself.
    fn(context, 0, count);
    return;
  }
  std::lock_guard<std::mutex> submit(submit_mu_);
  for (size_t base = 0; base < count; base += kMaxWindow) {
    run_window(base, std::min(kMaxWindow, count - base), fn, context);
  }
}

void ThreadPool::run_window(size_t base, size_t count, RangeFn fn, void* context) {
  Job job;
  job.fn = fn;
  job.context = context;
  job.base = base;
  job.lane_count = started_;
  job.lanes = std::make_unique<Lane[]>(started_);
  for (size_t i = 0; i < started_; ++i) {
    job.lanes[i].range.store(pack(static_cast<uint32_t>(count * i / started_),
                                  static_cast<uint32_t>(count * (i + 1) / started_)),
                             std::memory_order_relaxed);
  }
  job.workers_left.store(started_, std::memory_order_relaxed);

  std::unique_lock<std::mutex> lock(mu_);
  job_ = &job;
  uint64_t generation = ++generation_;
  work_cv_.notify_all();
  done_cv_.wait(lock, [&] { return finished_ == generation; });
  job_ = nullptr;
}

namespace {

// The process-wide pool. It is never destroyed: its workers may be busy for
// other callers until the process ends.
std::mutex global_mu;
std::atomic<ThreadPool*> global_pool{nullptr};
std::once_flag fork_handlers_once;

// A forked child has only the forking thread. The parent's pool object stays
// behind untouched (its threads and locks belong to the parent) and the child
// starts a pool of its own when it first needs one.
void before_fork() {
  global_mu.lock();
}
void after_fork_in_parent() {
  global_mu.unlock();
}
void after_fork_in_child() {
  global_pool.store(nullptr, std::memory_order_relaxed);
  global_mu.unlock();
}

}  // namespace

std::variant<ThreadPool*, PoolError> global_thread_pool() {
  if (ThreadPool* pool = global_pool.load(std::memory_order_acquire)) return pool;
  std::call_once(fork_handlers_once,
                 [] { pthread_atfork(&before_fork, &after_fork_in_parent, &after_fork_in_child); });
  std::lock_guard<std::mutex> lock(global_mu);
  if (ThreadPool* pool = global_pool.load(std::memory_order_acquire)) return pool;
  auto started = ThreadPool::start(configured_thread_count());
  if (PoolError* error = std::get_if<PoolError>(&started)) {
    return PoolError{"The global thread pool has not been initialized.: " + error->message};
  }
  ThreadPool* pool = std::get<std::unique_ptr<ThreadPool>>(started).release();
  global_pool.store(pool, std::memory_order_release);
  return pool;
}

}  // namespace quorvane
