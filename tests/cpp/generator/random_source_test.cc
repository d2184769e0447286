#include "generator/random_source.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <set>

namespace quorvane {
namespace {

// Expected words below were computed with Python big-integer arithmetic
// directly from the SplitMix64 and xoshiro256++ definitions; the same script
// reproduces the reference vector of the xoshiro authors for state {1, 2, 3, 4}.

uint64_t rotr(uint64_t x, int k) {
  return (x >> k) | (x << (64 - k));
}

// A source whose next output is `word`: with s0 = 0 the output is rotl(s3, 23).
RandomSource source_whose_next_is(uint64_t word) {
  return RandomSource({0, 0x0123456789abcdefULL, 0xfedcba9876543210ULL, rotr(word, 23)});
}

RandomSource advanced(RandomSource source, int steps) {
  for (int i = 0; i < steps; ++i) source.next64();
  return source;
}

TEST(SplitMixSeeding, SeedZeroGivesThePublishedState) {
  EXPECT_EQ(RandomSource::from_seed(0).state(),
            (RandomSource::State{0xe220a8397b1dcdafULL, 0x6e789e6aa1b965f4ULL,
                                 0x06c45d188009454fULL, 0xf88bb8a8724c81ecULL}));
}

TEST(SplitMixSeeding, OtherSeedsIncludingTheLargest) {
  EXPECT_EQ(RandomSource::from_seed(1).state(),
            (RandomSource::State{0x910a2dec89025cc1ULL, 0xbeeb8da1658eec67ULL,
                                 0xf893a2eefb32555eULL, 0x71c18690ee42c90bULL}));
  EXPECT_EQ(RandomSource::from_seed(42).state(),
            (RandomSource::State{0xbdd732262feb6e95ULL, 0x28efe333b266f103ULL,
                                 0x47526757130f9f52ULL, 0x581ce1ff0e4ae394ULL}));
  EXPECT_EQ(RandomSource::from_seed(std::numeric_limits<uint64_t>::max()).state(),
            (RandomSource::State{0xe4d971771b652c20ULL, 0xe99ff867dbf682c9ULL,
                                 0x382ff84cb27281e9ULL, 0x6d1db36ccba982d2ULL}));
}

TEST(Xoshiro, ReferenceVectorFromOneTwoThreeFour) {
  RandomSource source({1, 2, 3, 4});
  const uint64_t expected[] = {41943041ULL,
                               58720359ULL,
                               3588806011781223ULL,
                               3591011842654386ULL,
                               9228616714210784205ULL,
                               9973669472204895162ULL,
                               14011001112246962877ULL,
                               12406186145184390807ULL,
                               15849039046786891736ULL,
                               10450023813501588000ULL};
  for (uint64_t word : expected) EXPECT_EQ(source.next64(), word);
}

TEST(Xoshiro, OutputsAndStateFromSeedZero) {
  RandomSource source = RandomSource::from_seed(0);
  const uint64_t expected[] = {0x53175d61490b23dfULL, 0x61da6f3dc380d507ULL, 0x5c0fdf91ec9a7bfcULL,
                               0x02eebf8c3bbe5e1aULL, 0x7eca04ebaf4a5eeaULL, 0x0543c37757f08d9aULL};
  for (uint64_t word : expected) EXPECT_EQ(source.next64(), word);
  EXPECT_EQ(source.state(), (RandomSource::State{0x07e3a642c4dbe605ULL, 0x5698b7064ee18dbfULL,
                                                 0x5392b72a9103fd5eULL, 0xaa552d645cf92326ULL}));
}

TEST(DerivedDraws, Next32IsTheHighHalfOfOneStep) {
  RandomSource source = RandomSource::from_seed(0);
  EXPECT_EQ(source.next32(), 0x53175d61u);
  EXPECT_EQ(source.next32(), 0x61da6f3du);
  EXPECT_EQ(source, advanced(RandomSource::from_seed(0), 2));
}

TEST(DerivedDraws, CoinIsTheTopBit) {
  RandomSource high = source_whose_next_is(0x8000000000000000ULL);
  EXPECT_TRUE(high.coin());
  RandomSource low = source_whose_next_is(0x7fffffffffffffffULL);
  EXPECT_FALSE(low.coin());
}

TEST(DerivedDraws, QuarterNeedsBothTopBitsClear) {
  RandomSource just_below = source_whose_next_is((uint64_t{1} << 62) - 1);
  EXPECT_TRUE(just_below.quarter());
  RandomSource at_bound = source_whose_next_is(uint64_t{1} << 62);
  EXPECT_FALSE(at_bound.quarter());
  RandomSource top = source_whose_next_is(0x8000000000000000ULL);
  EXPECT_FALSE(top.quarter());
}

TEST(DerivedDraws, TheHelperReallyControlsTheNextWord) {
  RandomSource source = source_whose_next_is(0xdeadbeefcafef00dULL);
  EXPECT_EQ(source.next64(), 0xdeadbeefcafef00dULL);
}

TEST(IndexBelow, OneIsAlwaysZeroAndStillSteps) {
  RandomSource source = RandomSource::from_seed(7);
  for (int i = 1; i <= 50; ++i) {
    EXPECT_EQ(source.index_below(1), 0u);
    EXPECT_EQ(source, advanced(RandomSource::from_seed(7), i));
  }
}

TEST(IndexBelow, UsesTheHighHalfOfTheFirstWord) {
  // 0x55555555 * 3 leaves a low half of 0xffffffff, in the biased zone, so a
  // second word decides; 0xffffffff * 3 sits exactly on the zone's edge and
  // does not.
  RandomSource rejected = source_whose_next_is(0x5555555500000000ULL);
  RandomSource reference = rejected;
  // The second word's high half, 0xf9e92353, times 3 carries into the result.
  EXPECT_EQ(rejected.index_below(3), 1u);
  EXPECT_EQ(rejected, advanced(reference, 2));

  RandomSource edge = source_whose_next_is(0xffffffff00000000ULL);
  reference = edge;
  EXPECT_EQ(edge.index_below(3), 2u);
  EXPECT_EQ(edge, advanced(reference, 1));
}

TEST(IndexBelow, StaysInRangeAndCoversIt) {
  RandomSource source = RandomSource::from_seed(3);
  std::set<uint64_t> seen;
  for (int i = 0; i < 2000; ++i) {
    const uint64_t value = source.index_below(5);
    ASSERT_LT(value, 5u);
    seen.insert(value);
  }
  EXPECT_EQ(seen.size(), 5u);
}

TEST(IndexBelow, RangesBeyondThirtyTwoBitsUseWholeWords) {
  const uint64_t n = uint64_t{1} << 40;
  RandomSource source = source_whose_next_is(0x8000000000000000ULL);
  // The high 64 bits of 2^63 * 2^40.
  EXPECT_EQ(source.index_below(n), uint64_t{1} << 39);
}

TEST(IntegerBetween, EdgeOfTheBiasedZoneTakesOneStep) {
  // 0x7fff...ff * 50 has low word 2^64 - 50: not above the bound.
  RandomSource source = source_whose_next_is(0x7fffffffffffffffULL);
  RandomSource reference = source;
  EXPECT_EQ(source.integer_between(1, 50), 25);
  EXPECT_EQ(source, advanced(reference, 1));
}

TEST(IntegerBetween, InsideTheBiasedZoneTakesTwoSteps) {
  RandomSource source = source_whose_next_is(0x70a3d70a3d70a3d7ULL);
  RandomSource reference = source;
  // 1 + 21 from the first word, plus the carry of the second (0xaa1aa6e078d3a568).
  EXPECT_EQ(source.integer_between(1, 50), 23);
  EXPECT_EQ(source, advanced(reference, 2));
}

TEST(IntegerBetween, FullRangeIsTheRawWord) {
  RandomSource source = source_whose_next_is(0x8000000000000001ULL);
  EXPECT_EQ(source.integer_between(std::numeric_limits<int64_t>::min(),
                                   std::numeric_limits<int64_t>::max()),
            static_cast<int64_t>(0x8000000000000001ULL));
}

TEST(IntegerBetween, SinglePointAndNegativeBounds) {
  RandomSource source = RandomSource::from_seed(11);
  EXPECT_EQ(source.integer_between(-4, -4), -4);
  EXPECT_EQ(source, advanced(RandomSource::from_seed(11), 1));
  for (int i = 0; i < 1000; ++i) {
    const int64_t value = source.integer_between(-3, 3);
    ASSERT_GE(value, -3);
    ASSERT_LE(value, 3);
  }
}

TEST(EntropySeeding, BytesAreLittleEndianWords) {
  std::array<unsigned char, RandomSource::kSeedBytes> bytes{};
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i + 1);
  EXPECT_EQ(RandomSource::from_entropy_bytes(bytes).state(),
            (RandomSource::State{0x0807060504030201ULL, 0x100f0e0d0c0b0a09ULL,
                                 0x1817161514131211ULL, 0x201f1e1d1c1b1a19ULL}));
}

TEST(EntropySeeding, AllZeroBytesGiveTheSeedZeroState) {
  const std::array<unsigned char, RandomSource::kSeedBytes> zeros{};
  EXPECT_EQ(RandomSource::from_entropy_bytes(zeros), RandomSource::from_seed(0));
}

TEST(EntropySeeding, OneNonZeroByteIsKept) {
  std::array<unsigned char, RandomSource::kSeedBytes> bytes{};
  bytes[31] = 0x80;
  EXPECT_EQ(RandomSource::from_entropy_bytes(bytes).state(),
            (RandomSource::State{0, 0, 0, 0x8000000000000000ULL}));
}

TEST(EntropySeeding, OperatingSystemSeedsDiffer) {
  Result<RandomSource> first = RandomSource::from_os_rng();
  Result<RandomSource> second = RandomSource::from_os_rng();
  ASSERT_TRUE(first.ok()) << first.error().message;
  ASSERT_TRUE(second.ok()) << second.error().message;
  EXPECT_NE(first.value(), second.value());
  EXPECT_NE(first->state(), (RandomSource::State{0, 0, 0, 0}));
}

TEST(EntropySeeding, FailureCarriesTheSystemErrorText) {
  const CypherError error = RandomSource::entropy_failure(EACCES);
  EXPECT_EQ(error.message, "from_os_rng failed: Permission denied");
}

}  // namespace
}  // namespace quorvane
