#include "pool/thread_count.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "pool/cpu_quota.h"

namespace quorvane {

namespace {

std::optional<size_t> affinity_cpus() {
  // The mask can be larger than cpu_set_t on big machines; grow until the
  // kernel accepts it.
  for (int cpus = 1024; cpus <= (1 << 20); cpus *= 2) {
    cpu_set_t* set = CPU_ALLOC(cpus);
    if (set == nullptr) return std::nullopt;
    size_t bytes = CPU_ALLOC_SIZE(cpus);
    CPU_ZERO_S(bytes, set);
    int rc = sched_getaffinity(0, bytes, set);
    size_t count = rc == 0 ? static_cast<size_t>(CPU_COUNT_S(bytes, set)) : 0;
    CPU_FREE(set);
    if (rc == 0) return count > 0 ? std::optional<size_t>(count) : std::nullopt;
    if (errno != EINVAL) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::optional<size_t> parse_thread_count(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  size_t value = 0;
  constexpr size_t kMax = std::numeric_limits<size_t>::max();
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    size_t digit = static_cast<size_t>(c - '0');
    if (value > (kMax - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

size_t select_thread_count(const char* num_threads, const char* rs_num_cpus, size_t fallback) {
  if (num_threads != nullptr) {
    std::optional<size_t> count = parse_thread_count(num_threads);
    if (count) return *count > 0 ? *count : fallback;
  }
  if (rs_num_cpus != nullptr) {
    std::optional<size_t> count = parse_thread_count(rs_num_cpus);
    if (count && *count > 0) return *count;
  }
  return fallback;
}

size_t available_cpus() {
  std::optional<size_t> cpus = affinity_cpus();
  if (!cpus) {
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    if (online <= 0) return 1;
    cpus = static_cast<size_t>(online);
  }
  if (std::optional<uint64_t> quota = cgroup_cpu_quota()) {
    // A quota below one whole CPU still leaves one thread to run on.
    uint64_t allowed = std::max<uint64_t>(*quota, 1);
    if (allowed < *cpus) cpus = static_cast<size_t>(allowed);
  }
  return *cpus;
}

size_t configured_thread_count() {
  const char* num_threads = std::getenv("RAYON_NUM_THREADS");
  const char* rs_num_cpus = std::getenv("RAYON_RS_NUM_CPUS");
  // The CPU count is only worked out when the settings leave it to us.
  size_t chosen = select_thread_count(num_threads, rs_num_cpus, 0);
  return chosen > 0 ? chosen : available_cpus();
}

}  // namespace quorvane
