#include "parser/readable_syntax_error.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <iterator>
#include <span>

#include "parser/keywords.h"
#include "parser/lexical.h"

namespace quorvane {

namespace {

// How one expected rule reads in a message. Rules of one group merge into a
// single phrase: every clause rule into "a clause such as ...", every
// operator into "an operator", every expression level into "an expression".
enum class Group : uint8_t { kNone, kPhrase, kClause, kOperator, kExpression, kEnd };

struct Reading {
  Group group = Group::kNone;
  std::string_view text;  // kPhrase: the words; kClause: the clause's keyword
};

// Stands for any clause that can start a query.
constexpr std::string_view kAnyClause = "*";

constexpr Reading phrase(std::string_view text) {
  return {Group::kPhrase, text};
}
constexpr Reading clause(std::string_view keyword) {
  return {Group::kClause, keyword};
}

// Every rule, so that a new one fails to compile here (-Wswitch) until it
// has words of its own.
Reading reading_of(Rule rule) {
  switch (rule) {
    case Rule::EOI:
      return {Group::kEnd, {}};
    case Rule::WHITESPACE:
    case Rule::COMMENT:
    case Rule::keyword:
      return {};
    case Rule::cypher:
    case Rule::statement:
    case Rule::regular_query:
    case Rule::single_query:
    case Rule::single_part_query:
    case Rule::multi_part_query:
      return clause(kAnyClause);
    case Rule::reading_clause:
    case Rule::match_clause:
      return clause("MATCH");
    case Rule::unwind_clause:
      return clause("UNWIND");
    case Rule::in_query_call:
    case Rule::standalone_call:
    case Rule::explicit_procedure_invocation:
    case Rule::call_subquery:
      return clause("CALL");
    case Rule::updating_clause:
    case Rule::create_clause:
      return clause("CREATE");
    case Rule::merge_clause:
      return clause("MERGE");
    case Rule::set_clause:
      return clause("SET");
    case Rule::remove_clause:
      return clause("REMOVE");
    case Rule::delete_clause:
      return clause("DELETE");
    case Rule::with_clause:
      return clause("WITH");
    case Rule::return_clause:
      return clause("RETURN");
    case Rule::load_csv_clause:
      return clause("LOAD CSV");
    case Rule::foreach_clause:
      return clause("FOREACH");
    case Rule::union_clause:
      return phrase("'UNION'");
    case Rule::on_match_or_create:
      return phrase("'ON MATCH' or 'ON CREATE'");
    case Rule::order_clause:
      return phrase("'ORDER BY'");
    case Rule::skip_clause:
      return phrase("'SKIP'");
    case Rule::limit_clause:
      return phrase("'LIMIT'");
    case Rule::where_clause:
      return phrase("'WHERE'");
    case Rule::in_transactions:
      return phrase("'IN TRANSACTIONS'");
    case Rule::yield_items:
    case Rule::yield_item:
    case Rule::procedure_result_field:
      return phrase("a name the procedure yields");
    case Rule::procedure_name:
    case Rule::function_name:
    case Rule::namespace_:
      return phrase("a name");
    case Rule::set_item:
      return phrase("a property or label to set, such as 'n.name = $name'");
    case Rule::remove_item:
      return phrase("a property or label to remove, such as 'n.name'");
    case Rule::return_body:
    case Rule::return_items:
    case Rule::return_item:
      return phrase("'*' or an expression to return");
    case Rule::sort_item:
      return phrase("an expression to sort by");
    case Rule::pattern:
    case Rule::pattern_part:
    case Rule::pattern_element:
    case Rule::node_pattern:
    case Rule::path_selector:
    case Rule::shortest_path:
      return phrase("a node pattern such as '(n:Label)'");
    case Rule::relationship_pattern:
    case Rule::quantified_path:
      return phrase("a relationship pattern such as '-[:TYPE]->'");
    case Rule::left_arrow:
      return phrase("'<-'");
    case Rule::right_arrow:
      return phrase("'->'");
    case Rule::path_quantifier:
      return phrase("a quantifier such as '+' or '{1,3}'");
    case Rule::node_labels:
    case Rule::label_expression:
    case Rule::label_conjunction:
    case Rule::label_negation:
    case Rule::label_atom:
      return phrase("a label such as ':Person'");
    case Rule::label_name:
      return phrase("a label name");
    case Rule::rel_types:
      return phrase("a relationship type such as ':KNOWS'");
    case Rule::rel_type_name:
      return phrase("a relationship type name");
    case Rule::range_literal:
      return phrase("a length such as '*1..3'");
    case Rule::properties:
      return phrase("a property map such as '{name: $name}'");
    case Rule::property_key_value_pair:
      return phrase("a key and value such as 'name: $name'");
    case Rule::property_key_name:
      return phrase("a property key");
    case Rule::property_lookup:
    case Rule::property_expression:
      return phrase("a property such as '.name'");
    case Rule::map_projection_item:
      return phrase("a map projection item such as '.name'");
    case Rule::variable:
    case Rule::identifier:
    case Rule::backtick_identifier:
      return phrase("a variable name");
    case Rule::subquery_scope:
      return phrase("the variables to import, such as '(a, b)'");
    case Rule::type_name:
      return phrase("a type such as INTEGER or STRING");
    case Rule::id_in_coll:
      return phrase("an iteration such as 'x IN list'");
    case Rule::or_kw:
    case Rule::xor_kw:
    case Rule::and_kw:
    case Rule::not_kw:
    case Rule::comparison_op:
    case Rule::postfix_op:
    case Rule::subscript_op:
    case Rule::list_slice_op:
    case Rule::label_check:
    case Rule::type_predicate:
      return {Group::kOperator, {}};
    case Rule::expression:
    case Rule::or_expr:
    case Rule::xor_expr:
    case Rule::and_expr:
    case Rule::not_expr:
    case Rule::comparison_expr:
    case Rule::add_sub_expr:
    case Rule::mul_div_expr:
    case Rule::mod_expr:
    case Rule::power_expr:
    case Rule::unary_expr:
    case Rule::postfix_expr:
    case Rule::atom:
    case Rule::parenthesized_expr:
    case Rule::count_star:
    case Rule::function_invocation:
    case Rule::case_expression:
    case Rule::list_comprehension:
    case Rule::filter_expression:
    case Rule::quantifier_expression:
    case Rule::exists_subquery:
    case Rule::literal:
    case Rule::integer_literal:
    case Rule::float_literal:
    case Rule::string_literal:
    case Rule::boolean_literal:
    case Rule::null_literal:
    case Rule::list_literal:
    case Rule::map_literal:
    case Rule::parameter:
    case Rule::count_subquery:
    case Rule::collect_subquery:
    case Rule::pattern_predicate:
    case Rule::pattern_comprehension:
    case Rule::map_projection:
    case Rule::reduce_expression:
      return {Group::kExpression, {}};
  }
  return {};
}

// The keywords a misspelt word may have meant, by what was expected there;
// each group once, however many of its rules were expected.
std::vector<std::string_view> candidates_for(const std::vector<Rule>& expected) {
  static constexpr std::string_view kClauses[] = {"MATCH",  "OPTIONAL", "UNWIND", "CALL", "CREATE",
                                                  "MERGE",  "SET",      "REMOVE", "DELETE",
                                                  "DETACH", "WITH",     "RETURN", "FOREACH"};
  static constexpr std::string_view kOperators[] = {"AND",  "OR",   "XOR",      "NOT", "IN",
                                                    "IS",   "STARTS", "ENDS", "CONTAINS", "AS"};
  bool clauses = false, operators = false;
  std::vector<std::string_view> out;
  out.reserve(expected.size() + std::size(kClauses) + std::size(kOperators));
  for (Rule rule : expected) {
    const Group group = reading_of(rule).group;
    clauses = clauses || group == Group::kClause;
    operators = operators || group == Group::kOperator;
    switch (rule) {
      case Rule::where_clause:
        out.push_back("WHERE");
        break;
      case Rule::order_clause:
        out.push_back("ORDER");
        break;
      case Rule::skip_clause:
        out.push_back("SKIP");
        break;
      case Rule::limit_clause:
        out.push_back("LIMIT");
        break;
      case Rule::union_clause:
        out.push_back("UNION");
        break;
      default:
        break;
    }
  }
  if (clauses) out.insert(out.end(), std::begin(kClauses), std::end(kClauses));
  if (operators) out.insert(out.end(), std::begin(kOperators), std::end(kOperators));
  return out;
}

// The longest token a message quotes whole.
constexpr size_t kMaxToken = 24;

char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Edit distance with adjacent transpositions between a word already in
// upper case and a keyword, or any value over `bound` once it is sure to be
// over; both are short (a token cut at kMaxToken, a keyword). Three rows of
// the table are kept, and only as long as the keyword.
size_t distance(std::string_view upper_word, std::string_view keyword, size_t bound) {
  constexpr size_t kMax = 32;
  const std::string_view a = upper_word, b = keyword;
  if (a.size() >= kMax || b.size() >= kMax) return kMax;
  std::array<uint8_t, kMax + 1> before_previous, previous, current;
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = static_cast<uint8_t>(j);
  before_previous = previous;
  size_t previous_least = 0;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = static_cast<uint8_t>(i);
    size_t least = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
      int d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d = std::min(d, before_previous[j - 2] + 1);
      }
      current[j] = static_cast<uint8_t>(d);
      least = std::min(least, static_cast<size_t>(d));
    }
    // Every later cell comes from one of the last two rows at no less than
    // their least (a transposition from the row before them, plus one):
    // when both are over the bound, so is the answer.
    if (least > bound && previous_least > bound) return least;
    previous_least = least;
    before_previous = previous;
    previous = current;
  }
  return previous[b.size()];
}

// The characters a word in upper case holds, a bit each: letters, digits
// and the underscore.
uint64_t characters_of(std::string_view upper_word) {
  uint64_t mask = 0;
  for (char c : upper_word) {
    if (c >= 'A' && c <= 'Z') {
      mask |= uint64_t{1} << (c - 'A');
    } else if (c >= '0' && c <= '9') {
      mask |= uint64_t{1} << (26 + c - '0');
    } else {
      mask |= uint64_t{1} << 36;
    }
  }
  return mask;
}

// No more than the distance between two words: each character one has and
// the other lacks takes an edit of its own (a transposition adds none).
size_t missing_characters(uint64_t a, uint64_t b) {
  return static_cast<size_t>(std::max(std::popcount(a & ~b), std::popcount(b & ~a)));
}

bool is_plain_word(std::string_view token) {
  if (token.empty()) return false;
  const unsigned char first = static_cast<unsigned char>(token[0]);
  if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') || first == '_')) {
    return false;
  }
  return std::all_of(token.begin(), token.end(),
                     [](char c) { return is_word_char(static_cast<unsigned char>(c)); });
}

// The keyword a misspelt word most likely meant: close enough that one or
// two slips explain it, and never a word that is itself a keyword.
std::string_view misspelt_keyword(std::string_view token, const std::vector<Rule>& expected) {
  if (!is_plain_word(token) || token.size() < 3) return {};
  for (std::string_view keyword : kKeywords) {
    if (same_word(token, keyword)) return {};
  }
  // Upper-cased once, as every keyword is.
  std::array<char, kMaxToken> upper_token;
  if (token.size() > upper_token.size()) return {};
  std::transform(token.begin(), token.end(), upper_token.begin(), upper);
  const std::string_view word(upper_token.data(), token.size());
  const uint64_t word_characters = characters_of(word);
  const std::vector<std::string_view> candidates = candidates_for(expected);
  std::string_view best;
  size_t best_distance = 3;
  for (std::string_view candidate : candidates) {
    // Words whose lengths differ by more than two slips cannot be close.
    if (word.size() > candidate.size() + 2 || candidate.size() > word.size() + 8) continue;
    // A cut-off keyword ("RET", "ORD") is the likeliest reading of all.
    const bool cut_off = word.size() < candidate.size() && candidate.substr(0, word.size()) == word;
    // Short keywords allow one slip, longer ones two.
    const size_t allowed = candidate.size() <= 4 ? 1 : 2;
    // Nor can words whose lengths differ by more slips than allowed: each
    // missing or extra letter is one.
    const size_t length_gap = word.size() > candidate.size() ? word.size() - candidate.size()
                                                             : candidate.size() - word.size();
    if (!cut_off && length_gap > allowed) continue;
    if (!cut_off && missing_characters(word_characters, characters_of(candidate)) > allowed) {
      continue;
    }
    const size_t d = cut_off ? 0 : distance(word, candidate, allowed);
    if (d <= allowed && d < best_distance) {
      best = candidate;
      best_distance = d;
    }
  }
  return best;
}

// A hint for a mistake people and language models often make, or empty.
std::string hint(std::string_view text, size_t pos, std::string_view token,
                 const std::vector<Rule>& expected) {
  if (token.substr(0, 3) == "```") {
    return "the query is wrapped in a Markdown code fence; remove the ``` lines";
  }
  if (same_word(token, "SELECT")) return "Cypher has no SELECT: write MATCH ... RETURN";
  if (same_word(token, "GROUP") && starts_with_keyword(text, skip_ignorable(text, pos + 5), "BY")) {
    return "Cypher has no GROUP BY: RETURN and WITH group by the items that are not aggregates";
  }
  if (same_word(token, "HAVING")) {
    return "Cypher has no HAVING: filter aggregates with WITH ... WHERE";
  }
  if (same_word(token, "FROM") || same_word(token, "JOIN")) {
    return "Cypher has no FROM or JOIN: name what you need in a MATCH pattern";
  }
  // The matcher reads the first '=' of '==' and stops at the second.
  if (token == "==" || (token.substr(0, 1) == "=" && pos > 0 && text[pos - 1] == '=')) {
    return "Cypher compares with '=', not '=='";
  }
  if (token == "->" || token == "-" || token == "<-") {
    // An arrow inside an unclosed relationship's brackets.
    const size_t open = text.substr(0, pos).rfind('[');
    const size_t close = text.substr(0, pos).rfind(']');
    if (open != std::string_view::npos && (close == std::string_view::npos || close < open)) {
      return "is a ']' missing before the arrow?";
    }
  }
  if (token == "!=") return "Cypher writes 'not equal' as '<>'";
  if (token == "&&") return "Cypher writes 'and' as AND";
  const std::string_view keyword = misspelt_keyword(token, expected);
  if (!keyword.empty()) return "did you mean " + std::string(keyword) + "?";
  return {};
}

// ", " between items and " or " before the last.
void append_alternatives(std::string& out, std::span<const std::string_view> items) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? " or " : ", ";
    out += items[i];
  }
}

std::string clause_phrase(const std::vector<std::string_view>& keywords) {
  std::string out;
  if (keywords.size() == 1) {
    out += '\'';
    out += keywords[0];
    out += '\'';
    return out;
  }
  out = "a clause such as ";
  // At most four: the three shown, and one more taken out again below.
  std::array<std::string_view, 4> shown;
  size_t count = 0;
  const auto is_shown = [&](std::string_view keyword) {
    return std::find(shown.begin(), shown.begin() + count, keyword) != shown.begin() + count;
  };
  // MATCH, WITH and RETURN are the clauses people reach for; others follow.
  for (std::string_view preferred : {"MATCH", "CREATE", "WITH", "RETURN"}) {
    if (std::find(keywords.begin(), keywords.end(), preferred) != keywords.end()) {
      shown[count++] = preferred;
    }
  }
  for (std::string_view keyword : keywords) {
    if (count >= 3) break;
    if (!is_shown(keyword)) shown[count++] = keyword;
  }
  if (count > 3) {  // keep MATCH, WITH, RETURN
    std::copy(shown.begin() + 2, shown.end(), shown.begin() + 1);
    --count;
  }
  append_alternatives(out, std::span<const std::string_view>(shown.data(), count));
  return out;
}

// Where the string literal that starts `rest` closes (a backslash protects
// the next character), or npos when it never does.
size_t closing_quote(std::string_view rest) {
  for (size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] == '\\') {
      ++i;
    } else if (rest[i] == rest[0]) {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace

size_t token_end(std::string_view text, size_t pos) {
  if (pos >= text.size()) return text.size();
  const std::string_view rest = text.substr(pos);
  const unsigned char c = static_cast<unsigned char>(rest[0]);
  size_t n = 1;
  if (rest.substr(0, 3) == "```") {
    n = 3;
  } else if (is_word_char(c) || c >= 0x80) {
    while (n < rest.size() && (is_word_char(static_cast<unsigned char>(rest[n])) ||
                               static_cast<unsigned char>(rest[n]) >= 0x80 ||
                               (c >= '0' && c <= '9' && rest[n] == '.'))) {
      ++n;
    }
  } else if (c == '$') {
    while (n < rest.size() && is_word_char(static_cast<unsigned char>(rest[n]))) ++n;
  } else if (c == '`') {
    const size_t close = rest.find('`', 1);
    n = close == std::string_view::npos ? rest.size() : close + 1;
  } else if (c == '\'' || c == '"') {
    const size_t close = closing_quote(rest);
    n = close == std::string_view::npos ? rest.size() : close + 1;
  } else {
    static constexpr std::array<std::string_view, 13> kOperators = {
        "->", "<-", "<>", "<=", ">=", "=~", "==", "!=", "..", "&&", "||", "+=", "::"};
    for (std::string_view op : kOperators) {
      if (rest.substr(0, 2) == op) n = 2;
    }
  }
  n = std::min(n, rest.size());
  // A token ends at its line's end: a string left open runs no further.
  for (size_t i = 1; i < n; ++i) {
    if (rest[i] == '\n' || rest[i] == '\r') {
      n = i;
      break;
    }
  }
  return pos + n;
}

std::string_view token_at(std::string_view text, size_t pos) {
  if (pos >= text.size()) return {};
  const std::string_view rest = text.substr(pos);
  size_t n = token_end(text, pos) - pos;
  if (n > kMaxToken) {
    // Cut at a character boundary.
    n = kMaxToken;
    while (n > 1 && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80) --n;
  }
  return rest.substr(0, n);
}

std::string describe_failure_readably(std::string_view text, size_t pos,
                                      const std::vector<Rule>& expected,
                                      const std::vector<Rule>& unexpected) {
  const std::string_view token = token_at(text, pos);
  std::string out;
  // Room for the usual message at once, rather than growing into it.
  out.reserve(256);
  if (token.empty()) {
    out = "unexpected end of query";
  } else if (token[0] == '\n' || token[0] == '\r') {
    out = "unexpected line break";
  } else {
    const bool string = token[0] == '\'' || token[0] == '"';
    const bool unclosed = string && closing_quote(text.substr(pos)) == std::string_view::npos;
    if (unclosed) {
      out = "unexpected string starting ";
    } else {
      out = string ? "unexpected string " : "unexpected '";
    }
    out += token;
    if (token.size() == kMaxToken && pos + token.size() < text.size()) out += "...";
    if (!string) out += '\'';
    if (unclosed) out += ", with no closing quote";
    const bool name_expected =
        std::find(expected.begin(), expected.end(), Rule::variable) != expected.end();
    const bool reserved =
        std::any_of(kExtendedReserved.begin(), kExtendedReserved.end(),
                    [&](std::string_view word) { return same_word(token, word); });
    if (std::find(unexpected.begin(), unexpected.end(), Rule::keyword) != unexpected.end() ||
        (name_expected && reserved)) {
      out += ", a reserved word (write it in backticks to use it as a name)";
    }
  }

  // The items are the readings' own words, but for the clause phrase,
  // which is built once they are all known.
  std::vector<std::string_view> items;
  items.reserve(expected.size() + 3);
  std::vector<std::string_view> clause_keywords;
  std::string clause_item;
  size_t clause_slot = SIZE_MAX;
  bool operators = false, expressions = false, end = false;
  auto add = [&items](std::string_view item) {
    if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
  };
  static constexpr std::string_view kQueryStarts[] = {"MATCH", "CREATE", "WITH", "RETURN"};
  for (Rule rule : expected) {
    const Reading r = reading_of(rule);
    switch (r.group) {
      case Group::kNone:
        break;
      case Group::kPhrase:
        add(r.text);
        break;
      case Group::kClause:
        if (clause_slot == SIZE_MAX) {
          clause_slot = items.size();
          items.emplace_back();  // filled in below
        }
        for (std::string_view keyword : r.text == kAnyClause
                                            ? std::span<const std::string_view>(kQueryStarts)
                                            : std::span<const std::string_view>(&r.text, 1)) {
          if (std::find(clause_keywords.begin(), clause_keywords.end(), keyword) ==
              clause_keywords.end()) {
            clause_keywords.push_back(keyword);
          }
        }
        break;
      case Group::kOperator:
        operators = true;
        break;
      case Group::kExpression:
        expressions = true;
        break;
      case Group::kEnd:
        end = true;
        break;
    }
  }
  if (clause_slot != SIZE_MAX) {
    clause_item = clause_phrase(clause_keywords);
    items[clause_slot] = clause_item;
  }
  if (expressions) add("an expression");
  if (operators) add("an operator");
  // What continues the query comes first; another UNION branch and the end
  // of the query last.
  const auto union_item = std::find(items.begin(), items.end(), "'UNION'");
  if (union_item != items.end()) std::rotate(union_item, union_item + 1, items.end());
  if (clause_slot != SIZE_MAX && clause_slot > 0) {
    const auto clause_at = std::find(items.begin(), items.end(), clause_item);
    std::rotate(items.begin(), clause_at, clause_at + 1);
  }
  if (end) add("the end of the query");
  if (!items.empty()) {
    out += "; expected ";
    append_alternatives(out, items);
  }
  const std::string help = hint(text, pos, token, expected);
  if (!help.empty()) {
    out += "; ";
    out += help;
  }
  return out;
}

}  // namespace quorvane
