// Sampling rules that turn raw generator words into bounded integers and
// distinct positions.
//
// They are templates over the word source so that tests can feed scripted
// words and reach the rare rejection branches on purpose. Each rule draws
// whole words only, so the number of draws is part of its contract: callers
// that replay a sequence of choices depend on it.
#ifndef QUORVANE_GENERATOR_SAMPLING_H_
#define QUORVANE_GENERATOR_SAMPLING_H_

#include <cstdint>

namespace quorvane {

// Uniform value in [0, range) for range >= 1, by a widening multiply with one
// correction word when the low half lands in the biased zone. Unlike a
// rejection loop it never draws more than two words; the residual bias is
// below 2^-32 and is what keeps the draw count fixed.
template <class Next32>
uint32_t sample_below32(uint32_t range, Next32&& next32) {
  const uint64_t product = uint64_t{next32()} * range;
  uint32_t hi = static_cast<uint32_t>(product >> 32);
  const uint32_t lo = static_cast<uint32_t>(product);
  if (lo > 0u - range) {
    const uint32_t carry_in = static_cast<uint32_t>((uint64_t{next32()} * range) >> 32);
    if (static_cast<uint32_t>(lo + carry_in) < lo) ++hi;
  }
  return hi;
}

// The same rule on 64-bit words with 128-bit products; range >= 1.
template <class Next64>
uint64_t sample_below64(uint64_t range, Next64&& next64) {
  using u128 = unsigned __int128;
  const u128 product = u128{next64()} * range;
  uint64_t hi = static_cast<uint64_t>(product >> 64);
  const uint64_t lo = static_cast<uint64_t>(product);
  if (lo > 0 - range) {
    const uint64_t carry_in = static_cast<uint64_t>((u128{next64()} * range) >> 64);
    if (lo + carry_in < lo) ++hi;
  }
  return hi;
}

// Uniform integer in [low, high] (low <= high). The full 64-bit range takes a
// raw word unchanged, reinterpreted as signed.
template <class Next64>
int64_t sample_between(int64_t low, int64_t high, Next64&& next64) {
  const uint64_t range = static_cast<uint64_t>(high) - static_cast<uint64_t>(low) + 1;
  if (range == 0) return static_cast<int64_t>(next64());
  const uint64_t offset = sample_below64(range, next64);
  return static_cast<int64_t>(static_cast<uint64_t>(low) + offset);
}

// Floyd's sampling of `count` distinct positions among [0, n), count <= n,
// written to out[0..count). Draws exactly `count` indices. The output order is
// part of the result: a repeated draw moves the older entry to the newest
// candidate and appends the repeat, which is what callers replay.
template <class IndexBelow>
void floyd_sample(uint32_t n, uint32_t count, IndexBelow&& index_below, uint32_t* out) {
  uint32_t size = 0;
  for (uint32_t j = n - count; j < n; ++j) {
    const uint32_t t = index_below(j + 1);
    for (uint32_t i = 0; i < size; ++i) {
      if (out[i] == t) {
        out[i] = j;
        break;
      }
    }
    out[size++] = t;
  }
}

}  // namespace quorvane

#endif  // QUORVANE_GENERATOR_SAMPLING_H_
