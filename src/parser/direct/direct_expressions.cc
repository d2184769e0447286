// Expressions: the binary and prefix operators by precedence climbing, the
// postfix operators, and the atoms most queries use. Operators fold to the
// left as they are read, each wrapping the value read so far.
#include <charconv>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "parser/direct/direct_reader.h"

namespace quorvane {

namespace {

bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}

bool is_letter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool is_hex(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether a float literal that does not read as a double is too large rather
// than too small: whether its first significant digit stands at a positive
// power of ten.
bool float_too_large(std::string_view text) {
  double value = 0.0;
  if (std::from_chars(text.data(), text.data() + text.size(), value).ec !=
      std::errc::result_out_of_range) {
    return false;
  }
  const size_t e = text.find_first_of("eE");
  const std::string_view mantissa = text.substr(0, e);
  int64_t exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view digits = text.substr(e + 1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    // An exponent too long to read is certainly beyond any mantissa.
    if (std::from_chars(digits.data(), digits.data() + digits.size(), exponent).ec != std::errc()) {
      return !digits.starts_with("-");
    }
  }
  const size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;
  const size_t point = std::min(mantissa.find('.'), mantissa.size());
  const int64_t position = first < point ? static_cast<int64_t>(point - first) - 1
                                         : -static_cast<int64_t>(first - point);
  return position + exponent > 0;
}

// The length of the UTF-8 character that starts with `c`, as the matcher
// steps over it (a stray byte counts as one).
size_t char_length(unsigned char c) {
  return c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
}

}  // namespace

template <class Op>
Expr& DirectReader::wrap_binary(Expr& out) {
  Box<Expr> left = box<Expr>(std::move(out));
  return *out.node.emplace<Op>(Op{{std::move(left), placeholder()}}).right;
}

template <class Op>
Expr& DirectReader::wrap_unary(Expr& out) {
  Box<Expr> operand = box<Expr>(std::move(out));
  return *out.node.emplace<Op>(Op{{std::move(operand)}}).operand;
}

// A prefix operator: `out` becomes Op{placeholder}; returns the operand's
// place.
template <class Op>
static Expr& prefix(Expr& out, Box<Expr> operand) {
  return *out.node.emplace<Op>(Op{{std::move(operand)}}).operand;
}

bool DirectReader::read_expression(Expr& out) {
  if (!nest()) return false;
  const bool ok = read_operators(out, kOr);
  --depth_;
  return ok;
}

// The levels operator_here() gives each operator are those of the table the
// printer writes by.
static_assert(binary_precedence<Expr::Or>() == kOr && binary_precedence<Expr::Xor>() == kXor &&
              binary_precedence<Expr::And>() == kAnd);
static_assert(binary_precedence<Expr::Equal>() == kComparison &&
              binary_precedence<Expr::NotEqual>() == kComparison &&
              binary_precedence<Expr::LessThan>() == kComparison &&
              binary_precedence<Expr::LessOrEqual>() == kComparison &&
              binary_precedence<Expr::GreaterThan>() == kComparison &&
              binary_precedence<Expr::GreaterOrEqual>() == kComparison &&
              binary_precedence<Expr::RegexMatch>() == kComparison &&
              binary_precedence<Expr::In>() == kComparison &&
              binary_precedence<Expr::StartsWith>() == kComparison &&
              binary_precedence<Expr::EndsWith>() == kComparison &&
              binary_precedence<Expr::Contains>() == kComparison);
static_assert(binary_precedence<Expr::Add>() == kAdditive &&
              binary_precedence<Expr::Subtract>() == kAdditive &&
              binary_precedence<Expr::Concatenate>() == kAdditive);
static_assert(binary_precedence<Expr::Multiply>() == kMultiplicative &&
              binary_precedence<Expr::Divide>() == kMultiplicative &&
              binary_precedence<Expr::Modulo>() == kModulo &&
              binary_precedence<Expr::Power>() == kPower);

// The operator at the position, if one of a level from OR to `^` stands
// there: its level, or kNoOperator. Reads nothing.
Precedence DirectReader::operator_here() const {
  switch (peek()) {
    case '^':
      return kPower;
    case '%':
      return kModulo;
    case '*':
    case '/':
      return kMultiplicative;
    case '+':
    case '-':
      return kAdditive;
    case '|':
      // `||` concatenates in the extended language.
      return extended_ && peek_at(1) == '|' ? kAdditive : kNoOperator;
    case '<':
    case '>':
    case '=':
      return kComparison;
    case ':':
      // `::` starts a type predicate (extended language); `:` alone is a
      // label check, among the postfix operators.
      return extended_ && peek_at(1) == ':' ? kComparison : kNoOperator;
    case 'i':
    case 'I':
      return keyword_here("IS") || word_here("IN") ? kComparison : kNoOperator;
    case 's':
    case 'S':
      return keyword_here("STARTS") ? kComparison : kNoOperator;
    case 'e':
    case 'E':
      return keyword_here("ENDS") ? kComparison : kNoOperator;
    case 'c':
    case 'C':
      return word_here("CONTAINS") ? kComparison : kNoOperator;
    case 'a':
    case 'A':
      return word_here("AND") ? kAnd : kNoOperator;
    case 'x':
    case 'X':
      return word_here("XOR") ? kXor : kNoOperator;
    case 'o':
    case 'O':
      return word_here("OR") ? kOr : kNoOperator;
    default:
      return kNoOperator;
  }
}

// Operators of `least` and tighter levels, by precedence climbing: an
// operator's right operand is read at the next tighter level, so it takes
// every tighter operator after it, and operators of one level fold to the
// left in this loop. The tree and its count are those of one reading per
// level: the operators of a level make one chain (see OperandChain), which
// a looser operator after them closes. Every node a chain builds starts
// with its first operand, where this reading began.
bool DirectReader::read_operators(Expr& out, Precedence least) {
  const size_t start = pos_;
  OperandChain chain(*this);
  Precedence level = kNoOperator;  // the level of the chain being read
  if (least <= kNot && word_here("NOT")) {
    // NOT's operand takes the comparison and tighter operators.
    if (!read_not(out)) return false;
    level = kNot;
  } else if (!read_unary(out)) {
    return false;
  }
  for (;;) {
    const Precedence found = operator_here();
    // A tighter operator after a looser one's chain is not this reading's:
    // the looser operator's right operand ended before it (`x IS NULL + 1`).
    if (found < least || (level != kNoOperator && found > level)) return true;
    if (found != level) {
      chain.close_level();
      level = found;
    }
    Expr* right = nullptr;
    switch (found) {
      case kOr:
        pos_ += 2;
        skip();
        if (!chain.link()) return false;
        right = &wrap_binary<Expr::Or>(out);
        break;
      case kXor:
        pos_ += 3;
        skip();
        if (!chain.link()) return false;
        right = &wrap_binary<Expr::Xor>(out);
        break;
      case kAnd:
        pos_ += 3;
        skip();
        if (!chain.link()) return false;
        right = &wrap_binary<Expr::And>(out);
        break;
      case kComparison: {
        const ComparisonRead read = read_comparison_operator(out, start, chain, right);
        if (read == ComparisonRead::kFailed) return false;
        if (read == ComparisonRead::kWhole) continue;
        break;
      }
      case kAdditive: {
        const unsigned char c = peek();
        const bool concatenate = c == '|';
        pos_ += concatenate ? 2 : 1;
        skip();
        if (!chain.link()) return false;
        right = concatenate ? &wrap_binary<Expr::Concatenate>(out)
                : c == '+'  ? &wrap_binary<Expr::Add>(out)
                            : &wrap_binary<Expr::Subtract>(out);
        break;
      }
      case kMultiplicative: {
        const unsigned char c = peek();
        ++pos_;
        skip();
        if (!chain.link()) return false;
        right = c == '*' ? &wrap_binary<Expr::Multiply>(out) : &wrap_binary<Expr::Divide>(out);
        break;
      }
      case kModulo:
        ++pos_;
        skip();
        if (!chain.link()) return false;
        right = &wrap_binary<Expr::Modulo>(out);
        break;
      default:  // kPower
        ++pos_;
        skip();
        if (!chain.link()) return false;
        right = &wrap_binary<Expr::Power>(out);
        break;
    }
    if (!read_operators(*right, static_cast<Precedence>(found + 1))) return false;
    out.span = span_from(start);
  }
}

bool DirectReader::read_not(Expr& out) {
  const size_t start = pos_;
  if (!whole_word("NOT")) return read_operators(out, kComparison);
  if (!count_node() || !read_not(prefix<Expr::Not>(out, placeholder()))) return false;
  out.span = span_from(start);
  return true;
}

// One comparison operator, after its left operand `out`: a binary one
// (its right operand's place is returned, to be read), or IS NULL, IS NOT
// NULL and, in the extended language, type predicates and `IS label`
// checks, which it reads whole. `start` is where the comparison chain began.
DirectReader::ComparisonRead DirectReader::read_comparison_operator(Expr& out, size_t start,
                                                                    OperandChain& chain,
                                                                    Expr*& right) {
  const unsigned char c = peek();
  if (c == '<' || c == '>' || c == '=') {
    // `<=`, `<>`, `>=`, `=~`, or the first character alone.
    const unsigned char d = peek_at(1);
    const bool two =
        (c == '<' && (d == '=' || d == '>')) || (c == '>' && d == '=') || (c == '=' && d == '~');
    pos_ += two ? 2 : 1;
    skip();
    if (!chain.link()) return ComparisonRead::kFailed;
    if (c == '<') {
      right = !two       ? &wrap_binary<Expr::LessThan>(out)
              : d == '=' ? &wrap_binary<Expr::LessOrEqual>(out)
                         : &wrap_binary<Expr::NotEqual>(out);
    } else if (c == '>') {
      right = two ? &wrap_binary<Expr::GreaterOrEqual>(out) : &wrap_binary<Expr::GreaterThan>(out);
    } else {
      right = two ? &wrap_binary<Expr::RegexMatch>(out) : &wrap_binary<Expr::Equal>(out);
    }
    return ComparisonRead::kOperand;
  }
  if (keyword("IS")) {
    // IS NULL and IS NOT NULL; in the extended language also type
    // predicates and `IS label` checks.
    const size_t after_is = pos_;
    const size_t after_is_end = end_;
    const bool negated = keyword("NOT");
    if (whole_word("NULL")) {
      if (!chain.link()) return ComparisonRead::kFailed;
      if (negated) {
        wrap_unary<Expr::IsNotNull>(out);
      } else {
        wrap_unary<Expr::IsNull>(out);
      }
      out.span = span_from(start);
      return ComparisonRead::kWhole;
    }
    if (!extended_) return ComparisonRead::kFailed;
    if (peek() == ':' && peek_at(1) == ':') {
      return read_type_predicate(out, start, negated) ? ComparisonRead::kWhole
                                                      : ComparisonRead::kFailed;
    }
    if (word_here("TYPED")) {
      // Without a type after it, TYPED is the name of a label.
      const Mark typed = mark();
      if (read_type_predicate(out, start, negated)) return ComparisonRead::kWhole;
      rewind(typed);
    }
    // After `IS NOT` the matcher reads NOT as a label's name
    // (`x IS NOT, y`).
    if (negated) {
      pos_ = after_is;
      end_ = after_is_end;
    }
    return read_is_label_check(out, start) ? ComparisonRead::kWhole : ComparisonRead::kFailed;
  }
  if (c == ':') {
    return read_type_predicate(out, start, false) ? ComparisonRead::kWhole
                                                  : ComparisonRead::kFailed;
  }
  if (whole_word("IN")) {
    if (!chain.link()) return ComparisonRead::kFailed;
    right = &wrap_binary<Expr::In>(out);
    return ComparisonRead::kOperand;
  }
  if (keyword("STARTS")) {
    if (!whole_word("WITH") || !chain.link()) return ComparisonRead::kFailed;
    right = &wrap_binary<Expr::StartsWith>(out);
    return ComparisonRead::kOperand;
  }
  if (keyword("ENDS")) {
    if (!whole_word("WITH") || !chain.link()) return ComparisonRead::kFailed;
    right = &wrap_binary<Expr::EndsWith>(out);
    return ComparisonRead::kOperand;
  }
  // CONTAINS: operator_here() found nothing else.
  whole_word("CONTAINS");
  if (!chain.link()) return ComparisonRead::kFailed;
  right = &wrap_binary<Expr::Contains>(out);
  return ComparisonRead::kOperand;
}

bool DirectReader::read_unary(Expr& out) {
  const size_t start = pos_;
  if (!accept('-')) return read_postfix(out);
  if (!count_node() || !read_postfix(prefix<Expr::Negate>(out, placeholder()))) return false;
  out.span = span_from(start);
  return true;
}

// Property lookups, subscripts and slices after an atom.
bool DirectReader::read_postfix(Expr& out) {
  const size_t start = pos_;
  OperandChain chain(*this);
  if (!read_atom(out)) return false;
  for (;;) {
    const unsigned char c = peek();
    if (c == '.' && peek_at(1) != '.') {
      ++pos_;
      skip();
      std::string_view key;
      Span key_span;
      if (!read_name(NameKind::kAny, key, key_span) || !chain.link()) return false;
      Box<Expr> target = box<Expr>(std::move(out));
      out.node.emplace<Expr::Property>(
          Expr::Property{std::move(target), TreeString::view(key), key_span});
    } else if (c == '[') {
      ++pos_;
      skip();
      if (!chain.link()) return false;
      Nullable<Box<Expr>> from;
      if (peek() != '.' || peek_at(1) != '.') {
        if (!read_expression(*from.emplace(placeholder()))) return false;
        if (accept(']')) {
          Box<Expr> target = box<Expr>(std::move(out));
          out.node.emplace<Expr::Index>(Expr::Index{std::move(target), std::move(*from)});
          out.span = span_from(start);
          continue;
        }
        if (peek() != '.' || peek_at(1) != '.') return false;
      }
      pos_ += 2;
      skip();
      chain.next_operand();
      Nullable<Box<Expr>> to;
      if (peek() != ']' && !read_expression(*to.emplace(placeholder()))) return false;
      if (!accept(']')) return false;
      Box<Expr> target = box<Expr>(std::move(out));
      out.node.emplace<Expr::Slice>(Expr::Slice{std::move(target), std::move(from), std::move(to)});
    } else if (c == ':' && extended_) {
      // A label check `n:A|B` (extended language) ends the chain; `::`
      // starts a type predicate, at the comparison level.
      return peek_at(1) == ':' || read_label_check(out, start);
    } else {
      return true;
    }
    out.span = span_from(start);
  }
}

bool DirectReader::read_atom(Expr& out) {
  const size_t start = pos_;
  if (!read_atom_body(out)) return false;
  out.span = span_from(start);
  return true;
}

bool DirectReader::read_atom_body(Expr& out) {
  if (!count_node()) return false;
  const unsigned char c = peek();
  // A number; `.5` in the extended language.
  if (is_digit(c) || (c == '.' && extended_ && is_digit(peek_at(1)))) return read_number(out);
  if (is_letter(c)) return read_word_atom(out);
  switch (c) {
    case '\'':
    case '"':
      return read_string(out.node.emplace<Expr::String>().value);
    case '$':
      return read_parameter_name(out.node.emplace<Expr::Parameter>().name);
    case '[':
      return read_list(out);
    case '{':
      return read_map(out.node.emplace<Expr::Map>().entries);
    case '(':
      return read_parenthesized(out);
    case '`': {
      // A backticked name may also start a function name.
      const size_t close = text_.find('`', pos_ + 1);
      if (close == std::string_view::npos) return false;
      const unsigned char after = close + 1 < text_.size() ? text_[close + 1] : 0;
      if (after == '.' && parenthesis_after_names()) {
        const WordRead read = read_function(out);
        if (read != WordRead::kOther) return read == WordRead::kTaken;
      }
      // A word right after the name is the next token (`` `x`AS y ``,
      // `` `x`IN(list) ``); a parenthesis after it is a call the matcher
      // refuses (`` `f`(1) ``).
      if (after == '`' || (after == '.' && parenthesis_after_names())) return false;
      if (const size_t next = skip_ignorable(text_, close + 1);
          next < text_.size() && text_[next] == '(') {
        return false;
      }
      std::string_view name;
      Span name_span;
      if (!read_name(NameKind::kVariable, name, name_span)) return false;
      if (peek() == '{') return extended_ && read_map_projection(out, name, name_span);
      out.node.emplace<Expr::Variable>(Expr::Variable{TreeString::view(name)});
      return true;
    }
    default:
      return false;
  }
}

bool DirectReader::parenthesis_after_names() const {
  // The zero byte after the text ends the run there.
  size_t at = pos_;
  for (;;) {
    const unsigned char c = static_cast<unsigned char>(text_.data()[at]);
    if (is_word_char(c) || c == '.') {
      ++at;
    } else if (c == '`') {
      const size_t close = text_.find('`', at + 1);
      if (close == std::string_view::npos) return false;
      at = close + 1;
    } else {
      break;
    }
  }
  // Most runs are a property read (`n.name`) followed by neither a gap nor
  // a parenthesis: no need to skip anything to know.
  const char next = text_.data()[at];
  if (next == '(') return true;
  if (!is_skippable_space(next) && next != '/') return false;
  at = skip_ignorable(text_, at);
  return at < text_.size() && text_[at] == '(';
}

// Literal words, CASE, count(*), quantifiers, function calls and variables.
bool DirectReader::read_word_atom(Expr& out) {
  const size_t length = plain_name_length();
  const std::string_view word = text_.substr(pos_, length);
  if (same_word(word, "TRUE") || same_word(word, "FALSE")) {
    out.node.emplace<Expr::Boolean>(Expr::Boolean{word.size() == 4});
    pos_ += length;
    skip();
    return true;
  }
  if (same_word(word, "NULL")) {
    out.node.emplace<Expr::Null>();
    pos_ += length;
    skip();
    return true;
  }
  // The subset reads CASE without a word boundary (`CASEWHEN`, `CASEx WHEN`);
  // in the extended language a longer word is a name.
  if (starts_with_keyword(word, 0, "CASE") && (length == 4 || !extended_) &&
      !failed_before(Attempt::kCase, pos_)) {
    const Mark word_mark = mark();
    pos_ += 4;
    skip();
    if (read_case(out)) return true;
    if (limit_ != Limit::None) return false;
    // Where the matcher's CASE fails (no WHEN after the operand, a part that
    // fails), it reads the word again, as the name of a function (`case(x)`)
    // or, glued, of a variable (`CASEx`, `CASEWHEN .p`).
    if (!read_again(Attempt::kCase, word_mark)) return false;
  }
  const size_t after = skip_ignorable(text_, pos_ + length);
  const unsigned char next = after < text_.size() ? text_[after] : 0;
  // A brace after a name opens a subquery or a map projection.
  if (next == '{') {
    // A subquery around a whole query (direct_subqueries.cc).
    if (extended_ && query_subquery_at(word, after)) return read_query_subquery(out, word, after);
    const bool count = extended_ && same_word(word, "COUNT");
    if (count || same_word(word, "EXISTS")) {
      pos_ = after;
      return read_pattern_subquery(out, count);
    }
    if (!extended_ || same_word(word, "COLLECT")) return false;
    std::string_view name;
    Span name_span;
    return read_name(NameKind::kVariable, name, name_span) &&
           read_map_projection(out, name, name_span);
  }
  if (next == '(') {
    if (same_word(word, "COUNT")) {
      const size_t star = skip_ignorable(text_, after + 1);
      if (star < text_.size() && text_[star] == '*') {
        pos_ = skip_ignorable(text_, star + 1);
        if (!accept(')')) return false;
        out.node.emplace<Expr::CountStar>();
        return true;
      }
    }
    int quantifier = -1;
    if (same_word(word, "ALL")) quantifier = 0;
    if (same_word(word, "ANY")) quantifier = 1;
    if (same_word(word, "NONE")) quantifier = 2;
    if (same_word(word, "SINGLE")) quantifier = 3;
    const Mark word_mark = mark();
    const size_t word_start = pos_;
    if (failed_before(Attempt::kQuantifier, word_start)) quantifier = -1;
    if (quantifier >= 0) {
      // `any(x IN ...`; other arguments make a call of a function named ANY.
      pos_ = after + 1;
      skip();
      std::string_view variable;
      if (!read_name(NameKind::kVariable, variable) || !starts_with_keyword(text_, pos_, "IN")) {
        quantifier = -1;
      }
      pos_ = after + 1;
      skip();
      if (quantifier < 0) rewind(word_mark);
    }
    if (quantifier >= 0) {
      Expr::Quantifier q{{}, placeholder(), std::nullopt};
      Expr::Quantifier* iteration = nullptr;
      switch (quantifier) {
        case 0:
          iteration = &out.node.emplace<Expr::All>(Expr::All{std::move(q)});
          break;
        case 1:
          iteration = &out.node.emplace<Expr::Any>(Expr::Any{std::move(q)});
          break;
        case 2:
          iteration = &out.node.emplace<Expr::None>(Expr::None{std::move(q)});
          break;
        default:
          iteration = &out.node.emplace<Expr::Single>(Expr::Single{std::move(q)});
          break;
      }
      if (read_iteration(iteration->variable, iteration->list, iteration->predicate)) {
        if (accept(')')) return true;
      } else if (limit_ != Limit::None) {
        return false;
      }
      // `all(x IN l, y)`: the matcher reads a call of a function named all.
      if (!read_again(Attempt::kQuantifier, word_mark)) return false;
    }
    if (extended_ && same_word(word, "REDUCE") && !failed_before(Attempt::kReduce, word_start)) {
      // `reduce(acc = ...`; other arguments make a call of a function
      // named reduce.
      pos_ = after + 1;
      skip();
      TreeString accumulator;
      if (read_name(NameKind::kVariable, accumulator) && accept('=')) {
        if (read_reduce(out, std::move(accumulator))) return true;
        if (limit_ != Limit::None) return false;
        if (!read_again(Attempt::kReduce, word_mark)) return false;
      }
      rewind(word_mark);
    }
    const bool all = same_word(word, "ALLSHORTESTPATHS");
    if (extended_ && (all || same_word(word, "SHORTESTPATH")) &&
        !failed_before(Attempt::kShortestPath, word_start)) {
      // A path inside; anything else, or a path that fails, is an argument
      // of a function (`shortestPath((a) - (b))`).
      const size_t inside = skip_ignorable(text_, after + 1);
      if (inside < text_.size() && text_[inside] == '(') {
        if (read_shortest_path(out, all)) return true;
        if (limit_ != Limit::None || !read_again(Attempt::kShortestPath, word_mark)) return false;
      }
    }
  }
  // A call: `name(`, or dotted names before the parenthesis.
  const unsigned char follower = peek_at(length);
  if ((next == '(' || follower == '.' || follower == '`') && parenthesis_after_names()) {
    const WordRead read = read_function(out);
    if (read != WordRead::kOther) return read == WordRead::kTaken;
  }
  std::string_view name;
  if (!read_name(NameKind::kVariable, name)) return false;
  out.node.emplace<Expr::Variable>(Expr::Variable{TreeString::view(name)});
  return true;
}

// `n{.key, .*, key: value, variable}` (extended language).
bool DirectReader::read_map_projection(Expr& out, std::string_view variable, Span variable_span) {
  using Kind = Expr::MapProjectionItem::Kind;
  accept('{');
  Expr::MapProjection& projection = out.node.emplace<Expr::MapProjection>();
  projection.variable = TreeString::view(variable);
  projection.variable_span = variable_span;
  if (accept('}')) return true;
  Siblings siblings(*this);
  do {
    std::string_view name;
    if (accept('.')) {
      if (accept('*')) {
        add(projection.items, Expr::MapProjectionItem{Kind::AllProperties, {}, std::nullopt, {}});
      } else {
        Span span;
        if (!read_name(NameKind::kAny, name, span)) return false;
        add(projection.items,
            Expr::MapProjectionItem{Kind::Property, TreeString::view(name), std::nullopt, span});
      }
      continue;
    }
    // A key before a colon, else a variable, which may not be reserved.
    const bool reserved = peek() != '`' && extended_reserved(keyword_index(text_, pos_));
    Span span;
    if (!read_name(NameKind::kAny, name, span)) return false;
    if (accept(':')) {
      Expr::MapProjectionItem& item =
          add(projection.items,
              Expr::MapProjectionItem{Kind::Entry, TreeString::view(name), placeholder(), span});
      if (!read_expression(**item.value)) return false;
      siblings.next_operand();
    } else {
      if (reserved) return false;
      add(projection.items,
          Expr::MapProjectionItem{Kind::Variable, TreeString::view(name), std::nullopt, span});
    }
  } while (accept(','));
  return accept('}');
}

// `EXISTS { pattern }`, and in the extended language also with a WHERE and
// as `COUNT { ... }`. A whole query inside the braces is left to the
// matcher.
bool DirectReader::read_pattern_subquery(Expr& out, bool count) {
  // The pattern's property values sit two levels below the subquery, so
  // it counts twice towards the tree's depth.
  if (!count_node()) return false;
  accept('{');
  Pattern pattern;
  if (!read_pattern(pattern)) return false;
  std::optional<Expr> where;
  if (extended_ && keyword("WHERE") && !read_expression(where.emplace(Expr::Null{}))) {
    return false;
  }
  if (!accept('}')) return false;
  Box<ExistsSubquery> subquery = box<ExistsSubquery>(ExistsSubquery{std::move(pattern)});
  if (where) {
    // With a WHERE the pattern is held as a one-MATCH query.
    SinglePartQuery single;
    add(single.reading_clauses,
        ReadingClause{ReadingClause::Match{false, std::move(std::get<Pattern>(subquery->value)),
                                           std::move(where)}});
    subquery->value = RegularQuery{SingleQuery(std::in_place_index<0>, std::move(single)), {}};
  }
  if (count) {
    out.node.emplace<Expr::CountSubquery>(Expr::CountSubquery{std::move(subquery)});
  } else {
    out.node.emplace<Expr::Exists>(Expr::Exists{std::move(subquery)});
  }
  return true;
}

// Decimal, hexadecimal (`0x1F`) and octal (`0o17`) integers; floats with a
// fraction (`1.5`, `1.`, `1.5e3`) and, in the extended language, with an
// exponent alone (`1e9`) or a leading point (`.5`). Out-of-range values are
// kept as written. The literal
// ends where the matcher's ends, whatever follows it (`1AS x`).
bool DirectReader::read_number(Expr& out) {
  const size_t start = pos_;
  const size_t n = text_.size();
  auto digits_from = [&](size_t p) {
    while (p < n && is_digit(text_[p])) ++p;
    return p;
  };
  // Past an exponent at `p`, or `p` where none is complete.
  auto exponent_from = [&](size_t p) {
    if (p >= n || (text_[p] != 'e' && text_[p] != 'E')) return p;
    size_t q = p + 1;
    if (q < n && (text_[q] == '+' || text_[q] == '-')) ++q;
    const size_t end = digits_from(q);
    return end > q ? end : p;
  };
  bool fraction = true;
  size_t end = 0;
  if (text_[start] == '.') {
    end = exponent_from(digits_from(start + 1));
  } else if (const size_t whole = digits_from(start);
             whole < n && text_[whole] == '.' && !(whole + 1 < n && text_[whole + 1] == '.')) {
    end = exponent_from(digits_from(whole + 1));
  } else if (extended_ && exponent_from(whole) != whole) {
    end = exponent_from(whole);
  } else {
    fraction = false;
    int base = 10;
    end = whole;
    if (text_[start] == '0' && start + 2 < n && text_[start + 1] == 'x' &&
        is_hex(text_[start + 2])) {
      base = 16;
      end = start + 2;
      while (end < n && is_hex(text_[end])) ++end;
    } else if (text_[start] == '0' && start + 2 < n && text_[start + 1] == 'o' &&
               text_[start + 2] >= '0' && text_[start + 2] <= '7') {
      base = 8;
      end = start + 2;
      while (end < n && text_[end] >= '0' && text_[end] <= '7') ++end;
    }
    const std::string_view written = text_.substr(start, end - start);
    const std::string_view digits = base == 10 ? written : written.substr(2);
    int64_t value = 0;
    const auto [last, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    Expr::Integer& integer = out.node.emplace<Expr::Integer>(Expr::Integer{0});
    if (ec == std::errc() && last == digits.data() + digits.size()) {
      integer.value = value;
    } else if (written.find_first_not_of("0xo") != std::string_view::npos) {
      integer.too_large = TreeString::view(written);
    }
  }
  if (fraction) {
    const std::string_view written = text_.substr(start, end - start);
    double value = 0.0;
    const auto result = std::from_chars(written.data(), written.data() + written.size(), value);
    Expr::Float& number =
        out.node.emplace<Expr::Float>(Expr::Float{result.ec == std::errc() ? value : 0.0, {}});
    if (float_too_large(written)) number.too_large = TreeString::view(written);
  }
  pos_ = end;
  skip();
  return true;
}

// The text between the quotes, escapes as written.
bool DirectReader::read_string(TreeString& out) {
  const char quote = text_[pos_];
  const size_t n = text_.size();
  size_t p = pos_ + 1;
  while (p < n) {
    const char c = text_[p];
    if (c == quote) {
      out = TreeString::view(text_.substr(pos_ + 1, p - pos_ - 1));
      pos_ = p + 1;
      skip();
      return true;
    }
    if (c == '\\' && p + 1 < n) ++p;
    p = std::min(n, p + char_length(static_cast<unsigned char>(text_[p])));
  }
  return false;
}

// `$name` or `$0`; the name without its `$`.
bool DirectReader::read_parameter_name(TreeString& out) {
  const size_t start = ++pos_;
  const size_t length = plain_name_length();
  if (length > 0) {
    pos_ += length;
  } else {
    // The digits end the name, whatever follows (`$1AS x`).
    while (is_digit(peek())) ++pos_;
    if (pos_ == start) return false;
  }
  out = TreeString::view(text_.substr(start, pos_ - start));
  skip();
  return true;
}

// `[a, b]`, or a comprehension `[x IN list WHERE p | e]`: the matcher tries
// a list first, so a comprehension is read only where the list fails right
// after a complete first element.
bool DirectReader::read_list(Expr& out) {
  const Mark open_mark = mark();
  const size_t open = pos_;
  accept('[');
  if (failed_before(Attempt::kList, open) || negated_iteration_here()) {
    pos_ = open;
    return read_comprehension(out);
  }
  TreeList<Expr>& items = out.node.emplace<Expr::List>().items;
  if (accept(']')) return true;
  Siblings siblings(*this);
  for (;;) {
    if (!read_expression(add(items, Expr::Null{}))) {
      // A first element that fails short of a limit may still start a
      // comprehension (`[x IN NOT (a)-[*2]-(b) | x]`, where the element
      // read a call of NOT).
      if (items.size() != 1 || limit_ != Limit::None) return false;
      if (!read_again(Attempt::kList, open_mark)) return false;
      return read_comprehension(out);
    }
    siblings.next_operand();
    if (accept(']')) return true;
    if (!accept(',')) break;
  }
  // The list failed after its one element, so the matcher tries a
  // comprehension: `[x IN l WHERE p]`, and in the subset also `[x INl]` or
  // `[x IN l WHEREp]`, where the list read a shorter element.
  if (items.size() != 1) return false;
  if (extended_ && (peek() == '|' || word_here("WHERE")) &&
      starts_pattern_comprehension(items.front())) {
    // `[(a)-->(b) | ...]`, `[p = (a)-->(b) WHERE ... | ...]`: the element
    // read is the comprehension's pattern.
    Expr first = std::move(items.front());
    return read_pattern_comprehension(out, first);
  }
  // An element `x IN list` is the comprehension's iteration as the
  // matcher reads it: no operator above IN took part of the list, so the
  // comprehension's list expression ends where the element's IN ended.
  // Taking it as it stands reads nested comprehensions once.
  // A list beginning with NOT is read otherwise by the two: as a call of a
  // function named NOT (`[x IN NOT (y)]`) in the element, as NOT y in the
  // comprehension.
  if (auto* in = std::get_if<Expr::In>(&items.front().node);
      in != nullptr && in->left->as<Expr::Variable>() != nullptr &&
      text_[in->left->span.begin] != '(' &&
      !starts_with_keyword(text_, in->right->span.begin, "NOT")) {
    Expr element = std::move(items.front());
    Expr::In& iteration = std::get<Expr::In>(element.node);
    Expr::ListComprehension& loop = out.node.emplace<Expr::ListComprehension>(
        Expr::ListComprehension{std::move(std::get<Expr::Variable>(iteration.left->node).name),
                                std::move(iteration.right), std::nullopt, std::nullopt});
    return read_comprehension_rest(loop);
  }
  // Otherwise the text is read again, as a comprehension.
  if (!read_again(Attempt::kList, open_mark)) return false;
  return read_comprehension(out);
}

// `x IN NOT y` after a bracket: no list element reads NOT after IN unless
// a parenthesis makes it a call, so the matcher's list fails after `x` and
// the text is a comprehension.
bool DirectReader::negated_iteration_here() const {
  size_t p = pos_;
  if (peek() == '`') {
    p = text_.find('`', p + 1);
    if (p == std::string_view::npos) return false;
    ++p;
  } else {
    const size_t length = plain_name_length();
    if (length == 0) return false;
    p += length;
  }
  p = skip_ignorable(text_, p);
  auto whole = [&](std::string_view upper) {
    if (!starts_with_keyword(text_, p, upper)) return false;
    const size_t end = p + upper.size();
    if (end < text_.size() && is_word_char(static_cast<unsigned char>(text_[end]))) return false;
    p = skip_ignorable(text_, end);
    return true;
  };
  return whole("IN") && whole("NOT") && (p >= text_.size() || text_[p] != '(');
}

bool DirectReader::read_comprehension(Expr& out) {
  accept('[');
  Expr::ListComprehension& loop = out.node.emplace<Expr::ListComprehension>(
      Expr::ListComprehension{{}, placeholder(), std::nullopt, std::nullopt});
  return read_name(NameKind::kVariable, loop.variable) && keyword("IN") &&
         read_expression(*loop.list) && read_comprehension_rest(loop);
}

// The predicate after a comprehension's WHERE: a `|` after a label check
// there starts the projection rather than a label alternative.
bool DirectReader::read_predicate_before_bar(Nullable<Box<Expr>>& predicate) {
  const int saved = label_or_blocked_depth_;
  label_or_blocked_depth_ = depth_ + 1;
  const bool ok = read_expression(*predicate.emplace(placeholder()));
  label_or_blocked_depth_ = saved;
  return ok;
}

// `WHERE predicate | projection]`, each part optional, after the iteration.
bool DirectReader::read_comprehension_rest(Expr::ListComprehension& loop) {
  if (keyword("WHERE") && !read_predicate_before_bar(loop.predicate)) return false;
  if (accept('|') && !read_expression(*loop.projection.emplace(placeholder()))) return false;
  return accept(']');
}

// `x IN list [WHERE predicate]`.
bool DirectReader::read_iteration(TreeString& variable, Box<Expr>& list,
                                  Nullable<Box<Expr>>& predicate) {
  if (!read_name(NameKind::kVariable, variable) || !keyword("IN") || !read_expression(*list)) {
    return false;
  }
  if (keyword("WHERE")) return read_expression(*predicate.emplace(placeholder()));
  return true;
}

// `{key: value, ...}`; a repeated key's value replaces the earlier one where
// it stands. Past kLinearKeySearch keys they are found through an index, so a
// huge map is read in linear time.
bool DirectReader::read_map(PropertyMap& out) {
  accept('{');
  if (accept('}')) return true;
  std::unordered_map<std::string_view, size_t> index;
  Siblings siblings(*this);
  do {
    std::string_view key;
    Span key_span;
    if (!read_name(NameKind::kAny, key, key_span) || !accept(':')) return false;
    size_t at = out.size();
    if (index.empty()) {
      for (size_t i = 0; i < out.size(); ++i) {
        if (out[i].key == key) at = i;
      }
    } else if (const auto it = index.find(key); it != index.end()) {
      at = it->second;
    }
    if (at == out.size()) {
      add(out, MapEntry{TreeString::view(key), Expr::Null{}, key_span});
      if (!index.empty()) index.emplace(key, at);
      if (out.size() == kLinearKeySearch) {
        for (size_t i = 0; i < out.size(); ++i) index.emplace(out[i].key.sv(), i);
      }
    }
    if (!read_expression(out[at].value)) return false;
    siblings.next_operand();
  } while (accept(','));
  return accept('}');
}

bool DirectReader::read_parenthesized(Expr& out) {
  // In the extended language a path may stand here.
  if (extended_) return read_parenthesized_or_pattern(out);
  accept('(');
  return read_expression(out) && accept(')');
}

bool DirectReader::read_case(Expr& out) {
  Expr::Case& result = out.node.emplace<Expr::Case>();
  // The matcher reads an operand first. `CASE WHEN (` may start one, a call
  // of a function named WHEN, when another WHEN follows it; where none does,
  // the extended language reads the text again as the first alternative.
  if (!word_here("WHEN")) {
    // `case()`, `case(x, y)`: no operand, so a call of a function named case.
    if (!read_expression(*result.operand.emplace(placeholder()))) return false;
  } else if (const size_t after = skip_ignorable(text_, pos_ + 4);
             after < text_.size() && text_[after] == '(') {
    const Mark start = mark();
    const bool operand = read_expression(*result.operand.emplace(placeholder()));
    // The subset has no second reading: without a WHEN after the operand
    // its CASE fails (`CASEWHEN()` is a name's call).
    if (!operand && !extended_) return false;
    if (!operand || (extended_ && !word_here("WHEN"))) {
      if (!give_back(start)) return false;
      result.operand.reset();
    }
  }
  // Without a first WHEN the matcher's CASE fails where it began, and the
  // word is read as something else.
  if (!keyword("WHEN")) return false;
  // Nor does it hold where no expression can follow the first WHEN
  // (`RETURN CASEWHEN`, a name, in the subset).
  const unsigned char c = peek();
  if (c == 0 || c == ')' || c == ']' || c == '}' || c == ',' || c == ';') return false;
  Siblings siblings(*this);
  do {
    Expr::CaseAlternative& alternative =
        add(result.alternatives, Expr::CaseAlternative{Expr::Null{}, Expr::Null{}});
    if (!read_expression(alternative.when)) return false;
    siblings.next_operand();
    if (!keyword("THEN") || !read_expression(alternative.then)) return false;
    siblings.next_operand();
  } while (keyword("WHEN"));
  if (keyword("ELSE") && !read_expression(*result.else_expr.emplace(placeholder()))) {
    return false;
  }
  return keyword("END");
}

// `name(args)`, `ns.name(DISTINCT args)`: names joined by dots, the last
// plain, none but the last a reserved word (the extended language reserves
// none after a dot). The name is kept as written, backticks and all.
DirectReader::WordRead DirectReader::read_function(Expr& out) {
  const size_t start = pos_;
  const size_t start_end = end_;
  // Where the names or the parenthesis are not a call's, the matcher reads
  // a variable here (`l..(1)` in a slice, `a.CASE.b(`).
  auto other = [&] {
    pos_ = start;
    end_ = start_end;
    return WordRead::kOther;
  };
  for (;;) {
    if (peek() == '`') {
      // A name in backticks may stand before a dot, never last; it is
      // never a reserved word.
      const size_t close = text_.find('`', pos_ + 1);
      if (close == std::string_view::npos || close + 1 >= text_.size() || text_[close + 1] != '.') {
        return other();
      }
      pos_ = close + 2;
      continue;
    }
    const size_t length = plain_name_length();
    if (length == 0) return other();
    const bool last = peek_at(length) != '.';
    if (!last) {
      const int k = keyword_index(text_, pos_);
      if (extended_ ? pos_ == start && extended_reserved(k) : k >= 0) return other();
    }
    pos_ += length;
    if (last) break;
    ++pos_;
  }
  const size_t name_end = pos_;
  skip();
  if (!accept('(')) return other();
  Expr::FunctionCall& call = out.node.emplace<Expr::FunctionCall>();
  call.name = TreeString::view(text_.substr(start, name_end - start));
  call.name_begin = static_cast<uint32_t>(start);
  call.distinct = keyword("DISTINCT");
  if (accept(')')) return WordRead::kTaken;
  return read_expression_list(call.args, ')') ? WordRead::kTaken : WordRead::kDecline;
}

bool DirectReader::read_expression_list(TreeList<Expr>& out, char close) {
  Siblings siblings(*this);
  do {
    if (!read_expression(add(out, Expr::Null{}))) return false;
    siblings.next_operand();
  } while (accept(','));
  return accept(close);
}

}  // namespace quorvane
