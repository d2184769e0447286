// Which command a text holds: the dispatch on its leading words.
#include "parser/commands/commands.h"

#include <array>
#include <cstdint>

#include "parser/commands/command_reader.h"
#include "parser/lexical.h"

namespace quorvane {

namespace {

// Words after CREATE that make a command rather than a CREATE clause, which
// is always followed by a pattern.
constexpr std::array<std::string_view, 15> kCreateCommands = {
    "CONSTRAINT", "INDEX",    "RANGE",     "TEXT",  "POINT", "LOOKUP", "FULLTEXT", "VECTOR",
    "BTREE",      "DATABASE", "COMPOSITE", "ALIAS", "USER",  "ROLE",   "OR"};

constexpr std::array<std::string_view, 14> kCommandWords = {
    "USE",  "DROP",   "ALTER",     "START",  "STOP",    "SHOW",    "GRANT",
    "DENY", "REVOKE", "TERMINATE", "RENAME", "EXPLAIN", "PROFILE", "CYPHER"};

// Whether one of `words` (upper case, all starting with a letter) stands
// whole at `pos`. Every query is asked this, so only the words as long as
// the one there are compared, each first by its first letter (`c & 0xDF`
// upper-cases a letter and makes nothing else one).
template <size_t N>
bool word_among(std::string_view text, size_t pos, const std::array<std::string_view, N>& words) {
  const size_t length = name_length(text, pos);
  if (length == 0) return false;
  const char first = static_cast<char>(text[pos] & 0xDF);
  for (std::string_view word : words) {
    if (word.size() == length && word[0] == first && starts_with_keyword(text, pos, word)) {
      return true;
    }
  }
  return false;
}

// The letters the command words and CREATE start with, as bits from 'A':
// most queries start with another (MATCH, MERGE, WITH, OPTIONAL).
constexpr uint32_t kInitials = [] {
  uint32_t bits = 1u << ('C' - 'A');
  for (std::string_view word : kCommandWords) bits |= 1u << (word[0] - 'A');
  return bits;
}();

template <size_t N>
bool any_keyword(const CommandReader& r, const std::array<std::string_view, N>& words) {
  return word_among(r.text(), r.pos(), words);
}

constexpr std::array<std::string_view, 6> kIndexKinds = {"RANGE",  "TEXT",     "POINT",
                                                         "LOOKUP", "FULLTEXT", "VECTOR"};

// Past CREATE: a constraint, an index or an administration command.
bool read_create(CommandReader& r, size_t begin, CypherQuery& out) {
  if (r.keyword("CONSTRAINT")) {
    return read_create_constraint(r, begin, out.emplace<SchemaCommand>());
  }
  for (std::string_view kind : kIndexKinds) {
    if (r.keywords({kind, "INDEX"})) {
      return read_create_index(r, begin, std::string(kind), out.emplace<SchemaCommand>());
    }
  }
  if (r.keyword("INDEX")) return read_create_index(r, begin, "RANGE", out.emplace<SchemaCommand>());
  if (any_keyword(r, kIndexKinds)) {
    r.keyword(r.peek_word());
    return r.fail("INDEX");
  }
  r.reset(begin);
  return read_admin(r, begin, out.emplace<AdminCommand>());
}

}  // namespace

bool starts_command(std::string_view text) {
  // Read without a CommandReader: this runs before every query.
  const size_t first = skip_ignorable(text, 0);
  if (first >= text.size()) return false;
  const unsigned letter = static_cast<unsigned>((text[first] & 0xDF) - 'A');
  if (letter >= 26 || ((kInitials >> letter) & 1) == 0) return false;
  if (word_among(text, first, kCommandWords)) return true;
  return name_length(text, first) == 6 && starts_with_keyword(text, first, "CREATE") &&
         word_among(text, skip_ignorable(text, first + 6), kCreateCommands);
}

Result<CypherQuery> parse_command(std::string_view text) {
  CommandReader r(text);
  const size_t begin = r.pos();
  if (r.keyword("USE")) return parse_after_use(text);
  if (r.peek_keyword("EXPLAIN") || r.peek_keyword("PROFILE") || r.peek_keyword("CYPHER")) {
    return parse_after_query_options(text);
  }
  CypherQuery out(std::in_place_index<0>);
  bool ok = false;
  if (r.keyword("CREATE")) {
    ok = read_create(r, begin, out);
  } else if (r.keyword("DROP")) {
    if (r.keyword("CONSTRAINT")) {
      ok = read_drop_schema(r, begin, SchemaCommand::Kind::DropConstraint,
                            out.emplace<SchemaCommand>());
    } else if (r.keyword("INDEX")) {
      ok = read_drop_schema(r, begin, SchemaCommand::Kind::DropIndex, out.emplace<SchemaCommand>());
    } else {
      r.reset(begin);
      ok = read_admin(r, begin, out.emplace<AdminCommand>());
    }
  } else if (r.keyword("SHOW")) {
    ok = read_show(r, begin, out.emplace<ShowCommand>());
  } else {
    ok = read_admin(r, begin, out.emplace<AdminCommand>());
  }
  if (ok && !r.at_statement_end()) ok = r.fail("the end of the command");
  if (!ok) return r.take_error();
  return out;
}

}  // namespace quorvane
