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

// Which reserved word stands at `pos` of `text`, if any (the index in
// kKeywords, else -1), honouring the list order and the word-boundary test.
inline int keyword_index(std::string_view text, size_t pos) {
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  if (pos >= text.size()) return -1;
  const char first = upper(text[pos]);
  if (first < 'A' || first > 'Z') return -1;
  // The list is alphabetical, so the words sharing a first letter are
  // contiguous and keep their relative order.
  static constexpr std::array<std::pair<uint8_t, uint8_t>, 26> by_letter = [] {
    std::array<std::pair<uint8_t, uint8_t>, 26> ranges{};
    for (size_t i = kKeywords.size(); i-- > 0;) {
      auto& range = ranges[kKeywords[i][0] - 'A'];
      if (range.second == 0) range.second = static_cast<uint8_t>(i + 1);
      range.first = static_cast<uint8_t>(i);
    }
    return ranges;
  }();
  const auto [begin, end] = by_letter[first - 'A'];
  if (begin == end) return -1;
  // The word here: a keyword longer than it cannot match, and one that
  // matches is reserved only when it is the whole word.
  size_t length = 1;
  while (pos + length < text.size() &&
         is_word_char(static_cast<unsigned char>(text[pos + length]))) {
    ++length;
  }
  for (size_t i = begin; i < end; ++i) {
    std::string_view w = kKeywords[i];
    if (w.size() > length) continue;
    bool match = true;
    for (size_t k = 1; k < w.size(); ++k) {
      if (upper(text[pos + k]) != w[k]) {
        match = false;
        break;
      }
    }
    if (!match) continue;
    return w.size() == length ? static_cast<int>(i) : -1;
  }
  return -1;
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
