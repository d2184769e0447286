// The generator's random source: xoshiro256++ seeded by SplitMix64 or from
// operating-system entropy, with the sampling rules generated queries are
// built from.
//
// Every operation is exact to the bit and consumes a fixed, documented number
// of steps, so a seed and a sequence of calls always reproduce the same
// queries.
#ifndef QUORVANE_GENERATOR_RANDOM_SOURCE_H_
#define QUORVANE_GENERATOR_RANDOM_SOURCE_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "error/cypher_error.h"
#include "generator/sampling.h"

namespace quorvane {

class RandomSource {
 public:
  using State = std::array<uint64_t, 4>;
  static constexpr size_t kSeedBytes = 32;

  // Takes the four words as they are. An all-zero state never leaves zero;
  // the factories below avoid it.
  explicit RandomSource(const State& state) : s_(state) {}

  // The four SplitMix64 outputs that follow `seed`.
  static RandomSource from_seed(uint64_t seed);

  // Four little-endian words read from the bytes; all-zero bytes give the
  // seed-0 state instead, since xoshiro cannot leave the zero state.
  static RandomSource from_entropy_bytes(const std::array<unsigned char, kSeedBytes>& bytes);

  // Seeds from the kernel's entropy. The only failure is an unreadable
  // entropy service; its message is "from_os_rng failed: " and the system's
  // error text. The caller treats it as an internal failure, not a user
  // error.
  static Result<RandomSource> from_os_rng();

  // The error value from_os_rng reports for the errno value `err`.
  static CypherError entropy_failure(int err);

  uint64_t next64() {
    const uint64_t result = rotl(s_[0] + s_[3], 23) + s_[0];
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }

  // The high half of one step: the better-mixed bits.
  uint32_t next32() { return static_cast<uint32_t>(next64() >> 32); }

  // Uniform in [0, n) for n >= 1; one step, rarely two. n == 1 still steps.
  uint64_t index_below(uint64_t n) {
    if (n <= UINT32_MAX) {
      return sample_below32(static_cast<uint32_t>(n), [this] { return next32(); });
    }
    return sample_below64(n, [this] { return next64(); });
  }

  // Uniform in [low, high], low <= high; one step, rarely two.
  int64_t integer_between(int64_t low, int64_t high) {
    return sample_between(low, high, [this] { return next64(); });
  }

  // The highest bit of one step.
  bool coin() { return (next64() >> 63) != 0; }

  // True with probability 1/4: both top bits of one step are zero.
  bool quarter() { return next64() < (uint64_t{1} << 62); }

  const State& state() const { return s_; }
  bool operator==(const RandomSource&) const = default;

 private:
  static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

  State s_;
};

}  // namespace quorvane

#endif  // QUORVANE_GENERATOR_RANDOM_SOURCE_H_
