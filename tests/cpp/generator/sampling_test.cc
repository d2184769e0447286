#include "generator/sampling.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <vector>

namespace quorvane {
namespace {

// Hands out a fixed list of words and counts how many were taken.
template <class Word>
class Script {
 public:
  explicit Script(std::vector<Word> words) : words_(std::move(words)) {}
  Word operator()() {
    if (taken_ >= words_.size()) {
      ADD_FAILURE() << "drew more words than scripted";
      return 0;
    }
    return words_[taken_++];
  }
  size_t taken() const { return taken_; }

 private:
  std::vector<Word> words_;
  size_t taken_ = 0;
};

using Words32 = Script<uint32_t>;
using Words64 = Script<uint64_t>;

// The 32-bit cases use range 3, whose biased zone is low halves above
// 2^32 - 3. Products were worked out by hand: 0x55555555 * 3 = 0xffffffff,
// 0xaaaaaaaa * 3 = 0x1_fffffffe, 0xffffffff * 3 = 0x2_fffffffd.
TEST(SampleBelow32, OutsideTheZoneTakesOneWord) {
  Words32 words({0x80000000u});
  EXPECT_EQ(sample_below32(3, words), 1u);
  EXPECT_EQ(words.taken(), 1u);
}

TEST(SampleBelow32, ExactlyOnTheZoneEdgeTakesOneWord) {
  Words32 words({0xffffffffu});
  EXPECT_EQ(sample_below32(3, words), 2u);
  EXPECT_EQ(words.taken(), 1u);
}

TEST(SampleBelow32, InsideTheZoneASecondWordMayCarry) {
  // Low half 0xffffffff: any non-zero high part of y*3 overflows it.
  Words32 carries({0x55555555u, 0x55555556u});
  EXPECT_EQ(sample_below32(3, carries), 1u);
  EXPECT_EQ(carries.taken(), 2u);

  Words32 no_carry({0x55555555u, 0x55555555u});
  EXPECT_EQ(sample_below32(3, no_carry), 0u);
  EXPECT_EQ(no_carry.taken(), 2u);
}

TEST(SampleBelow32, CarryNeedsTheSumToOverflow) {
  // Low half 0xfffffffe: a high part of 1 fits, 2 overflows.
  Words32 fits({0xaaaaaaaau, 0x55555556u});
  EXPECT_EQ(sample_below32(3, fits), 1u);
  Words32 overflows({0xaaaaaaaau, 0xaaaaaaabu});
  EXPECT_EQ(sample_below32(3, overflows), 2u);
}

TEST(SampleBelow32, RangeOneNeverRejects) {
  Words32 words({0xffffffffu});
  EXPECT_EQ(sample_below32(1, words), 0u);
  EXPECT_EQ(words.taken(), 1u);
}

TEST(SampleBelow32, LargestRangeAndASumOfExactlyTwoToThe32) {
  // 0xfffffffe * 0xffffffff = 0xfffffffd_00000002: low half 2 is above the
  // zone bound 1. A second word of 0xffffffff contributes 0xfffffffe, and
  // 2 + 0xfffffffe is exactly 2^32, which carries.
  Words32 no_carry({0xfffffffeu, 0u});
  EXPECT_EQ(sample_below32(0xffffffffu, no_carry), 0xfffffffdu);
  EXPECT_EQ(no_carry.taken(), 2u);
  Words32 carries({0xfffffffeu, 0xffffffffu});
  EXPECT_EQ(sample_below32(0xffffffffu, carries), 0xfffffffeu);
}

// 64-bit cases use range 50 (the LIMIT values). 0x70a3d70a3d70a3d7 * 50 has
// high word 21 and low word 2^64 - 2; 0x7fffffffffffffff * 50 has high word
// 24 and low word 2^64 - 50; 0x0a3d70a3d70a3d71 * 50 has high word 2 and
// 0x0a3d70a3d70a3d70 * 50 high word 1 (Python big-integer arithmetic).
TEST(SampleBetween, EdgeOfTheZoneTakesOneWord) {
  Words64 words({0x7fffffffffffffffULL});
  EXPECT_EQ(sample_between(1, 50, words), 25);
  EXPECT_EQ(words.taken(), 1u);
}

TEST(SampleBetween, InsideTheZoneCarriesOnlyOnOverflow) {
  Words64 carries({0x70a3d70a3d70a3d7ULL, 0x0a3d70a3d70a3d71ULL});
  EXPECT_EQ(sample_between(1, 50, carries), 23);
  EXPECT_EQ(carries.taken(), 2u);

  Words64 fits({0x70a3d70a3d70a3d7ULL, 0x0a3d70a3d70a3d70ULL});
  EXPECT_EQ(sample_between(1, 50, fits), 22);
  EXPECT_EQ(fits.taken(), 2u);
}

TEST(SampleBetween, BoundsOfTheRange) {
  Words64 lowest({0});
  EXPECT_EQ(sample_between(1, 100, lowest), 1);
  Words64 highest({std::numeric_limits<uint64_t>::max()});
  EXPECT_EQ(sample_between(1, 100, highest), 100);
}

TEST(SampleBetween, FullRangeReturnsTheWordAsSigned) {
  Words64 words({0xfffffffffffffffeULL});
  EXPECT_EQ(sample_between(std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
                           words),
            -2);
  EXPECT_EQ(words.taken(), 1u);
}

TEST(SampleBetween, NegativeLowBoundWrapsCorrectly) {
  // 2^62 * (2^63 + 1): high word 2^61, low word 2^62, outside the zone.
  Words64 words({uint64_t{1} << 62});
  EXPECT_EQ(sample_between(-(int64_t{1} << 62), int64_t{1} << 62, words), -(int64_t{1} << 61));
  EXPECT_EQ(words.taken(), 1u);
}

// Floyd's sampling with scripted index draws.
class Indices {
 public:
  explicit Indices(std::vector<uint32_t> values) : values_(std::move(values)) {}
  uint32_t operator()(uint32_t bound) {
    bounds.push_back(bound);
    if (taken_ >= values_.size()) {
      ADD_FAILURE() << "drew more indices than scripted";
      return 0;
    }
    return values_[taken_++];
  }
  std::vector<uint32_t> bounds;

 private:
  std::vector<uint32_t> values_;
  size_t taken_ = 0;
};

TEST(FloydSample, DrawsBelowGrowingBounds) {
  Indices draws({2, 0, 1});
  uint32_t out[3];
  floyd_sample(5, 3, draws, out);
  EXPECT_EQ(draws.bounds, (std::vector<uint32_t>{3, 4, 5}));
  EXPECT_EQ(std::vector<uint32_t>(out, out + 3), (std::vector<uint32_t>{2, 0, 1}));
}

TEST(FloydSample, RepeatMovesTheOldEntryToTheNewCandidate) {
  // Second draw repeats 2: the old entry becomes j = 3 and 2 is appended.
  Indices draws({2, 2, 4});
  uint32_t out[3];
  floyd_sample(5, 3, draws, out);
  EXPECT_EQ(std::vector<uint32_t>(out, out + 3), (std::vector<uint32_t>{3, 2, 4}));
}

TEST(FloydSample, RepeatOfAnEarlierEntryWhenTheListIsLonger) {
  Indices draws({0, 1, 0});
  uint32_t out[3];
  floyd_sample(3, 3, draws, out);
  EXPECT_EQ(std::vector<uint32_t>(out, out + 3), (std::vector<uint32_t>{2, 1, 0}));
}

TEST(FloydSample, SingleKeyAlwaysPositionZero) {
  Indices draws({0});
  uint32_t out[1];
  floyd_sample(1, 1, draws, out);
  EXPECT_EQ(draws.bounds, (std::vector<uint32_t>{1}));
  EXPECT_EQ(out[0], 0u);
}

TEST(FloydSample, AlwaysDistinctForEveryScript) {
  // Every possible script for n = 4, count = 3.
  for (uint32_t a = 0; a < 2; ++a) {
    for (uint32_t b = 0; b < 3; ++b) {
      for (uint32_t c = 0; c < 4; ++c) {
        Indices draws({a, b, c});
        uint32_t out[3];
        floyd_sample(4, 3, draws, out);
        const std::set<uint32_t> distinct(out, out + 3);
        EXPECT_EQ(distinct.size(), 3u) << a << b << c;
        EXPECT_LT(*distinct.rbegin(), 4u);
      }
    }
  }
}

}  // namespace
}  // namespace quorvane
