// How many worker threads the process-wide pool gets.
//
// RAYON_NUM_THREADS wins when it holds a positive count; 0 there asks for the
// default outright. Otherwise a positive RAYON_RS_NUM_CPUS is used. The
// default is the number of CPUs this process may run on.
#ifndef QUORVANE_POOL_THREAD_COUNT_H_
#define QUORVANE_POOL_THREAD_COUNT_H_

#include <cstddef>
#include <optional>
#include <string_view>

namespace quorvane {

// Decimal digits with at most one leading '+', no blanks, no overflow.
std::optional<size_t> parse_thread_count(std::string_view text);

// The count that the two settings select (either may be null: unset), or
// `fallback` when neither selects one.
size_t select_thread_count(const char* num_threads, const char* rs_num_cpus, size_t fallback);

// CPUs in the affinity mask, capped by any container CPU quota; at least 1.
size_t available_cpus();

// select_thread_count over the current environment and available_cpus().
size_t configured_thread_count();

}  // namespace quorvane

#endif  // QUORVANE_POOL_THREAD_COUNT_H_
