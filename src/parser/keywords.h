// The reserved words, and which names each language keeps them from.
// Shared by the matcher and the direct parser, which must agree on every
// name.
#ifndef QUORVANE_PARSER_KEYWORDS_H_
#define QUORVANE_PARSER_KEYWORDS_H_

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "parser/lexical.h"

namespace quorvane {

// The reserved words, alphabetical. Order matters: the first word that
// matches is final, so ASC, ASCENDING, DESCENDING, ENDS and ORDER are never
// reserved (AS, DESC, END and OR come first).
inline constexpr std::array<std::string_view, 54> kKeywords = {
    "ALL",      "AND",   "ANY",    "AS",     "ASC",    "ASCENDING",  "BY",     "CALL",     "CASE",
    "CONTAINS", "COUNT", "CREATE", "DELETE", "DESC",   "DESCENDING", "DETACH", "DISTINCT", "DO",
    "DROP",     "ELSE",  "END",    "ENDS",   "EXISTS", "FALSE",      "FOR",    "FROM",     "IN",
    "IS",       "LIMIT", "MATCH",  "MERGE",  "NEW",    "NONE",       "NOT",    "NULL",     "ON",
    "OPTIONAL", "OR",    "ORDER",  "REMOVE", "RETURN", "SET",        "SINGLE", "SKIP",     "STARTS",
    "THEN",     "TRUE",  "UNION",  "UNWIND", "WHEN",   "WHERE",      "WITH",   "XOR",      "YIELD"};

// The lengths of the shortest and longest reserved words.
inline constexpr size_t kShortestKeyword = [] {
  size_t n = kKeywords[0].size();
  for (std::string_view w : kKeywords) n = std::min(n, w.size());
  return n;
}();
inline constexpr size_t kLongestKeyword = [] {
  size_t n = 0;
  for (std::string_view w : kKeywords) n = std::max(n, w.size());
  return n;
}();

// Words that are reserved but may still name a variable.
inline constexpr std::array<std::string_view, 4> kVariableWords = {"ANY", "COUNT", "NONE",
                                                                   "SINGLE"};

// The words that never name anything in the extended language: each can
// continue or end an expression, or start a clause, so reading one as a name
// would let an unfinished expression swallow what follows. Every other
// reserved word may be a name there (`MATCH (order:Order)`,
// `RETURN count AS count`).
inline constexpr std::array<std::string_view, 33> kExtendedReserved = {
    "AND",   "AS",       "CALL", "CASE",   "CONTAINS", "CREATE", "DELETE", "DETACH", "DISTINCT",
    "ELSE",  "END",      "ENDS", "FALSE",  "IN",       "IS",     "MATCH",  "MERGE",  "NOT",
    "NULL",  "OPTIONAL", "OR",   "REMOVE", "RETURN",   "SET",    "STARTS", "THEN",   "TRUE",
    "UNION", "UNWIND",   "WHEN", "WHERE",  "WITH",     "XOR"};

// The reserved word that the whole of `word` is (its index in kKeywords),
// or -1. The first listed word that begins `word` decides, so a word that an
// earlier reserved word begins (ASC after AS) is not reserved.
inline int keyword_of_word(std::string_view word) {
  // For each first letter and length, the reserved words that can be the
  // whole word: those no earlier word of the list begins.
  struct Candidates {
    uint8_t count = 0;
    std::array<uint8_t, 4> index = {};
  };
  using Table = std::array<std::array<Candidates, kLongestKeyword + 1>, 26>;
  static constexpr Table table = [] {
    Table t{};
    for (size_t i = 0; i < kKeywords.size(); ++i) {
      const std::string_view w = kKeywords[i];
      bool begun_earlier = false;
      for (size_t j = 0; j < i; ++j) begun_earlier = begun_earlier || w.starts_with(kKeywords[j]);
      if (begun_earlier) continue;
      Candidates& c = t[static_cast<size_t>(w[0] - 'A')][w.size()];
      if (c.count == c.index.size()) throw "more reserved words of one letter and length than room";
      c.index[c.count++] = static_cast<uint8_t>(i);
    }
    return t;
  }();
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  if (word.size() < kShortestKeyword || word.size() > kLongestKeyword) return -1;
  const char first = upper(word[0]);
  if (first < 'A' || first > 'Z') return -1;
  const Candidates& c = table[static_cast<size_t>(first - 'A')][word.size()];
  for (size_t n = 0; n < c.count; ++n) {
    const std::string_view w = kKeywords[c.index[n]];
    size_t k = 1;
    while (k < w.size() && upper(word[k]) == w[k]) ++k;
    if (k == w.size()) return c.index[n];
  }
  return -1;
}

// Which reserved word stands at `pos` of `text`, if any (the index in
// kKeywords, else -1): the word there, read to its last word character, as
// keyword_of_word judges it.
inline int keyword_index(std::string_view text, size_t pos) {
  if (pos >= text.size()) return -1;
  const unsigned char c = static_cast<unsigned char>(text[pos]);
  if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return -1;
  size_t length = 1;
  while (pos + length < text.size() &&
         is_word_char(static_cast<unsigned char>(text[pos + length]))) {
    ++length;
  }
  return keyword_of_word(text.substr(pos, length));
}

// Whether the reserved word kKeywords[keyword] may still name a variable in
// the subset.
inline bool is_variable_word(int keyword) {
  if (keyword < 0) return false;
  const std::string_view w = kKeywords[static_cast<size_t>(keyword)];
  return std::find(kVariableWords.begin(), kVariableWords.end(), w) != kVariableWords.end();
}

// Whether the extended language keeps kKeywords[keyword] reserved (false for
// -1).
inline bool extended_reserved(int keyword) {
  static constexpr std::array<bool, kKeywords.size()> reserved = [] {
    std::array<bool, kKeywords.size()> table{};
    for (size_t i = 0; i < kKeywords.size(); ++i) {
      for (std::string_view w : kExtendedReserved) table[i] = table[i] || w == kKeywords[i];
    }
    return table;
  }();
  return keyword >= 0 && reserved[static_cast<size_t>(keyword)];
}

}  // namespace quorvane

#endif  // QUORVANE_PARSER_KEYWORDS_H_
