// The matcher (see grammar.h). Matcher<kExtended> holds the grammar of one
// language, a function per rule, and the state of one match: the position,
// the failure record, the remembered clauses and bracketed atoms that keep
// backtracking from matching the same text again and again, and the
// nesting depth and work budget that stop a match.
#include "parser/grammar.h"

#include <algorithm>
#include <array>
#include <map>
#include <unordered_map>

#include "parser/keywords.h"
#include "parser/lexical.h"
#include "parser/parse.h"

namespace quorvane {

namespace {

#define QV_ALWAYS_INLINE __attribute__((always_inline)) inline

using R = Rule;

// The single words that name a value type in a type predicate.
constexpr std::array<std::string_view, 31> kTypeWords = {
    "BOOLEAN",   "BOOL",      "STRING",    "VARCHAR", "INTEGER",      "INT",       "INTEGER8",
    "INTEGER16", "INTEGER32", "INTEGER64", "INT8",    "INT16",        "INT32",     "INT64",
    "FLOAT",     "FLOAT32",   "FLOAT64",   "DATE",    "DATETIME",     "TIMESTAMP", "TIME",
    "DURATION",  "POINT",     "NODE",      "VERTEX",  "RELATIONSHIP", "EDGE",      "MAP",
    "PATH",      "NOTHING",   "NULL"};

// Rule invocations allowed per byte of input (plus a fixed allowance) before
// the match gives up. Ordinary queries use a small fraction of this; only
// inputs that make the engine re-match the same text over and over reach it.
constexpr uint64_t kWorkPerByte = 400;
constexpr uint64_t kWorkBase = 2'000'000;

inline char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
inline bool is_letter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}
inline bool is_name_start(unsigned char c) {
  return is_letter(c) || c == '_';
}
inline bool is_hex(unsigned char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

enum class KeywordTest { kNone, kAll, kVariable, kExtended };

// kExtended selects the extended grammar. Every rule of the subset is matched
// exactly as in the subset grammar unless kExtended adds alternatives to it,
// and those alternatives only ever apply where the subset grammar fails or
// lets the text go unread; the subset instantiation compiles none of them.
template <bool kExtended>
class Matcher {
 public:
  Matcher(std::string_view text, bool remember)
      : text_(text), remember_(remember), work_budget_(kWorkBase + kWorkPerByte * text.size()) {
    expected_.resize(16);
  }

  MatchResult run() {
    MatchResult result;
    bool ok = cypher();
    if (ok && !aborted_) {
      result.ok = true;
      return result;
    }
    MatchFailure& f = result.failure;
    if (aborted_) {
      f.position = static_cast<uint32_t>(abort_pos_);
      f.limit_note = abort_note_;
      return result;
    }
    f.position = static_cast<uint32_t>(furthest_);
    expected_.resize(expected_count_);
    f.expected = sorted(expected_);
    return result;
  }

 private:
  // ---------------------------------------------------------------- engine

  static std::vector<Rule> sorted(std::vector<Rule> rules) {
    std::sort(rules.begin(), rules.end());
    rules.erase(std::unique(rules.begin(), rules.end()), rules.end());
    return rules;
  }

  void abort_match(std::string note) {
    if (aborted_) return;
    aborted_ = true;
    work_budget_ = 0;  // every later charge_work fails
    abort_pos_ = pos_;
    abort_note_ = std::move(note);
  }

  // Counts one rule invocation against the work budget; false once the
  // match has been stopped.
  QV_ALWAYS_INLINE bool charge_work() {
    if (++work_ > work_budget_) {
      abort_match("query too complex to match (backtracking limit reached)");
      return false;
    }
    return true;
  }

  // Runs one rule invocation, counted against the work budget; a failure
  // enters the failure record.
  template <class Body>
  QV_ALWAYS_INLINE bool rule(Rule r, Body&& body) {
    if (!charge_work()) return false;
    const size_t start = pos_;
    const size_t expected_len = start == furthest_ ? expected_count_ : 0;
    const bool ok = body();
    if (!ok) track(r, start, expected_len);
    return ok;
  }

  // A rule whose definition starts with a literal: when the first character
  // rules the literal out, the body would fail without invoking anything, so
  // only the bookkeeping of a failed invocation is done.
  template <class Body>
  QV_ALWAYS_INLINE bool rule_if(Rule r, bool can_start, Body&& body) {
    if (can_start) return rule(r, body);
    if (aborted_) return false;
    ++work_;
    track(r, pos_, pos_ == furthest_ ? expected_count_ : 0);
    return false;
  }

  // Whether the next character is one of `chars` (letters in either case).
  bool next_is(std::string_view chars) const {
    if (pos_ >= text_.size()) return false;
    const char c = upper(text_[pos_]);
    for (char want : chars) {
      if (c == want) return true;
    }
    return false;
  }

  // Clauses are matched twice in most queries: `single_query` first tries
  // `multi_part_query`, which reads every clause before it finds no WITH and
  // gives up, and then `single_part_query` reads the same clauses again. A
  // clause matched at a position is therefore remembered (its end and its
  // effect on the failure record) and replayed instead of matched anew.
  //
  // Replaying is exact. A clause's failure-record updates all concern
  // positions up to `max_tracked`, the furthest start of any failure recorded
  // inside it. The record's furthest position never moves back, so at a
  // replay it is at least `max_tracked`: beyond it, matching the clause again
  // would change nothing; equal to it, matching again would append the same
  // rules it appended the first time (every cut-back inside the clause stops
  // at lengths taken inside the clause), which is what the replay does.
  struct MemoEntry {
    bool ok;
    size_t end;
    size_t max_tracked;
    std::vector<Rule> appended;  // expected rules added at max_tracked
    // The deepest nesting-limit check made inside, relative to the depth at
    // the start (kNoCheck when none was made).
    int deepest_check;
  };
  static constexpr int kNoCheck = -(1 << 20);

  template <class Body>
  bool memo_rule(Rule r, Body&& body) {
    if (!remember_) return rule(r, body);
    if (aborted_) return false;
    const uint64_t key = (static_cast<uint64_t>(pos_) << 8) | static_cast<uint8_t>(r);
    if (!memo_.empty()) {
      if (auto it = memo_.find(key); it != memo_.end()) {
        replay(it->second);
        return true;
      }
    }
    MemoEntry entry;
    if (!remembered_call(r, body, entry) || aborted_) return entry.ok;
    memo_.emplace(key, std::move(entry));
    return true;
  }

  // Runs one rule invocation and fills `entry` with what replaying it takes:
  // outcome, end and the failure-record updates (see above).
  template <class Body>
  bool remembered_call(Rule r, Body& body, MemoEntry& entry) {
    const size_t outer_max = max_tracked_;
    const size_t furthest_before = furthest_;
    const size_t expected_before = expected_count_;
    const int outer_deepest = deepest_check_;
    max_tracked_ = 0;
    deepest_check_ = -1;
    const bool ok = rule(r, body);
    const size_t inner_max = max_tracked_;
    max_tracked_ = std::max(outer_max, inner_max);
    entry.deepest_check = deepest_check_ < 0 ? kNoCheck : deepest_check_ - depth_;
    deepest_check_ = std::max(outer_deepest, deepest_check_);
    entry.ok = ok;
    entry.end = pos_;
    entry.max_tracked = inner_max;
    if (furthest_ == inner_max) {
      const size_t base = furthest_before == inner_max ? expected_before : 0;
      entry.appended.assign(expected_.begin() + base, expected_.begin() + expected_count_);
    }
    return ok;
  }

  // Expressions nest, and some alternatives read the same bracketed text
  // again after a sibling alternative failed on it: `[x IN list WHERE ...]`
  // is first tried as a list literal, `x[a..b]` as a subscript, and in the
  // extended language `({a: 1})` as a pattern predicate. Every level of
  // nesting would double the work. So an atom or postfix operator that
  // starts with a bracket is remembered per position, successes and failures
  // alike, and replayed exactly as the clauses above are. What such a rule
  // matches depends only on its position, on how far below the current depth
  // a `|` ends a label expression (both make up the key), and on the nesting
  // limit: an entry is replayed only where every nesting check made inside it
  // still passes, and matched anew otherwise (which then stops at the limit).
  //
  // Once a remembered rule has matched, the entries strictly inside its text
  // are dropped: text inside is reached again only through the enclosing
  // rule, whose own entry now stands for it. That keeps the table small.
  template <class Body>
  bool bracket_memo_rule(Rule r, Body&& body) {
    if (!remember_) return rule(r, body);
    if (aborted_) return false;
    // Only a `|`-blocked depth below this one can be reached inside.
    const int blocked = label_or_blocked_depth_ > depth_ ? label_or_blocked_depth_ - depth_ : 0;
    const uint64_t key = (static_cast<uint64_t>(pos_) << 32) |
                         (static_cast<uint64_t>(static_cast<uint8_t>(r)) << 24) |
                         static_cast<uint64_t>(blocked);
    auto it = bracket_memo_.find(key);
    if (it != bracket_memo_.end() && depth_ + it->second.deepest_check < kMaxNestingDepth) {
      replay(it->second);
      return it->second.ok;
    }
    const size_t start = pos_;
    MemoEntry entry;
    const bool ok = remembered_call(r, body, entry);
    if (aborted_) return false;
    if (ok && pos_ > start + 1) {
      bracket_memo_.erase(bracket_memo_.lower_bound(static_cast<uint64_t>(start + 1) << 32),
                          bracket_memo_.lower_bound(static_cast<uint64_t>(pos_) << 32));
    }
    bracket_memo_.insert_or_assign(key, std::move(entry));
    return ok;
  }

  void replay(const MemoEntry& entry) {
    pos_ = entry.end;
    if (entry.max_tracked > max_tracked_) max_tracked_ = entry.max_tracked;
    if (furthest_ == entry.max_tracked) append_block(entry.appended);
  }

  // Appends what a replayed rule added to the record. Only invocations that
  // start at the furthest position cut the record back or count what their
  // body added, they do so at their own start, and no invocation starts in
  // the middle of a replay: what they see of a block is its rules and
  // whether it holds none, one or several. A block of several rules is
  // therefore appended with each rule once (twice when there is only one).
  // The same failure inside a failed construct may be replayed at every level
  // of nesting, and appending blocks whole would double the record per level.
  void append_block(const std::vector<Rule>& block) {
    if (block.size() < 2) {
      for (Rule r : block) append_expected(r);
      return;
    }
    std::array<bool, 256> seen{};
    const size_t before = expected_count_;
    for (Rule r : block) {
      if (seen[static_cast<uint8_t>(r)]) continue;
      seen[static_cast<uint8_t>(r)] = true;
      append_expected(r);
    }
    if (expected_count_ - before == 1) append_expected(block.front());
  }

  // An atomic rule reads one token: nothing is skipped inside it, and none
  // of the rules it invokes enters the failure record, only itself (unless it
  // is inside another atomic rule).
  template <class Body>
  QV_ALWAYS_INLINE bool atomic_rule(Rule r, Body&& body) {
    if (!charge_work()) return false;
    const size_t start = pos_;
    const size_t expected_len = start == furthest_ ? expected_count_ : 0;
    const bool saved = atomic_;
    atomic_ = true;
    const bool ok = body();
    atomic_ = saved;
    if (!ok) track(r, start, expected_len);
    return ok;
  }

  QV_ALWAYS_INLINE void append_expected(Rule r) {
    if (expected_count_ == expected_.size())
      expected_.resize(std::max<size_t>(16, 2 * expected_.size()));
    expected_[expected_count_++] = r;
  }

  // Failure-record update for an invocation that started at `start`. When
  // the invocation's own body recorded exactly one rule at its start, that
  // more specific rule stays and the invocation adds nothing.
  //
  // Every negative predicate of this grammar only tests characters inside
  // atomic rules, so no rule ever succeeds inside a predicate in normal mode
  // and nothing is recorded as unexpected.
  QV_ALWAYS_INLINE void track(Rule r, size_t start, size_t expected_len) {
    if (atomic_) return;
    if (start > max_tracked_) max_tracked_ = start;
    if (start < furthest_) return;
    const size_t now = start == furthest_ ? expected_count_ : 0;
    if (now > expected_len && now - expected_len == 1) return;
    if (start == furthest_) {
      expected_count_ = expected_len;  // only ever cuts back
    } else {
      expected_count_ = 0;
      furthest_ = start;
    }
    append_expected(r);
  }

  // Skippable text between elements; never in atomic mode.
  QV_ALWAYS_INLINE void skip() {
    if (atomic_ || pos_ >= text_.size()) return;
    char c = text_[pos_];
    // Most gaps are one space before a word or a bracket.
    if (c == ' ') {
      if (++pos_ == text_.size()) return;
      c = text_[pos_];
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/') {
      pos_ = skip_ignorable(text_, pos_);
    }
  }

  // Sequence: elements joined by skips; on failure everything is given back.
  template <class... Fs>
  QV_ALWAYS_INLINE bool seq(Fs&&... fs) {
    const size_t m = pos_;
    bool first = true;
    auto step = [&](auto& f) {
      if (!first) skip();
      first = false;
      return f();
    };
    if ((step(fs) && ...)) return true;
    pos_ = m;
    return false;
  }

  // Greedy repetitions; the skip before a failed repetition is undone with it.
  template <class F>
  QV_ALWAYS_INLINE bool star(F&& f) {
    if (f()) repeat_rest(f);
    return true;
  }

  template <class F>
  QV_ALWAYS_INLINE bool plus(F&& f) {
    if (!f()) return false;
    repeat_rest(f);
    return true;
  }

  // The repetitions after the first, each preceded by a skip; how many.
  template <class F>
  QV_ALWAYS_INLINE size_t repeat_rest(F& f) {
    for (size_t count = 0;; ++count) {
      const size_t m = pos_;
      skip();
      if (!f()) {
        pos_ = m;
        return count;
      }
    }
  }

  QV_ALWAYS_INLINE bool lit(std::string_view s) {
    if (text_.size() - pos_ < s.size() || text_[pos_] != s[0]) return false;
    for (size_t i = 1; i < s.size(); ++i) {
      if (text_[pos_ + i] != s[i]) return false;
    }
    pos_ += s.size();
    return true;
  }

  // Case-insensitive literal; `s` is upper case.
  QV_ALWAYS_INLINE bool ilit(std::string_view s) {
    if (text_.size() - pos_ < s.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
      if (upper(text_[pos_ + i]) != s[i]) return false;
    }
    pos_ += s.size();
    return true;
  }

  // Whether the keyword `s` stands here, without reading it.
  bool word_here(std::string_view s) {
    const size_t start = pos_;
    const bool found = word(s);
    pos_ = start;
    return found;
  }

  bool peek_word_char() const {
    return pos_ < text_.size() && is_word_char(static_cast<unsigned char>(text_[pos_]));
  }

  // A keyword that must end at a word boundary (nothing skipped before the
  // test).
  bool word(std::string_view s) {
    const size_t start = pos_;
    if (!ilit(s)) return false;
    if (peek_word_char()) {
      pos_ = start;
      return false;
    }
    return true;
  }

  // One whole UTF-8 encoded character.
  bool any_char() {
    if (pos_ >= text_.size()) return false;
    unsigned char c = static_cast<unsigned char>(text_[pos_]);
    size_t len = c < 0x80           ? 1
                 : (c >> 5) == 0x6  ? 2
                 : (c >> 4) == 0xE  ? 3
                 : (c >> 3) == 0x1E ? 4
                                    : 1;
    pos_ = std::min(text_.size(), pos_ + len);
    return true;
  }

  unsigned char cur() const {
    return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : 0;
  }

  auto L(std::string_view s) {
    return [this, s] { return lit(s); };
  }
  // A keyword. The subset reads one even when a word goes on after it
  // (`RETURN distinctCount` is RETURN DISTINCT Count there); the extended
  // language, as current Cypher, only where the word ends.
  bool keyword_lit(std::string_view s) {
    if constexpr (kExtended) {
      return word(s);
    } else {
      return ilit(s);
    }
  }
  auto I(std::string_view s) {
    return [this, s] { return keyword_lit(s); };
  }
  auto K(std::string_view s) {
    return [this, s] { return word(s); };
  }
  template <class F>
  static auto opt(F f) {
    return [f]() mutable {
      f();
      return true;
    };
  }
  template <class F>
  auto many(F f) {
    return [this, f]() mutable { return star(f); };
  }
  template <class F>
  auto some(F f) {
    return [this, f]() mutable { return plus(f); };
  }
  template <class... Fs>
  auto group(Fs... fs) {
    return [this, fs...]() mutable { return seq(fs...); };
  }

#define Q(name) [this] { return name(); }

  // ------------------------------------------------------ lexical rules

  // Which reserved word stands at the current position, if any.
  int keyword_at() const { return keyword_index(text_, pos_); }

  bool reserved_here(KeywordTest test) const {
    if (test == KeywordTest::kNone) return false;
    if (test == KeywordTest::kExtended) return extended_reserved(keyword_at());
    const int k = keyword_at();
    if (k < 0) return false;
    return test != KeywordTest::kVariable || !is_variable_word(k);
  }

  bool plain_name() {
    if (!is_name_start(cur())) return false;
    ++pos_;
    while (is_word_char(cur())) ++pos_;
    return true;
  }

  bool backtick_identifier() {
    if (cur() != '`') return false;
    size_t close = text_.find('`', pos_ + 1);
    if (close == std::string_view::npos) return false;
    pos_ = close + 1;
    return true;
  }

  // A name; `test` says which reserved words it must not be.
  bool identifier(KeywordTest test) {
    if (!reserved_here(test) && plain_name()) return true;
    return backtick_identifier();
  }

  // The keyword test of names that the subset reserves words from.
  static constexpr KeywordTest reserved_for(KeywordTest subset_test) {
    return kExtended ? KeywordTest::kExtended : subset_test;
  }

  bool variable() {
    return atomic_rule(R::variable,
                       [&] { return identifier(reserved_for(KeywordTest::kVariable)); });
  }
  bool label_name() {
    return atomic_rule(R::label_name, [&] { return identifier(KeywordTest::kNone); });
  }
  bool rel_type_name() {
    return atomic_rule(R::rel_type_name, [&] { return identifier(KeywordTest::kNone); });
  }
  bool property_key_name() {
    return atomic_rule(R::property_key_name, [&] { return identifier(KeywordTest::kNone); });
  }
  bool procedure_result_field() {
    return atomic_rule(R::procedure_result_field,
                       [&] { return identifier(reserved_for(KeywordTest::kAll)); });
  }

  bool procedure_name() {
    return atomic_rule(R::procedure_name, [&] {
      if (!identifier(reserved_for(KeywordTest::kAll))) return false;
      for (;;) {
        const size_t m = pos_;
        if (!lit(".") || !identifier(after_dot())) {
          pos_ = m;
          return true;
        }
      }
    });
  }

  // A name after a dot cannot be mistaken for a keyword, so the extended
  // language reserves none there (`apoc.create.node`).
  static constexpr KeywordTest after_dot() {
    return kExtended ? KeywordTest::kNone : KeywordTest::kAll;
  }

  // (identifier ".")+ ; only ever invoked inside function_name.
  bool namespace_prefix() {
    bool any = false;
    for (;;) {
      const size_t m = pos_;
      if (!identifier(any ? after_dot() : reserved_for(KeywordTest::kAll)) || !lit(".")) {
        pos_ = m;
        return any;
      }
      any = true;
    }
  }

  bool function_name() {
    return atomic_rule(R::function_name, [&] {
      const size_t m = pos_;
      namespace_prefix();
      if (!plain_name()) {
        pos_ = m;
        return false;
      }
      return true;
    });
  }

  bool parameter() {
    return atomic_rule(R::parameter, [&] {
      if (cur() != '$') return false;
      const size_t m = pos_++;
      if (plain_name()) return true;
      if (!is_digit(cur())) {
        pos_ = m;
        return false;
      }
      while (is_digit(cur())) ++pos_;
      return true;
    });
  }

  bool digits() {
    if (!is_digit(cur())) return false;
    while (is_digit(cur())) ++pos_;
    return true;
  }

  bool integer_literal() {
    return atomic_rule(R::integer_literal, [&] {
      const size_t m = pos_;
      if (lit("0x") && is_hex(cur())) {
        while (is_hex(cur())) ++pos_;
        return true;
      }
      pos_ = m;
      if (lit("0o") && cur() >= '0' && cur() <= '7') {
        while (cur() >= '0' && cur() <= '7') ++pos_;
        return true;
      }
      pos_ = m;
      return digits();
    });
  }

  // An exponent: e or E, an optional sign, digits. Nothing is read unless
  // the whole exponent is there.
  bool exponent() {
    const size_t e = pos_;
    if (cur() != 'e' && cur() != 'E') return false;
    ++pos_;
    if (cur() == '+' || cur() == '-') ++pos_;
    if (digits()) return true;
    pos_ = e;
    return false;
  }

  // Digits, a point that does not start "..", optional digits, optional
  // exponent. The extended language also reads digits with an exponent and
  // no point (1E9) and a leading point (.5, .1e3).
  bool float_literal() {
    return atomic_rule(R::float_literal, [&] {
      const size_t m = pos_;
      if (!digits() || cur() != '.' || (pos_ + 1 < text_.size() && text_[pos_ + 1] == '.')) {
        pos_ = m;
        if constexpr (kExtended) {
          if (digits() && exponent()) return true;
          pos_ = m;
          if (lit(".") && digits()) {
            exponent();
            return true;
          }
          pos_ = m;
        }
        return false;
      }
      ++pos_;
      while (is_digit(cur())) ++pos_;
      exponent();
      return true;
    });
  }

  // Quoted text; a backslash protects the character after it.
  bool string_literal() {
    return atomic_rule(R::string_literal, [&] {
      const char quote = static_cast<char>(cur());
      if (quote != '"' && quote != '\'') return false;
      const size_t m = pos_++;
      while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == quote) {
          ++pos_;
          return true;
        }
        if (c == '\\' && pos_ + 1 < text_.size()) ++pos_;
        any_char();
      }
      pos_ = m;
      return false;
    });
  }

  bool boolean_literal() {
    return rule_if(R::boolean_literal, next_is("TF"),
                   [&] { return word("TRUE") || word("FALSE"); });
  }
  bool null_literal() {
    return rule_if(R::null_literal, next_is("N"), [&] { return word("NULL"); });
  }

  // ---------------------------------------------- statements and clauses

  bool cypher() {
    return rule(R::cypher, [&] {
      if (pos_ != 0) return false;
      return seq([] { return true; }, Q(statement), opt(L(";")), Q(eoi));
    });
  }

  bool eoi() {
    return rule(R::EOI, [&] { return pos_ == text_.size(); });
  }

  bool statement() {
    return rule(R::statement, [&] { return regular_query() || standalone_call(); });
  }

  bool regular_query() {
    return rule(R::regular_query, [&] { return seq(Q(single_query), many(Q(union_clause))); });
  }

  bool union_clause() {
    return rule_if(R::union_clause, next_is("U"),
                   [&] { return seq(I("UNION"), opt(I("ALL")), Q(single_query)); });
  }

  bool single_query() {
    const bool ok =
        rule(R::single_query, [&] { return multi_part_query() || single_part_query(); });
    // Clauses never occur outside a single query, and no single query is
    // matched twice at one position, so what was remembered is spent.
    memo_.clear();
    return ok;
  }

  bool single_part_query() {
    return rule(R::single_part_query, [&] {
      return seq(some(Q(reading_clause)), many(Q(updating_clause)), opt(Q(return_clause))) ||
             seq(some(Q(updating_clause)), opt(Q(return_clause))) || return_clause();
    });
  }

  bool multi_part_query() {
    return rule(R::multi_part_query, [&] {
      return seq(some(group(many(Q(reading_clause)), many(Q(updating_clause)), Q(with_clause))),
                 many(Q(reading_clause)), many(Q(updating_clause)), opt(Q(return_clause)));
    });
  }

  bool reading_clause() {
    return memo_rule(R::reading_clause, [&] {
      if constexpr (kExtended) {
        return match_clause() || unwind_clause() || call_subquery() || in_query_call() ||
               load_csv_clause();
      }
      return match_clause() || unwind_clause() || in_query_call();
    });
  }

  bool match_clause() {
    return rule_if(R::match_clause, next_is("OM"), [&] {
      return seq(opt(I("OPTIONAL")), I("MATCH"), Q(pattern), opt(Q(where_clause)));
    });
  }

  bool unwind_clause() {
    return rule_if(R::unwind_clause, next_is("U"),
                   [&] { return seq(I("UNWIND"), Q(expression), I("AS"), Q(variable)); });
  }

  // The extended language also reads OPTIONAL CALL, a procedure named
  // without parentheses, YIELD * and a WHERE after the yielded items.
  bool call_body() {
    if constexpr (kExtended) {
      return seq(
          opt(K("OPTIONAL")), I("CALL"),
          [&] { return explicit_procedure_invocation() || procedure_name(); },
          opt(group(I("YIELD"),
                    [&] { return lit("*") || seq(Q(yield_items), opt(Q(where_clause))); })));
    }
    return seq(I("CALL"), Q(explicit_procedure_invocation), opt(group(I("YIELD"), Q(yield_items))));
  }
  bool in_query_call() {
    return rule_if(R::in_query_call, next_is(kExtended ? "CO" : "C"), [&] { return call_body(); });
  }
  bool standalone_call() {
    return rule_if(R::standalone_call, next_is(kExtended ? "CO" : "C"),
                   [&] { return call_body(); });
  }

  // ---------------------------------------- clauses of the extended language

  // Runs a rule that may contain itself without passing through
  // `expression`, counting it against the same nesting limit.
  template <class F>
  bool nested(F&& f) {
    if (aborted_) return false;
    if (depth_ > deepest_check_) deepest_check_ = depth_;
    if (depth_ >= kMaxNestingDepth) {
      abort_match("query nested too deeply (limit " + std::to_string(kMaxNestingDepth) + ")");
      return false;
    }
    ++depth_;
    const bool ok = f();
    --depth_;
    return ok;
  }

  bool call_subquery() {
    return rule_if(R::call_subquery, next_is("CO"), [&] {
      return nested([&] {
        return seq(opt(K("OPTIONAL")), K("CALL"), opt(Q(subquery_scope)), L("{"), Q(regular_query),
                   L("}"), opt(Q(in_transactions)));
      });
    });
  }

  // `(*)`, `()` or `(a, b)`.
  bool subquery_scope() {
    return rule_if(R::subquery_scope, next_is("("), [&] {
      return seq(L("("), opt([&] {
                   return lit("*") || seq(Q(variable), many(group(L(","), Q(variable))));
                 }),
                 L(")"));
    });
  }

  bool in_transactions() {
    return rule_if(R::in_transactions, next_is("I"), [&] {
      // `IN CONCURRENT TRANSACTIONS` first: CONCURRENT would otherwise be
      // read as the name of the number of transactions.
      return seq(
          K("IN"),
          [&] {
            return seq(K("CONCURRENT"), K("TRANSACTIONS")) ||
                   seq(opt(group(Q(expression), K("CONCURRENT"))), K("TRANSACTIONS"));
          },
          opt(group(K("OF"), Q(expression), [&] { return word("ROWS") || word("ROW"); })),
          opt(group(K("ON"), K("ERROR"),
                    [&] { return word("CONTINUE") || word("BREAK") || word("FAIL"); })),
          opt(group(K("REPORT"), K("STATUS"), K("AS"), Q(variable))));
    });
  }

  bool load_csv_clause() {
    return rule_if(R::load_csv_clause, next_is("L"), [&] {
      return seq(K("LOAD"), K("CSV"), opt(group(K("WITH"), K("HEADERS"))), K("FROM"), Q(expression),
                 K("AS"), Q(variable), opt(group(K("FIELDTERMINATOR"), Q(string_literal))));
    });
  }

  bool foreach_clause() {
    return rule_if(R::foreach_clause, next_is("F"), [&] {
      return nested([&] {
        return seq(K("FOREACH"), L("("), Q(variable), K("IN"), Q(expression), L("|"),
                   some(Q(updating_clause)), L(")"));
      });
    });
  }

  // expression ("," expression)*
  auto expression_list() { return group(Q(expression), many(group(L(","), Q(expression)))); }

  bool explicit_procedure_invocation() {
    return rule(R::explicit_procedure_invocation,
                [&] { return seq(Q(procedure_name), L("("), opt(expression_list()), L(")")); });
  }

  bool yield_items() {
    return rule(R::yield_items,
                [&] { return seq(Q(yield_item), many(group(L(","), Q(yield_item)))); });
  }

  bool yield_item() {
    return rule(R::yield_item,
                [&] { return seq(opt(group(Q(procedure_result_field), I("AS"))), Q(variable)); });
  }

  bool updating_clause() {
    return memo_rule(R::updating_clause, [&] {
      if constexpr (kExtended) {
        if (foreach_clause()) return true;
      }
      return create_clause() || merge_clause() || set_clause() || remove_clause() ||
             delete_clause();
    });
  }

  bool create_clause() {
    return rule_if(R::create_clause, next_is("C"), [&] { return seq(I("CREATE"), Q(pattern)); });
  }

  bool merge_clause() {
    return rule_if(R::merge_clause, next_is("M"),
                   [&] { return seq(I("MERGE"), Q(pattern_part), many(Q(on_match_or_create))); });
  }

  bool on_match_or_create() {
    return rule_if(R::on_match_or_create, next_is("O"), [&] {
      return seq(I("ON"),
                 [&] { return seq(I("MATCH"), Q(set_clause)) || seq(I("CREATE"), Q(set_clause)); });
    });
  }

  bool set_clause() {
    return rule_if(R::set_clause, next_is("S"),
                   [&] { return seq(I("SET"), Q(set_item), many(group(L(","), Q(set_item)))); });
  }

  bool set_item() {
    return rule(R::set_item, [&] {
      return seq(Q(property_expression), L("="), Q(expression)) ||
             seq(Q(variable), L("="), Q(expression)) || seq(Q(variable), L("+="), Q(expression)) ||
             seq(Q(variable), Q(node_labels));
    });
  }

  bool remove_clause() {
    return rule_if(R::remove_clause, next_is("R"), [&] {
      return seq(I("REMOVE"), Q(remove_item), many(group(L(","), Q(remove_item))));
    });
  }

  bool remove_item() {
    return rule(R::remove_item,
                [&] { return seq(Q(variable), Q(node_labels)) || property_expression(); });
  }

  bool delete_clause() {
    // The extended language also reads NODETACH DELETE, which says DELETE's
    // default out loud.
    return rule_if(R::delete_clause, next_is(kExtended ? "DN" : "D"), [&] {
      return seq(opt([&] { return keyword_lit("DETACH") || (kExtended && word("NODETACH")); }),
                 I("DELETE"), Q(expression), many(group(L(","), Q(expression))));
    });
  }

  bool with_clause() {
    return rule_if(R::with_clause, next_is("W"), [&] {
      return seq(I("WITH"), opt(I("DISTINCT")), Q(return_body), opt(Q(where_clause)));
    });
  }

  bool return_clause() {
    return rule_if(R::return_clause, next_is("R"),
                   [&] { return seq(I("RETURN"), opt(I("DISTINCT")), Q(return_body)); });
  }

  bool return_body() {
    return rule(R::return_body, [&] {
      return seq(Q(return_items), opt(Q(order_clause)), opt(Q(skip_clause)), opt(Q(limit_clause)));
    });
  }

  bool return_items() {
    return rule(R::return_items, [&] {
      return lit("*") || seq(Q(return_item), many(group(L(","), Q(return_item))));
    });
  }

  bool return_item() {
    return rule(R::return_item,
                [&] { return seq(Q(expression), opt(group(I("AS"), Q(variable)))); });
  }

  bool order_clause() {
    return rule_if(R::order_clause, next_is("O"), [&] {
      return seq(I("ORDER"), I("BY"), Q(sort_item), many(group(L(","), Q(sort_item))));
    });
  }

  bool sort_item() {
    return rule(R::sort_item, [&] {
      return seq(Q(expression), opt([&] {
                   return keyword_lit("ASCENDING") || keyword_lit("ASC") ||
                          keyword_lit("DESCENDING") || keyword_lit("DESC");
                 }));
    });
  }

  bool skip_clause() {
    if constexpr (kExtended) {
      return rule_if(R::skip_clause, next_is("SO"), [&] {
        return seq([&] { return word("SKIP") || word("OFFSET"); }, Q(expression));
      });
    }
    return rule_if(R::skip_clause, next_is("S"), [&] { return seq(I("SKIP"), Q(expression)); });
  }
  bool limit_clause() {
    return rule_if(R::limit_clause, next_is("L"), [&] { return seq(I("LIMIT"), Q(expression)); });
  }
  bool where_clause() {
    return rule_if(R::where_clause, next_is("W"), [&] { return seq(I("WHERE"), Q(expression)); });
  }

  // ------------------------------------------------------------ patterns

  bool pattern() {
    return rule(R::pattern,
                [&] { return seq(Q(pattern_part), many(group(L(","), Q(pattern_part)))); });
  }

  bool pattern_part() {
    if constexpr (kExtended) {
      return rule(R::pattern_part, [&] {
        return seq(opt(group(Q(variable), L("="))), opt(Q(path_selector)),
                   [&] { return shortest_path() || pattern_element(); });
      });
    }
    return rule(R::pattern_part,
                [&] { return seq(opt(group(Q(variable), L("="))), Q(pattern_element)); });
  }

  // The extended language adds quantified groups: a path may start with one,
  // one may follow any node, and a node may follow one directly.
  bool pattern_element() {
    if constexpr (kExtended) {
      return rule(R::pattern_element, [&] {
        bool after_group = false;
        if (!node_pattern()) {
          if (!quantified_path()) return false;
          after_group = true;
        }
        for (;;) {
          const size_t m = pos_;
          skip();
          if (seq(Q(relationship_pattern), Q(node_pattern))) {
            after_group = false;
          } else if (quantified_path()) {
            after_group = true;
          } else if (after_group && node_pattern()) {
            after_group = false;
          } else {
            pos_ = m;
            return true;
          }
        }
      });
    }
    return rule(R::pattern_element, [&] {
      return seq(Q(node_pattern), many(group(Q(relationship_pattern), Q(node_pattern))));
    });
  }

  bool node_pattern() {
    if constexpr (kExtended) {
      return rule_if(R::node_pattern, next_is("("), [&] {
        return seq(L("("), opt(Q(variable)), opt(Q(node_labels)), opt(Q(properties)),
                   opt(Q(where_clause)), L(")"));
      });
    }
    return rule_if(R::node_pattern, next_is("("), [&] {
      return seq(L("("), opt(Q(variable)), opt(Q(node_labels)), opt(Q(properties)), L(")"));
    });
  }

  // The extended language reads label expressions after each colon, or one
  // after IS.
  bool node_labels() {
    if constexpr (kExtended) {
      return rule_if(R::node_labels, next_is(":I"), [&] {
        return plus(group(L(":"), [&] { return label_expression(false, false); })) ||
               seq(K("IS"), [&] { return label_expression(false, false); });
      });
    }
    return rule_if(R::node_labels, next_is(":"),
                   [&] { return plus(group(L(":"), Q(label_name))); });
  }

  bool relationship_pattern() {
    if constexpr (kExtended) {
      return rule(R::relationship_pattern, [&] {
        return seq(opt(Q(left_arrow)), L("-"), L("["), opt(Q(variable)), opt(Q(rel_types)),
                   opt(Q(range_literal)), opt(Q(properties)), opt(Q(where_clause)), L("]"), L("-"),
                   opt(Q(right_arrow)), opt(Q(path_quantifier))) ||
               seq(opt(Q(left_arrow)), L("--"), opt(Q(right_arrow)), opt(Q(path_quantifier)));
      });
    }
    return rule(R::relationship_pattern, [&] {
      return seq(opt(Q(left_arrow)), L("-"), L("["), opt(Q(variable)), opt(Q(rel_types)),
                 opt(Q(range_literal)), opt(Q(properties)), L("]"), L("-"), opt(Q(right_arrow))) ||
             seq(opt(Q(left_arrow)), L("--"), opt(Q(right_arrow)));
    });
  }

  // ------------------------------------- patterns of the extended language

  // A label expression: disjunctions of conjunctions of negations of atoms.
  // `rel` reads relationship type names instead of labels. In a list
  // comprehension's WHERE (`in_expression` at the blocked depth) a `|` ends
  // the predicate instead: it starts the projection.
  bool label_expression(bool rel, bool in_expression) {
    return rule(R::label_expression, [&] {
      const bool or_allowed = !in_expression || label_or_blocked_depth_ != depth_;
      auto conjunction = [&] { return label_conjunction(rel); };
      if (!or_allowed) return conjunction();
      return seq(conjunction, many(group(L("|"), opt(L(":")), conjunction)));
    });
  }
  bool label_conjunction(bool rel) {
    return rule(R::label_conjunction, [&] {
      auto negation = [&] { return label_negation(rel); };
      return seq(negation, many(group(L("&"), negation)));
    });
  }
  bool label_negation(bool rel) {
    return rule(R::label_negation,
                [&] { return seq(many(L("!")), [&] { return label_atom(rel); }); });
  }
  bool label_atom(bool rel) {
    return rule(R::label_atom, [&] {
      if (lit("%")) return true;
      if (cur() == '(') {
        return nested(
            [&] { return seq(L("("), [&] { return label_expression(rel, false); }, L(")")); });
      }
      if (cur() == '$') {
        return nested([&] {
          return seq([&] { return dynamic_label_start(); }, L("("), Q(expression), L(")"));
        });
      }
      return rel ? rel_type_name() : label_name();
    });
  }
  // `$`, `$any` or `$all` written right before a parenthesis: what a
  // dynamic label starts with. Moves to the parenthesis.
  bool dynamic_label_start() {
    const size_t open = dynamic_label_open(text_, pos_);
    if (open == 0) return false;
    pos_ = open;
    return true;
  }

  // `+`, `*`, `{n}`, `{m,n}`, `{m,}`, `{,n}`.
  bool path_quantifier() {
    return rule_if(R::path_quantifier, next_is("+*{"), [&] {
      return lit("+") || lit("*") ||
             seq(
                 L("{"),
                 [&] {
                   return seq(opt(Q(integer_literal)), L(","), opt(Q(integer_literal))) ||
                          integer_literal();
                 },
                 L("}"));
    });
  }

  // `((a)-[:R]->(b) WHERE ...){1,3}`.
  bool quantified_path() {
    return rule_if(R::quantified_path, next_is("("), [&] {
      return nested([&] {
        return seq(L("("), Q(pattern_element), opt(Q(where_clause)), L(")"), Q(path_quantifier));
      });
    });
  }

  bool shortest_path() {
    return rule_if(R::shortest_path, next_is("AS"), [&] {
      return seq([&] { return word("SHORTESTPATH") || word("ALLSHORTESTPATHS"); }, L("("),
                 Q(pattern_element), L(")"));
    });
  }

  bool path_selector() {
    return rule_if(R::path_selector, next_is("AS"), [&] {
      auto paths = opt([&] { return word("PATHS") || word("PATH"); });
      return seq(K("ALL"), K("SHORTEST"), paths) || seq(K("ANY"), K("SHORTEST"), paths) ||
             seq(K("SHORTEST"), Q(integer_literal), paths, K("GROUPS")) ||
             seq(K("SHORTEST"), Q(integer_literal), paths) ||
             seq(K("ANY"), opt(Q(integer_literal)), paths) || seq(K("ALL"), paths);
    });
  }

  bool left_arrow() {
    return rule_if(R::left_arrow, next_is("<"), [&] { return lit("<"); });
  }
  bool right_arrow() {
    return rule_if(R::right_arrow, next_is(">"), [&] { return lit(">"); });
  }

  bool rel_types() {
    if constexpr (kExtended) {
      return rule_if(R::rel_types, next_is(":I"), [&] {
        return seq(L(":"), [&] { return label_expression(true, false); }) ||
               seq(K("IS"), [&] { return label_expression(true, false); });
      });
    }
    return rule_if(R::rel_types, next_is(":"), [&] {
      return seq(L(":"), Q(rel_type_name), many(group(L("|"), opt(L(":")), Q(rel_type_name))));
    });
  }

  // "*", optionally a lower bound and "..", optionally an upper bound; an
  // upper bound may also stand alone ("*..3").
  bool range_literal() {
    return rule_if(R::range_literal, next_is("*"), [&] {
      return seq(L("*"), opt([&] {
                   return seq(Q(integer_literal), opt(group(L(".."), opt(Q(integer_literal))))) ||
                          seq(L(".."), opt(Q(integer_literal)));
                 }));
    });
  }

  bool properties() {
    return rule(R::properties, [&] { return map_literal() || parameter(); });
  }

  // --------------------------------------------------------- expressions

  bool expression() {
    if (aborted_) return false;
    if (depth_ > deepest_check_) deepest_check_ = depth_;
    if (depth_ >= kMaxNestingDepth) {
      abort_match("query nested too deeply (limit " + std::to_string(kMaxNestingDepth) + ")");
      return false;
    }
    ++depth_;
    const bool ok = rule(R::expression, [&] { return or_expr(); });
    --depth_;
    return ok;
  }

  bool or_expr() {
    return rule(R::or_expr, [&] { return seq(Q(xor_expr), many(group(Q(or_kw), Q(xor_expr)))); });
  }
  bool xor_expr() {
    return rule(R::xor_expr, [&] { return seq(Q(and_expr), many(group(Q(xor_kw), Q(and_expr)))); });
  }
  bool and_expr() {
    return rule(R::and_expr, [&] { return seq(Q(not_expr), many(group(Q(and_kw), Q(not_expr)))); });
  }
  bool not_expr() {
    return rule(R::not_expr, [&] { return seq(many(Q(not_kw)), Q(comparison_expr)); });
  }

  bool or_kw() {
    return atomic_rule(R::or_kw, [&] { return word("OR"); });
  }
  bool xor_kw() {
    return atomic_rule(R::xor_kw, [&] { return word("XOR"); });
  }
  bool and_kw() {
    return atomic_rule(R::and_kw, [&] { return word("AND"); });
  }
  bool not_kw() {
    return atomic_rule(R::not_kw, [&] { return word("NOT"); });
  }

  // add_sub_expr (comparison_op add_sub_expr)*, where IS NULL and IS NOT NULL
  // take no right operand.
  // The extended language adds type predicates and `IS label` checks, which
  // take no right operand either.
  bool comparison_expr() {
    return rule(R::comparison_expr, [&] {
      return seq(Q(add_sub_expr), many([&] {
                   const size_t m = pos_;
                   bool null_test = false;
                   if (!comparison_op(null_test)) {
                     if constexpr (kExtended) return type_predicate() || label_check(true);
                     return false;
                   }
                   if (null_test) return true;
                   skip();
                   if (add_sub_expr()) return true;
                   pos_ = m;
                   return false;
                 }));
    });
  }

  bool comparison_op(bool& null_test) {
    return rule(R::comparison_op, [&] {
      if (lit("<=") || lit(">=") || lit("<>") || lit("<") || lit(">") || lit("=~") || lit("=")) {
        return true;
      }
      if (seq(I("IS"), I("NOT"), [&] { return word("NULL"); }) ||
          seq(I("IS"), [&] { return word("NULL"); })) {
        null_test = true;
        return true;
      }
      return word("IN") || seq(I("STARTS"), [&] { return word("WITH"); }) ||
             seq(I("ENDS"), [&] { return word("WITH"); }) || word("CONTAINS");
    });
  }

  // The extended language adds string concatenation `||` at this level.
  bool add_sub_expr() {
    return rule(R::add_sub_expr, [&] {
      return seq(Q(mul_div_expr), many(group(
                                      [&] {
                                        if constexpr (kExtended) {
                                          if (lit("||")) return true;
                                        }
                                        return lit("+") || lit("-");
                                      },
                                      Q(mul_div_expr))));
    });
  }
  bool mul_div_expr() {
    return rule(R::mul_div_expr, [&] {
      return seq(Q(mod_expr), many(group([&] { return lit("*") || lit("/"); }, Q(mod_expr))));
    });
  }
  bool mod_expr() {
    return rule(R::mod_expr,
                [&] { return seq(Q(power_expr), many(group(L("%"), Q(power_expr)))); });
  }
  bool power_expr() {
    return rule(R::power_expr,
                [&] { return seq(Q(unary_expr), many(group(L("^"), Q(unary_expr)))); });
  }
  bool unary_expr() {
    return rule(R::unary_expr, [&] { return seq(opt(L("-")), Q(postfix_expr)); });
  }
  bool postfix_expr() {
    if constexpr (kExtended) {
      return rule(R::postfix_expr, [&] {
        return seq(Q(atom), many(Q(postfix_op)), opt([&] { return label_check(false); }));
      });
    }
    return rule(R::postfix_expr, [&] { return seq(Q(atom), many(Q(postfix_op))); });
  }
  bool postfix_op() {
    auto body = [&] { return property_lookup() || subscript_op() || list_slice_op(); };
    return cur() == '[' ? bracket_memo_rule(R::postfix_op, body) : rule(R::postfix_op, body);
  }
  bool property_lookup() {
    return rule_if(R::property_lookup, next_is("."),
                   [&] { return seq(L("."), Q(property_key_name)); });
  }
  bool subscript_op() {
    return rule_if(R::subscript_op, next_is("["),
                   [&] { return seq(L("["), Q(expression), L("]")); });
  }
  bool list_slice_op() {
    return rule_if(R::list_slice_op, next_is("["), [&] {
      return seq(L("["), opt(Q(expression)), L(".."), opt(Q(expression)), L("]"));
    });
  }

  bool atom() {
    const unsigned char c = cur();
    if (c == '[' || c == '(' || c == '{') {
      return bracket_memo_rule(R::atom, [&] { return atom_body(); });
    }
    return rule(R::atom, [&] { return atom_body(); });
  }

  bool atom_body() {
    if constexpr (kExtended) {
      return literal() || parameter() || case_expression() || count_subquery() ||
             collect_subquery() || list_comprehension() || pattern_comprehension() ||
             quantifier_expression() || reduce_expression() || shortest_path() ||
             exists_subquery() || count_star() || function_invocation() ||
             map_projection_or_variable() || pattern_predicate() || parenthesized_expr();
    }
    return literal() || parameter() || case_expression() || list_comprehension() ||
           quantifier_expression() || exists_subquery() || count_star() || function_invocation() ||
           variable() || parenthesized_expr();
  }

  bool parenthesized_expr() {
    return rule_if(R::parenthesized_expr, next_is("("),
                   [&] { return seq(L("("), Q(expression), L(")")); });
  }

  bool count_star() {
    return rule_if(R::count_star, next_is("C"),
                   [&] { return seq(I("COUNT"), L("("), L("*"), L(")")); });
  }

  bool function_invocation() {
    return rule(R::function_invocation, [&] {
      return seq(Q(function_name), L("("), opt(I("DISTINCT")), opt(expression_list()), L(")"));
    });
  }

  // The extended language also reads a CASE whose first WHEN is followed by
  // a parenthesis (`CASE WHEN (x > 1) THEN ...`): the subset's reading takes
  // `WHEN (x > 1)` for a call of a function named WHEN and fails, so when it
  // does, the text is read again without an operand. Whatever the subset's
  // reading accepts is kept as it is.
  bool case_expression() {
    return rule_if(R::case_expression, next_is("C"), [&] {
      auto alternatives = [&] {
        return seq(some(group(I("WHEN"), Q(expression), I("THEN"), Q(expression))),
                   opt(group(I("ELSE"), Q(expression))), I("END"));
      };
      if (seq(I("CASE"), opt(Q(expression)), alternatives)) return true;
      if constexpr (kExtended) return seq(I("CASE"), alternatives);
      return false;
    });
  }

  bool list_comprehension() {
    return rule_if(R::list_comprehension, next_is("["), [&] {
      return seq(
          L("["), [&] { return filter_expression(true); }, opt(group(L("|"), Q(expression))),
          L("]"));
    });
  }

  // `before_projection`: a `|` may follow, so in the extended language the
  // predicate's label checks take no `|` alternatives at its top level.
  bool filter_expression(bool before_projection = false) {
    return rule(R::filter_expression, [&] {
      return seq(Q(id_in_coll), opt(group(I("WHERE"), [&] {
                   return before_projection ? predicate_before_bar() : expression();
                 })));
    });
  }

  bool predicate_before_bar() {
    const int saved = label_or_blocked_depth_;
    label_or_blocked_depth_ = depth_ + 1;
    const bool ok = expression();
    label_or_blocked_depth_ = saved;
    return ok;
  }

  bool id_in_coll() {
    return rule(R::id_in_coll, [&] { return seq(Q(variable), I("IN"), Q(expression)); });
  }

  bool quantifier_expression() {
    return rule_if(R::quantifier_expression, next_is("ANS"), [&] {
      return seq(
          [&] {
            return keyword_lit("ALL") || keyword_lit("ANY") || keyword_lit("NONE") ||
                   keyword_lit("SINGLE");
          },
          L("("), Q(filter_expression), L(")"));
    });
  }

  bool exists_subquery() {
    if constexpr (kExtended) {
      return rule_if(R::exists_subquery, next_is("E"),
                     [&] { return seq(I("EXISTS"), L("{"), Q(subquery_content), L("}")); });
    }
    return rule_if(R::exists_subquery, next_is("E"),
                   [&] { return seq(I("EXISTS"), L("{"), Q(pattern), L("}")); });
  }

  // ---------------------------------- expressions of the extended language

  // What EXISTS { } and COUNT { } hold: a whole query, or a pattern with an
  // optional WHERE.
  bool subquery_content() { return regular_query() || seq(Q(pattern), opt(Q(where_clause))); }

  bool count_subquery() {
    return rule_if(R::count_subquery, next_is("C"),
                   [&] { return seq(K("COUNT"), L("{"), Q(subquery_content), L("}")); });
  }

  bool collect_subquery() {
    return rule_if(R::collect_subquery, next_is("C"),
                   [&] { return seq(K("COLLECT"), L("{"), Q(regular_query), L("}")); });
  }

  // A path with at least one relationship, used as an expression.
  bool pattern_predicate() {
    return rule_if(R::pattern_predicate, next_is("("), [&] {
      return seq(Q(node_pattern), some(group(Q(relationship_pattern), Q(node_pattern))));
    });
  }

  bool pattern_comprehension() {
    return rule_if(R::pattern_comprehension, next_is("["), [&] {
      return seq(L("["), opt(group(Q(variable), L("="))), Q(pattern_predicate),
                 opt(group(K("WHERE"), [&] { return predicate_before_bar(); })), L("|"),
                 Q(expression), L("]"));
    });
  }

  // `:A`, `:A:B`, `:A|B&!C`, or with `is_form` `IS A`.
  bool label_check(bool is_form) {
    if (is_form) {
      return rule_if(R::label_check, next_is("I"),
                     [&] { return seq(K("IS"), [&] { return label_expression(false, true); }); });
    }
    return rule_if(R::label_check, next_is(":"), [&] {
      return plus(group(L(":"), [&] { return label_expression(false, true); }));
    });
  }

  // A variable, or a map projection when a brace follows it. Reading the
  // variable first keeps the common case (a plain variable) to one match.
  bool map_projection_or_variable() {
    const size_t m = pos_;
    if (!variable()) return false;
    const size_t after = skip_ignorable(text_, pos_);
    if (after >= text_.size() || text_[after] != '{') return true;
    pos_ = m;
    return map_projection() || variable();
  }

  // COUNT, COLLECT and EXISTS before a brace always start a subquery.
  bool map_projection() {
    return rule(R::map_projection, [&] {
      if (word_here("COUNT") || word_here("COLLECT") || word_here("EXISTS")) return false;
      return seq(Q(variable), L("{"),
                 opt(group(Q(map_projection_item), many(group(L(","), Q(map_projection_item))))),
                 L("}"));
    });
  }

  bool map_projection_item() {
    return rule(R::map_projection_item, [&] {
      return seq(L("."), L("*")) || seq(L("."), Q(property_key_name)) ||
             seq(Q(property_key_name), L(":"), Q(expression)) || variable();
    });
  }

  bool reduce_expression() {
    return rule_if(R::reduce_expression, next_is("R"), [&] {
      return seq(K("REDUCE"), L("("), Q(variable), L("="), Q(expression), L(","), Q(id_in_coll),
                 L("|"), Q(expression), L(")"));
    });
  }

  // `IS [NOT] :: type`, `:: type`, `IS [NOT] TYPED type`.
  bool type_predicate() {
    return rule_if(R::type_predicate, next_is("I:"), [&] {
      return seq(
                 K("IS"), opt(K("NOT")), [&] { return lit("::") || word("TYPED"); },
                 Q(type_name)) ||
             seq(L("::"), Q(type_name));
    });
  }

  // One or more alternatives joined by `|`, each optionally NOT NULL.
  bool type_name() {
    return rule(R::type_name, [&] {
      auto term = [&] { return seq(Q(type_base), opt(group(K("NOT"), K("NULL")))); };
      return seq(term, many(group(L("|"), term)));
    });
  }

  bool type_base() {
    if (seq([&] { return word("LIST") || word("ARRAY") || word("ANY"); }, L("<"),
            [&] { return nested([&] { return type_name(); }); }, L(">"))) {
      return true;
    }
    if (seq(K("ANY"), [&] {
          return word("NODE") || word("VERTEX") || word("RELATIONSHIP") || word("EDGE") ||
                 word("VALUE") || seq(K("PROPERTY"), K("VALUE"));
        })) {
      return true;
    }
    if (word("ANY")) return true;
    if (seq(K("PROPERTY"), K("VALUE")) || seq(K("SIGNED"), K("INTEGER")) ||
        seq([&] { return word("LOCAL") || word("ZONED"); },
            [&] { return word("DATETIME") || word("TIME"); })) {
      return true;
    }
    if (seq([&] { return word("TIMESTAMP") || word("TIME"); },
            [&] { return word("WITHOUT") || word("WITH"); }, K("TIME"), K("ZONE"))) {
      return true;
    }
    for (std::string_view w : kTypeWords) {
      if (word(w)) return true;
    }
    return false;
  }

  // When the first character can start none of the alternatives, each of
  // the seven fails at once and records itself, and `literal` then replaces
  // them with itself: the same as failing directly.
  bool literal() {
    const unsigned char c = cur();
    const bool can_start = is_digit(c) || c == '"' || c == '\'' || c == '[' || c == '{' ||
                           next_is("TFN") || (kExtended && c == '.');
    return rule_if(R::literal, can_start, [&] {
      return float_literal() || integer_literal() || string_literal() || boolean_literal() ||
             null_literal() || list_literal() || map_literal();
    });
  }

  bool list_literal() {
    return rule_if(R::list_literal, next_is("["),
                   [&] { return seq(L("["), opt(expression_list()), L("]")); });
  }

  bool map_literal() {
    return rule_if(R::map_literal, next_is("{"), [&] {
      return seq(
          L("{"),
          opt(group(Q(property_key_value_pair), many(group(L(","), Q(property_key_value_pair))))),
          L("}"));
    });
  }

  bool property_key_value_pair() {
    return rule(R::property_key_value_pair,
                [&] { return seq(Q(property_key_name), L(":"), Q(expression)); });
  }

  bool property_expression() {
    return rule(R::property_expression, [&] { return seq(Q(variable), some(Q(property_lookup))); });
  }

#undef Q

  std::string_view text_;
  const bool remember_;
  size_t pos_ = 0;
  bool atomic_ = false;
  std::unordered_map<uint64_t, MemoEntry> memo_;
  std::map<uint64_t, MemoEntry> bracket_memo_;
  size_t max_tracked_ = 0;

  size_t furthest_ = 0;
  std::vector<Rule> expected_;  // storage; the first expected_count_ entries count
  size_t expected_count_ = 0;

  int depth_ = 0;
  int deepest_check_ = -1;  // the deepest nesting-limit check so far
  int label_or_blocked_depth_ = -1;
  uint64_t work_ = 0;
  uint64_t work_budget_;
  bool aborted_ = false;
  size_t abort_pos_ = 0;
  std::string abort_note_;
};

}  // namespace

MatchResult match_cypher(std::string_view text, Language language, bool remember) {
  return language == Language::Extended ? Matcher<true>(text, remember).run()
                                        : Matcher<false>(text, remember).run();
}

}  // namespace quorvane
