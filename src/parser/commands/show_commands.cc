// SHOW [filter] INDEXES | CONSTRAINTS | PROCEDURES | FUNCTIONS | TRANSACTIONS
// | SETTINGS | DATABASES | USERS | ROLES | PRIVILEGES | ALIASES | SERVERS,
// each with what may follow it, then `YIELD ...` or `WHERE ...`.
#include <array>
#include <string>

#include "parser/commands/command_reader.h"
#include "parser/commands/commands.h"

namespace quorvane {

namespace {

struct Shown {
  std::string_view singular;
  std::string_view plural;
  // The words that may stand before it, space-separated; empty: none.
  std::string_view filters;
};

constexpr std::array<Shown, 12> kShown = {{
    {"INDEX", "INDEXES", " ALL RANGE TEXT POINT LOOKUP FULLTEXT VECTOR "},
    {"CONSTRAINT", "CONSTRAINTS",
     " ALL NODE RELATIONSHIP REL UNIQUE UNIQUENESS KEY EXIST EXISTENCE PROPERTY TYPE "},
    {"PROCEDURE", "PROCEDURES", " ALL BUILT IN USER DEFINED "},
    {"FUNCTION", "FUNCTIONS", " ALL BUILT IN USER DEFINED "},
    {"TRANSACTION", "TRANSACTIONS", ""},
    {"SETTING", "SETTINGS", ""},
    {"DATABASE", "DATABASES", " DEFAULT HOME "},
    {"USER", "USERS", " CURRENT "},
    {"ROLE", "ROLES", " ALL POPULATED "},
    {"PRIVILEGE", "PRIVILEGES", " ALL "},
    {"ALIAS", "ALIASES", ""},
    {"SERVER", "SERVERS", ""},
}};

constexpr std::string_view kWhat =
    "what to show, such as INDEXES, CONSTRAINTS, PROCEDURES, FUNCTIONS, TRANSACTIONS, SETTINGS, "
    "DATABASES, USERS, ROLES or PRIVILEGES";

const Shown* shown_kind(CommandReader& r) {
  // `USER DEFINED` and `BUILT IN` are filters, not what is shown.
  if (r.peek_keyword("USER")) {
    const size_t at = r.pos();
    r.keyword("USER");
    const bool defined = r.peek_keyword("DEFINED");
    r.reset(at);
    if (defined) return nullptr;
  }
  for (const Shown& shown : kShown) {
    if (r.keyword(shown.plural) || r.keyword(shown.singular)) return &shown;
  }
  return nullptr;
}

bool allowed_filter(const Shown& shown, std::string_view word) {
  // Each filter word stands between spaces.
  for (size_t at = shown.filters.find(word); at != std::string_view::npos;
       at = shown.filters.find(word, at + 1)) {
    if (shown.filters[at - 1] == ' ' && shown.filters[at + word.size()] == ' ') return true;
  }
  return false;
}

// `'a', 'b'` or `$ids` after TRANSACTIONS or SETTINGS.
void read_string_list(CommandReader& r) {
  if (!r.string_or_parameter()) return;
  while (r.accept(',')) {
    if (!r.string_or_parameter()) {
      r.fail("a string or a parameter");
      return;
    }
  }
}

// `AS [REVOKE] COMMAND[S]` after PRIVILEGES.
bool read_as_commands(CommandReader& r) {
  if (!r.keyword("AS")) return true;
  r.keyword("REVOKE");
  return r.keyword("COMMANDS") || r.keyword("COMMAND") || r.fail("COMMANDS");
}

// What may follow the shown kind.
bool read_kind_suffix(CommandReader& r, const Shown& shown, ShowCommand& out) {
  const std::string_view what = shown.plural;
  if (what == "PROCEDURES" || what == "FUNCTIONS") {
    if (r.keyword("EXECUTABLE") && r.keyword("BY") && !r.keywords({"CURRENT", "USER"}) &&
        !r.name()) {
      return r.fail("CURRENT USER or a user name");
    }
  } else if (what == "TRANSACTIONS" || what == "SETTINGS") {
    read_string_list(r);
  } else if (what == "DATABASES" || what == "ALIASES") {
    if (!r.peek_keyword("YIELD") && !r.peek_keyword("WHERE") && !r.peek_keyword("FOR")) {
      if (std::optional<CommandName> name = r.dotted_name()) out.name = std::move(*name);
    }
    if (what == "ALIASES" && r.keyword("FOR") && !r.keyword("DATABASES") &&
        !r.keyword("DATABASE")) {
      return r.fail("DATABASE");
    }
  } else if (what == "USERS" || what == "ROLES") {
    // `SHOW USER alice PRIVILEGES`, `SHOW ROLES WITH USERS`.
    if (!r.peek_keyword("PRIVILEGES") && !r.peek_keyword("WITH")) {
      if (std::optional<CommandName> name = r.name({"YIELD", "WHERE"})) out.name = std::move(*name);
    }
    if (r.keyword("PRIVILEGES") || r.keyword("PRIVILEGE")) {
      out.what = "PRIVILEGES";
      return read_as_commands(r);
    }
    if (r.keyword("WITH") && !r.keyword("USERS") && !r.keyword("AUTH")) {
      return r.fail(what == "ROLES" ? "USERS" : "AUTH");
    }
  } else if (what == "PRIVILEGES") {
    return read_as_commands(r);
  }
  return !r.failed();
}

}  // namespace

bool read_show(CommandReader& r, size_t begin, ShowCommand& out) {
  std::vector<std::pair<std::string, size_t>> filters;
  const Shown* shown = nullptr;
  while (!r.at_end() && (shown = shown_kind(r)) == nullptr) {
    const std::string word = r.peek_word();
    if (word.empty()) break;
    filters.emplace_back(word, r.pos());
    r.keyword(word);
  }
  if (shown == nullptr) {
    if (!filters.empty()) r.reset(filters.back().second);
    return r.fail(kWhat);
  }
  for (const auto& [word, at] : filters) {
    if (!allowed_filter(*shown, word)) {
      return r.fail_at(at, "unexpected '" + word + "'; " + std::string(shown->plural) +
                               " cannot be shown by " + word);
    }
    if (!out.filter.empty()) out.filter += ' ';
    out.filter += word;
  }
  out.what = std::string(shown->plural);
  if (!read_kind_suffix(r, *shown, out)) return false;
  out.span = span_of(begin, r.last_end());
  if (!read_show_tail(r, out)) return false;
  out.span = span_of(begin, r.last_end());
  return true;
}

}  // namespace quorvane
