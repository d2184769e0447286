#include "validator/semantic/unicode_lower.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "validator/semantic/unicode_lower_table.h"

namespace quorvane {
namespace {

TEST(UnicodeLowerTest, AsciiLowersOnlyLetters) {
  EXPECT_EQ(to_lower("ACTED_IN"), "acted_in");
  EXPECT_EQ(to_lower("MiXeD 123 @[`{"), "mixed 123 @[`{");
  EXPECT_EQ(to_lower(""), "");
}

TEST(UnicodeLowerTest, AppendsWithoutTouchingExistingText) {
  std::string out = "KEEP:";
  append_lower("ABC", out);
  append_lower("ÀÉ", out);
  EXPECT_EQ(out, "KEEP:abcàé");
}

TEST(UnicodeLowerTest, SingleCodePointMappings) {
  EXPECT_EQ(to_lower("ÀÉÎ"), "àéî");
  EXPECT_EQ(to_lower("ǄǅǆǇ"), "ǆǆǆǉ");              // title case and stride-2 pairs
  EXPECT_EQ(to_lower("Ⅻ"), "ⅻ");                    // letter-like numerals
  EXPECT_EQ(to_lower("ⓐⒶ"), "ⓐⓐ");                  // circled letters
  EXPECT_EQ(to_lower("\U00010400"), "\U00010428");  // four-byte letters
  EXPECT_EQ(to_lower("ΐ"), "ΐ");                    // already lower, no mapping
}

TEST(UnicodeLowerTest, ByteLengthMayChange) {
  EXPECT_EQ(to_lower("\u212A"), "k");  // KELVIN SIGN: three bytes to one
  EXPECT_EQ(to_lower("ẞ"), "ß");       // CAPITAL SHARP S: three bytes to two
  EXPECT_EQ(to_lower("ß"), "ß");       // lower-casing never expands the small sharp s
  EXPECT_EQ(to_lower("\u2126"), "ω");  // OHM SIGN
}

TEST(UnicodeLowerTest, DottedCapitalIExpandsToTwoCodePoints) {
  EXPECT_EQ(to_lower("İ"), "i\u0307");
  EXPECT_EQ(to_lower("İSTANBUL"), "i\u0307stanbul");
  EXPECT_EQ(to_lower("İ").size(), 3u);
  EXPECT_EQ(lower_code_point(0x130), 0x130u);  // no single-code-point form
}

TEST(UnicodeLowerTest, CapitalSigmaBecomesFinalAtTheEndOfAWord) {
  EXPECT_EQ(to_lower("ΟΔΟΣ"), "οδος");
  EXPECT_EQ(to_lower("ΣΑΣ"), "σας");
  EXPECT_EQ(to_lower("ΟΔΟΣ ΚΑΙ"), "οδος και");
  EXPECT_EQ(to_lower("ΑΣ1"), "ας1");
  EXPECT_EQ(to_lower("ΑΣ-Β"), "ας-β");
}

TEST(UnicodeLowerTest, CapitalSigmaStaysMedialInsideAWordOrAlone) {
  EXPECT_EQ(to_lower("Σ"), "σ");
  EXPECT_EQ(to_lower("ΑΣΑ"), "ασα");
  EXPECT_EQ(to_lower("1Σ"), "1σ");
  EXPECT_EQ(to_lower(" Σ"), " σ");
}

TEST(UnicodeLowerTest, CaseIgnorableCharactersAreSkippedAroundSigma) {
  EXPECT_EQ(to_lower("ΑΣ'Α"), "ασ'α");          // apostrophe, then a letter
  EXPECT_EQ(to_lower("ΑΣ'"), "ας'");            // apostrophe, then the end
  EXPECT_EQ(to_lower("ΟΔΟΣ."), "οδος.");        // full stop is ignorable too
  EXPECT_EQ(to_lower("ΑΣ\u0301"), "ας\u0301");  // combining accent after
  EXPECT_EQ(to_lower("Σ\u0301Α"), "σ\u0301α");  // nothing cased before
  EXPECT_EQ(to_lower("A\u00ADΣ"), "a\u00ADς");  // soft hyphen before
}

TEST(UnicodeLowerTest, MalformedBytesPassThroughAsUncased) {
  EXPECT_EQ(to_lower("\xff\xfe"
                     "AB"),
            "\xff\xfe"
            "ab");
  EXPECT_EQ(to_lower("A\xc3"), "a\xc3");  // truncated sequence
  EXPECT_EQ(to_lower("\xc0\xaf"
                     "X"),
            "\xc0\xaf"
            "x");  // overlong form
  EXPECT_EQ(to_lower("\xed\xa0\x80"
                     "Q"),
            "\xed\xa0\x80"
            "q");                                               // encoded surrogate
  EXPECT_EQ(to_lower("\xf4\x90\x80\x80"), "\xf4\x90\x80\x80");  // above U+10FFFF
  EXPECT_EQ(to_lower("\xff"
                     "Σ"),
            "\xff"
            "σ");                           // not cased: no final sigma
  EXPECT_EQ(to_lower("ΑΣ\xff"), "ας\xff");  // not cased: sigma stays final
}

TEST(UnicodeLowerTest, CodePointMapping) {
  EXPECT_EQ(lower_code_point('A'), static_cast<uint32_t>('a'));
  EXPECT_EQ(lower_code_point('a'), static_cast<uint32_t>('a'));
  EXPECT_EQ(lower_code_point(0x3A3), 0x3C3u);  // context-free sigma
  EXPECT_EQ(lower_code_point(0x100), 0x101u);  // start of a stride-2 run
  EXPECT_EQ(lower_code_point(0x101), 0x101u);  // skipped member of that run
  EXPECT_EQ(lower_code_point(0x178), 0xFFu);   // Ÿ maps backwards
  EXPECT_EQ(lower_code_point(0x10FFFF), 0x10FFFFu);
}

TEST(UnicodeLowerTableTest, RunsAreSortedDisjointAndMapIntoUnicode) {
  uint32_t next_free = 0;
  for (const auto& run : unicode_lower::lower_runs()) {
    EXPECT_GE(run.first, next_free);
    EXPECT_LE(run.first, run.last);
    EXPECT_TRUE(run.stride == 1 || run.stride == 2);
    EXPECT_EQ((run.last - run.first) % run.stride, 0u);
    for (uint32_t cp = run.first; cp <= run.last; cp += run.stride) {
      const int64_t lowered = static_cast<int64_t>(cp) + run.delta;
      EXPECT_GE(lowered, 0);
      EXPECT_LE(lowered, 0x10FFFF);
      EXPECT_FALSE(lowered >= 0xD800 && lowered <= 0xDFFF);
    }
    next_free = run.last + 1;
  }
}

TEST(UnicodeLowerTableTest, CaseClassRunsAreSortedAndDisjoint) {
  uint32_t next_free = 0;
  size_t count = 0;
  for (const auto& run : unicode_lower::case_class_runs()) {
    EXPECT_GE(run.first, next_free);
    EXPECT_LE(run.first, run.last);
    EXPECT_NE(run.cls, unicode_lower::CaseClass::kOther);
    next_free = run.last + 1;
    ++count;
  }
  EXPECT_GT(count, 0u);
}

TEST(UnicodeLowerTableTest, ExpansionsAreWhatWholeTextLowerCasingProduces) {
  size_t count = 0;
  for (const auto& expansion : unicode_lower::lower_expansions()) {
    const std::string expected = expansion.utf8;
    size_t code_points = 0;
    for (char c : expected) code_points += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_GT(code_points, 1u) << "U+" << std::hex << expansion.code_point;
    std::string utf8;
    const uint32_t cp = expansion.code_point;
    ASSERT_TRUE(cp >= 0x80 && cp < 0x800);  // all current expansions are two-byte letters
    utf8 += static_cast<char>(0xC0 | (cp >> 6));
    utf8 += static_cast<char>(0x80 | (cp & 0x3F));
    EXPECT_EQ(to_lower(utf8), expected);
    ++count;
  }
  EXPECT_EQ(count, 1u);  // U+0130 is the only one in Unicode 15.1
}

}  // namespace
}  // namespace quorvane
