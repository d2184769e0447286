// The direct parser's reader: one pass over the text, building the syntax
// tree as it goes (see direct_parser.h for what it takes and declines).
//
// Invariants:
// - Every read_* function starts at a token (nothing skippable before it)
//   and, when it returns true, leaves the position past its text and past
//   any whitespace and comments after it.
// - A false return is a failure of that reading. Where the grammar's ordered
//   choice tries another reading of the same text, the reader does too,
//   unless a limit was reached (then the whole text is declined): a bracket
//   read as a list, then as a comprehension; CASE, a quantifier, reduce or
//   shortestPath, then a name or call; a parenthesis read as a path, then
//   as an expression; a relationship in an expression, given back. Each
//   rereading is remembered (failed_before) and charged to a linear budget.
// - Glued keywords: the subset reads a keyword even where a word goes on
//   after it, wherever its grammar tries that keyword (`RETURNn` is RETURN n,
//   `RETURN distinctCount` is RETURN DISTINCT Count, `ORDERBY` is ORDER BY,
//   `DESCLIMIT 1` is DESC LIMIT 1). keyword() reads them so, and every
//   keyword() call stands where the matcher tries that keyword, after the
//   same alternatives. Words the matcher reads only as whole words (OR, AND,
//   IN, NULL, ...) go through whole_word(). Where the matcher's rule for
//   a construct that starts with a keyword fails as a whole (`CASEx` with no
//   WHEN, `case(x)`, `reduce(a = 1)`), the word is read again as a name. The extended language
//   reads keywords only where the word ends, as current Cypher does.
// - Nesting is counted as the matcher counts it and stops at the same limit.
//   Each expression node counts once per level of tree depth it can add (an
//   EXISTS pattern counts twice; children side by side count as the deepest
//   of them), and a clause may hold kMaxClauseNodes: that bounds the depth
//   of every tree it builds, so later walks of the tree stay shallow. A text
//   past either limit is declined with the limit recorded, and parse()
//   reports it.
#ifndef QUORVANE_PARSER_DIRECT_DIRECT_READER_H_
#define QUORVANE_PARSER_DIRECT_DIRECT_READER_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "parser/ast.h"
#include "parser/direct/direct_parser.h"
#include "parser/keywords.h"
#include "parser/language.h"
#include "parser/lexical.h"
#include "parser/operators.h"
#include "parser/parse.h"

namespace quorvane {

class DirectReader {
 public:
  // The tree's nodes and lists go in `arena` (on the heap where it is null).
  // The byte after `text` must be readable and zero (Arena::copy_terminated).
  DirectReader(std::string_view text, Language language, Arena* arena)
      : text_(text), extended_(language == Language::Extended), arena_(arena) {}

  // The whole text as one regular query, optionally ending in ";".
  bool read(RegularQuery& out);
  // After read() declined: the first limit it reached, if any.
  DirectLimit limit() const { return {limit_, limit_position_}; }

 private:
  // Nesting is counted as the matcher counts it, one level per expression,
  // and stops at the same limit. The nodes of a clause that can add a level
  // to its tree (see Siblings and OperandChain) bound the tree's depth.
  using Limit = DirectLimit::Kind;
  static constexpr int kMaxDepth = kMaxNestingDepth;
  static constexpr size_t kMaxClauseNodes = kMaxTreeDepth;
  // Up to this many keys a map finds a repeated key by a linear search;
  // past it, through an index.
  static constexpr size_t kLinearKeySearch = 16;

  // ---- Queries and clauses (direct_queries.cc)
  bool read_single_query(SingleQuery& out);
  bool read_match(ReadingClause& out, bool optional);
  bool read_unwind(ReadingClause& out);
  bool read_call(CallClause& out);
  // ---- Subqueries and extended clauses (direct_subqueries.cc, and the
  // clause dispatch in direct_queries.cc)
  bool read_reading_clause(TreeList<ReadingClause>& out);
  bool read_updating_clause(TreeList<UpdatingClause>& out);
  bool read_call_clause(TreeList<ReadingClause>& out, bool optional);
  bool read_procedure_name();
  bool read_regular_query(RegularQuery& out);
  bool read_nested_query(RegularQuery& out);
  bool read_call_subquery(ReadingClause& out, bool optional);
  bool read_in_transactions(ReadingClause::Subquery& call);
  bool read_load_csv(ReadingClause& out);
  bool read_foreach(UpdatingClause& out);
  bool query_subquery_at(std::string_view word, size_t brace) const;
  bool read_query_subquery(Expr& out, std::string_view word, size_t brace);
  int subquery_depth_ = 0;  // queries being read inside a clause
  // ---- end of subqueries and extended clauses
  bool read_create(UpdatingClause& out);
  bool read_merge(UpdatingClause& out);
  bool read_set_items(TreeList<SetItem>& items);
  bool read_remove(UpdatingClause& out);
  bool read_delete(UpdatingClause& out, bool detach);
  bool read_with(WithClause& out);
  bool read_return(ReturnClause& out);
  bool read_return_body(TreeList<ReturnItem>& items, Nullable<TreeList<SortItem>>& order,
                        Nullable<Expr>& skip, Nullable<Expr>& limit);
  bool read_property_keys(PropertyExpr& target);

  // ---- Patterns (direct_patterns.cc)
  bool read_pattern(Pattern& out);
  bool read_pattern_part(PatternPart& out);
  bool read_node(NodePattern& out);
  // `unmatched`, if given, is set where the text fails for a missing token
  // (`(a)-[]` in an expression), which the matcher gives back.
  bool read_relationship(RelationshipPattern& out, bool* unmatched = nullptr);
  bool read_labels(TreeList<TreeString>& out, TreeList<Span>& spans);
  bool read_properties(MapOrParam& out);
  bool read_range(RangeBounds& out);
  bool read_bound(std::optional<int64_t>& value, bool& written);
  bool read_inline_where(Nullable<Box<Expr>>& out);

  // ---- Expressions (direct_expressions.cc)
  // What reading a call found: the call; names or a parenthesis that are
  // not a call's, so that the matcher reads a variable there; or a text to
  // decline.
  enum class WordRead { kTaken, kOther, kDecline };
  // A whole expression, as the matcher's `expression` rule, which counts a
  // level of nesting.
  bool read_expression(Expr& out);
  // The operators of level `least` and tighter, from OR to `^`, with their
  // operands.
  bool read_operators(Expr& out, Precedence least);
  Precedence operator_here() const;
  bool read_not(Expr& out);
  class OperandChain;
  // What reading a comparison operator did: wrap `out` with a binary
  // operator whose right operand is still to be read at `right`, or read
  // a whole postfix comparison (IS NULL, a type predicate, a label check).
  enum class ComparisonRead { kOperand, kWhole, kFailed };
  ComparisonRead read_comparison_operator(Expr& out, size_t start, OperandChain& chain,
                                          Expr*& right);
  bool read_unary(Expr& out);
  bool read_postfix(Expr& out);
  bool read_atom(Expr& out);
  bool read_word_atom(Expr& out);
  bool read_number(Expr& out);
  bool read_string(TreeString& out);
  bool read_parameter_name(TreeString& out);
  bool read_list(Expr& out);
  bool read_comprehension(Expr& out);
  bool read_predicate_before_bar(Nullable<Box<Expr>>& predicate);
  bool read_comprehension_rest(Expr::ListComprehension& loop);
  bool negated_iteration_here() const;
  bool read_iteration(TreeString& variable, Box<Expr>& list, Nullable<Box<Expr>>& predicate);
  bool read_map(PropertyMap& out);
  bool read_parenthesized(Expr& out);
  // CASE and reduce: whether the construct was read. Where one fails short of
  // a limit, the matcher reads the word as a name (`case(x)`, `reduce(a = 1)`).
  bool read_case(Expr& out);
  bool read_pattern_subquery(Expr& out, bool count);
  bool read_map_projection(Expr& out, std::string_view variable, Span variable_span);
  WordRead read_function(Expr& out);
  // Whether a `(` follows the run of names, dots and backticked names here,
  // past what can be skipped. A function name ends inside such a run only
  // where the next character would not let `(` follow, so without one no
  // call starts here.
  bool parenthesis_after_names() const;
  bool read_expression_list(TreeList<Expr>& out, char close);
  // Replaces `out` with Op{left: the old value, right: placeholder}, and
  // returns the right operand's place.
  template <class Op>
  Expr& wrap_binary(Expr& out);
  template <class Op>
  Expr& wrap_unary(Expr& out);
  bool count_node() {
    if (++clause_nodes_ <= kMaxClauseNodes) return true;
    return reached(Limit::TreeDepth);
  }
  // One level of nesting deeper, as the matcher counts it.
  bool nest() {
    ++depth_;
    return depth_ <= kMaxDepth || reached(Limit::Nesting);
  }
  // Whether one more level would still be within the nesting limit.
  bool can_nest() { return depth_ + 1 <= kMaxDepth || reached(Limit::Nesting); }
  // Records the first limit reached, where it was; returns false.
  bool reached(Limit limit) {
    if (limit_ == Limit::None) {
      limit_ = limit;
      limit_position_ = pos_;
    }
    return false;
  }
  // The operands of a chain of operators at one level (`a + b - c`, `x IS
  // NULL = y`). Operators fold to the left, so the chain is at most as deep
  // as its operators plus its deepest operand: each operand is counted from
  // where the chain began, after the operators before it.
  // So a chain of a thousand `+ 1` counts a thousand and one.
  class OperandChain {
   public:
    explicit OperandChain(DirectReader& reader) : reader_(reader), start_(reader.clause_nodes_) {}
    OperandChain(const OperandChain&) = delete;
    OperandChain& operator=(const OperandChain&) = delete;
    ~OperandChain() {
      note_operand();
      reader_.clause_nodes_ = start_ + links_ + deepest_;
    }
    // At each operator, before its operand: counts it; false past the limit.
    bool link() {
      note_operand();
      ++links_;
      reader_.clause_nodes_ = start_ + links_;
      return start_ + links_ + deepest_ <= kMaxClauseNodes || reader_.reached(Limit::TreeDepth);
    }
    // Between two operands of one operator (a slice's bounds), or after
    // each of a row of siblings.
    void next_operand() {
      note_operand();
      reader_.clause_nodes_ = start_ + links_;
    }
    // Where a looser operator follows the operators of a tighter level:
    // ends their chain, which becomes the first operand of the looser one.
    void close_level() {
      note_operand();
      reader_.clause_nodes_ = start_ + links_ + deepest_;
      links_ = 0;
      deepest_ = 0;
    }

   private:
    void note_operand() {
      const size_t operand = reader_.clause_nodes_ - start_ - links_;
      if (operand > deepest_) deepest_ = operand;
    }
    DirectReader& reader_;
    const size_t start_;
    size_t links_ = 0;
    size_t deepest_ = 0;
  };
  // Children side by side (list items, map values, arguments, projection
  // items, alternatives) make a tree as deep as the deepest of them, not as
  // all of them: a chain without operators. So a list of many thousand items
  // counts as one item.
  using Siblings = OperandChain;
  // From `start` to the end of the last token read.
  Span span_from(size_t start) const {
    return Span{static_cast<uint32_t>(start), static_cast<uint32_t>(end_)};
  }
  bool read_atom_body(Expr& out);

  // ---- Extended patterns and expressions (direct_extended_patterns.cc,
  // direct_extended_expressions.cc)
  // Besides a bracket, two more places are read twice, within the same
  // budget of rereading (reread_): a parenthesis, read as a node pattern and
  // again as an expression where no relationship follows the node, and
  // `CASE WHEN (`, read as an operand and again as the first alternative
  // where no WHEN follows it. A few lookaheads (a `|` in a label or type
  // expression, a name before `=`) give back what they read, building
  // nothing.
  // What a node pattern read in an expression turned out to be.
  enum class NodeAttempt { kNode, kNotNode, kDecline };
  bool read_pattern_element(PatternPart& out);
  bool read_pattern_steps(PatternPart& out, bool after_group);
  bool read_quantified_path(QuantifiedPath& out);
  bool read_path_quantifier(RangeBounds& out);
  bool read_path_selector(PatternPart& out);
  bool read_optional_variable(Nullable<TreeString>& name, Span& span);
  bool read_label_parts(TreeList<LabelExpr>& parts);
  bool read_node_labels(NodePattern& out);
  bool read_item_labels(TreeList<TreeString>& names, TreeList<Span>& spans,
                        TreeList<Expr>& dynamic);
  bool read_rel_types(RelationshipPattern& out);
  bool read_label_expression(LabelExpr& out, bool rel, bool in_expression);
  bool read_label_conjunction(LabelExpr& out, bool rel);
  bool read_label_negation(LabelExpr& out, bool rel);
  bool read_label_atom(LabelExpr& out, bool rel);
  bool label_atom_here(size_t at) const;
  bool relationship_here() const;
  NodeAttempt try_node(NodePattern& out);
  bool read_parenthesized_or_pattern(Expr& out);
  bool starts_pattern_comprehension(Expr& first) const;
  bool read_pattern_comprehension(Expr& out, Expr& first);
  bool read_label_check(Expr& out, size_t start);
  bool read_is_label_check(Expr& out, size_t start);
  bool read_type_predicate(Expr& out, size_t start, bool negated);
  bool read_type_name();
  bool read_type_term();
  bool read_type_base();
  bool read_reduce(Expr& out, TreeString accumulator);
  bool read_shortest_path(Expr& out, bool all);
  // In a list comprehension's or pattern comprehension's WHERE, a label
  // check at the predicate's own level takes no `|`: it starts the
  // projection. The level is counted as depth_ counts it.
  int label_or_blocked_depth_ = -1;
  // Where the last label check read ended (end_ after it): FOREACH tells by
  // it whether its list ended with one.
  size_t label_check_end_ = std::string_view::npos;

  // ---- Lexical
  // The character here, or 0 at the end: the position never passes the
  // end, and the zero byte after the text is read there (as a zero byte in
  // the text would be) without a bounds check.
  unsigned char peek() const { return static_cast<unsigned char>(text_.data()[pos_]); }
  unsigned char peek_at(size_t offset) const {
    return pos_ + offset < text_.size() ? static_cast<unsigned char>(text_[pos_ + offset]) : 0;
  }
  void skip() {
    end_ = pos_;
    if (peek() == ' ') ++pos_;
    // Whitespace and the '/' of a comment, as one test of a bit mask.
    constexpr uint64_t kMayStartIgnorable = (uint64_t{1} << ' ') | (uint64_t{1} << '\t') |
                                            (uint64_t{1} << '\r') | (uint64_t{1} << '\n') |
                                            (uint64_t{1} << '/');
    const unsigned char c = peek();
    if (c < 64 && ((kMayStartIgnorable >> c) & 1) != 0) pos_ = skip_ignorable(text_, pos_);
  }
  // Reads the character `c` and what follows it.
  bool accept(char c) {
    if (peek() != static_cast<unsigned char>(c)) return false;
    ++pos_;
    skip();
    return true;
  }
  // Whether the word `upper` (any letter case) stands here and ends here.
  // Every keyword starts with a letter, and most tries of one fail there:
  // `c & 0xDF` upper-cases a letter and makes nothing else one.
  bool first_letter_here(std::string_view upper) const {
    return (peek() & 0xDF) == static_cast<unsigned char>(upper[0]);
  }
  bool word_here(std::string_view upper) const {
    return first_letter_here(upper) && starts_with_keyword(text_, pos_, upper) &&
           !is_word_char(static_cast<unsigned char>(
               pos_ + upper.size() < text_.size() ? text_[pos_ + upper.size()] : ' '));
  }
  // Whether keyword() would read the keyword `upper` here.
  bool keyword_here(std::string_view upper) const {
    return first_letter_here(upper) && starts_with_keyword(text_, pos_, upper) &&
           !(extended_ && is_word_char(peek_at(upper.size())));
  }
  // Reads the keyword `upper`: in the extended language as a whole word, in
  // the subset also where it starts a longer word (glued keywords, above).
  // The first letter is tested where the call stands, the rest out of line.
  [[gnu::always_inline]] bool keyword(std::string_view upper) {
    return first_letter_here(upper) && keyword_past_first_letter(upper);
  }
  [[gnu::noinline]] bool keyword_past_first_letter(std::string_view upper) {
    if (!keyword_here(upper)) return false;
    pos_ += upper.size();
    skip();
    return true;
  }
  // Reads the word `upper` only as a whole word (the matcher tests these
  // with a word boundary).
  bool whole_word(std::string_view upper) {
    if (!word_here(upper)) return false;
    pos_ += upper.size();
    skip();
    return true;
  }
  // A plain name here: its length, or 0.
  size_t plain_name_length() const {
    const unsigned char c = peek();
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_')) return 0;
    // The zero byte after the text ends every name there.
    const char* const start = text_.data() + pos_;
    const char* end = start + 1;
    while (is_word_char(static_cast<unsigned char>(*end))) ++end;
    return static_cast<size_t>(end - start);
  }
  enum class NameKind { kAny, kVariable };
  // A name (plain or in backticks) that the language lets stand here,
  // without its backticks.
  bool read_name(NameKind kind, std::string_view& name);
  bool read_name(NameKind kind, TreeString& name) {
    std::string_view view;
    if (!read_name(kind, view)) return false;
    name = TreeString::view(view);
    return true;
  }
  // The same, and where the name (with any backticks) was written.
  template <class Name>
  bool read_name(NameKind kind, Name& name, Span& span) {
    const size_t start = pos_;
    if (!read_name(kind, name)) return false;
    span = span_from(start);
    return true;
  }

  // ---- Storage: every node and list of the tree is made through these,
  // in the arena.
  // Appends to a list of the tree, which takes its storage from the arena.
  template <class T, class... Args>
  T& add(TreeList<T>& list, Args&&... args) {
    return list.emplace_back_in(arena_, std::forward<Args>(args)...);
  }
  template <class T, class... Args>
  Box<T> box(Args&&... args) {
    return Box<T>::in(arena_, std::forward<Args>(args)...);
  }
  // The place of an expression still to be read.
  Box<Expr> placeholder() { return box<Expr>(Expr::Null{}); }
  // A text the parser made, not one it read, kept in the arena as the
  // query's text is: the tree's strings are all views.
  TreeString keep(std::string_view made) { return TreeString::view(arena_->copy(made)); }

  std::string_view text_;
  const bool extended_;
  Arena* const arena_;
  size_t pos_ = 0;
  size_t end_ = 0;  // past the last token read: where skip() started
  Limit limit_ = Limit::None;
  size_t limit_position_ = 0;
  int depth_ = 0;            // expression nesting, as the matcher counts it
  size_t clause_nodes_ = 0;  // expression nodes built in the current clause
  size_t reread_ = 0;        // bytes read again after a first reading failed

  // Where a reading began: what going back to read the text again restores,
  // the tree count included, so that nodes of a failed reading do not count.
  struct Mark {
    size_t pos;
    size_t end;
    size_t nodes;
  };
  Mark mark() const { return {pos_, end_, clause_nodes_}; }
  void rewind(const Mark& m) {
    pos_ = m.pos;
    end_ = m.end;
    clause_nodes_ = m.nodes;
  }

  // Constructs whose first reading can fail after a long text, which is then
  // read again as something else (see the invariants above).
  enum class Attempt : uint8_t {
    kCase,
    kQuantifier,
    kReduce,
    kList,
    kPathInParenthesis,
    kShortestPath
  };
  // Whether `attempt` already failed at `position`: a second reading of an
  // enclosing text goes straight to what the construct turned out to be, so
  // constructs nested in each other are not read again at every level.
  // Failures of this kind depend on the text alone: a limit declines the
  // whole text instead.
  bool failed_before(Attempt attempt, size_t position) const {
    return !failed_.empty() && failed_.count(failure_key(attempt, position)) != 0;
  }
  // Records that `attempt` failed at `position` and charges the text read
  // from there to the budget of rereading; false past the budget. The budget
  // is linear in the text, so a reading never takes more than linear time;
  // with the record above it is met only by texts made to meet it.
  bool read_again(Attempt attempt, const Mark& from) {
    failed_.insert(failure_key(attempt, from.pos));
    return give_back(from);
  }
  // Goes back to `from` to read the text again, charging what is given back
  // to the budget of rereading; false past the budget.
  bool give_back(const Mark& from) {
    reread_ += pos_ - from.pos;
    rewind(from);
    return within_reread_budget();
  }
  bool within_reread_budget() const {
    return reread_ <= kRereadSlack + kRereadFactor * text_.size();
  }
  static constexpr size_t kRereadSlack = 1 << 16;
  static constexpr size_t kRereadFactor = 16;
  static size_t failure_key(Attempt attempt, size_t position) {
    return position * 8 + static_cast<size_t>(attempt);
  }
  std::unordered_set<size_t> failed_;
};

}  // namespace quorvane

#endif  // QUORVANE_PARSER_DIRECT_DIRECT_READER_H_
