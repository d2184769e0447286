// The reserved-word lookup: which word is reserved, judged the way the list
// has always been read (the first listed word that begins the text's word
// decides, and only a whole word is reserved), checked against that reading
// written out plainly, on every reserved word, its case variants, prefixes
// and extensions, and many words near them.
#include "parser/keywords.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

// The list read in order: the first word that the text's word starts with
// decides; it is the answer when it is the whole word.
int first_listed_match(std::string_view text, size_t pos) {
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  if (pos >= text.size()) return -1;
  const char first = upper(text[pos]);
  if (first < 'A' || first > 'Z') return -1;
  size_t length = 1;
  while (pos + length < text.size() &&
         is_word_char(static_cast<unsigned char>(text[pos + length]))) {
    ++length;
  }
  for (size_t i = 0; i < kKeywords.size(); ++i) {
    const std::string_view w = kKeywords[i];
    if (w.size() > length) continue;
    size_t k = 0;
    while (k < w.size() && upper(text[pos + k]) == w[k]) ++k;
    if (k < w.size()) continue;
    return w.size() == length ? static_cast<int>(i) : -1;
  }
  return -1;
}

void expect_same(const std::string& text, size_t pos = 0) {
  ASSERT_EQ(keyword_index(text, pos), first_listed_match(text, pos)) << text << " at " << pos;
}

TEST(KeywordsTest, EveryReservedWordItsCasesPrefixesAndExtensions) {
  for (std::string_view w : kKeywords) {
    std::string word(w);
    std::string lower = word;
    for (char& c : lower) c = static_cast<char>(c - 'A' + 'a');
    std::string mixed = lower;
    mixed[0] = word[0];
    for (const std::string& form : {word, lower, mixed}) {
      expect_same(form);
      expect_same("(" + form + ")", 1);
      expect_same(form + " x");
      expect_same(form + "(");
      for (const char* tail : {"S", "x", "_", "1", "ING", "ENDING"}) expect_same(form + tail);
      for (size_t n = 1; n < form.size(); ++n) expect_same(form.substr(0, n));
    }
  }
}

TEST(KeywordsTest, WordsBegunByAnEarlierWordAreNotReserved) {
  for (const char* word : {"ASC", "ascending", "DESCENDING", "Ends", "order"}) {
    EXPECT_EQ(keyword_index(word, 0), -1) << word;
  }
  for (const char* word : {"AS", "desc", "END", "Or", "starts"}) {
    EXPECT_GE(keyword_index(word, 0), 0) << word;
  }
}

TEST(KeywordsTest, ManyWordsNearTheReservedOnes) {
  // Letters of the reserved words weigh most, so that near misses abound.
  const std::string alphabet = "ACDEHILNORSTUWaceilnorst_1Zq";
  std::mt19937 random(7);
  for (int round = 0; round < 200000; ++round) {
    std::string text;
    const size_t length = 1 + random() % 11;
    for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    if (random() % 4 == 0) text += ' ';
    expect_same(text);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace quorvane
