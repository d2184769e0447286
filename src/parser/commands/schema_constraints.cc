// CREATE CONSTRAINT [name] [IF NOT EXISTS] FOR pattern REQUIRE keys IS form
// [OPTIONS map].
#include <array>

#include "parser/commands/command_reader.h"
#include "parser/commands/commands.h"

namespace quorvane {

namespace {

constexpr std::string_view kForms =
    "UNIQUE, NODE KEY, RELATIONSHIP KEY, NOT NULL or a property type such as ':: INTEGER'";

// The words a property type is made of; `LIST<INTEGER NOT NULL>` and
// `STRING | INTEGER` are read word by word.
constexpr std::array<std::string_view, 28> kTypeWords = {
    "BOOLEAN", "BOOL",     "STRING",  "VARCHAR",  "INTEGER", "INT",     "SIGNED",
    "FLOAT",   "DATE",     "LOCAL",   "ZONED",    "TIME",    "DATETIME", "DURATION",
    "POINT",   "LIST",     "ARRAY",   "WITH",     "WITHOUT", "TIMEZONE", "NOT",
    "NULL",    "ANY",      "VALUE",   "NOTHING",  "MAP",     "PROPERTY", "OF"};

bool type_word(const std::string& word) {
  for (std::string_view w : kTypeWords) {
    if (w == word) return true;
  }
  return false;
}

// A property type after `::` or TYPED, normalised the way type predicates
// are: upper-case, single spaces, none around '<' and '|' or before '>'.
bool read_property_type(CommandReader& r, std::string& out) {
  int depth = 0;
  bool any = false;
  while (!r.at_end() && !r.peek(';') && !r.peek_keyword("OPTIONS")) {
    if (r.accept('<')) {
      ++depth;
      out += '<';
    } else if (depth > 0 && r.accept('>')) {
      --depth;
      out += '>';
    } else if (r.accept('|')) {
      out += '|';
    } else {
      const std::string word = r.peek_word();
      if (!type_word(word)) return r.fail("a property type such as INTEGER, STRING or LIST<FLOAT>");
      r.keyword(word);
      if (!out.empty() && out.back() != '<' && out.back() != '|' && out.back() != ' ') {
        out += ' ';
      }
      out += word;
    }
    any = true;
  }
  if (!any) return r.fail("a property type such as INTEGER");
  if (depth != 0) return r.fail("'>'");
  return true;
}

// After IS: the constraint's form.
bool read_form(CommandReader& r, SchemaCommand& out) {
  const bool relationship = out.target.relationship;
  const size_t at = r.pos();
  const bool node = r.keyword("NODE");
  const bool rel = !node && (r.keyword("RELATIONSHIP") || r.keyword("REL"));
  if ((node && relationship) || (rel && !relationship)) {
    return r.fail_at(at, std::string("unexpected '") + (node ? "NODE" : "RELATIONSHIP") +
                             "'; the FOR pattern is a " + (relationship ? "relationship" : "node"));
  }
  if (r.keyword("UNIQUE")) {
    out.form = "UNIQUE";
  } else if (r.keyword("KEY")) {
    out.form = "KEY";
  } else if (node || rel) {
    return r.fail("UNIQUE or KEY");
  } else if (r.keywords({"NOT", "NULL"})) {
    out.form = "NOT NULL";
  } else if (r.accept_text("::") || r.keyword("TYPED")) {
    out.form = ":: ";
    if (!read_property_type(r, out.form)) return false;
  } else {
    return r.fail(kForms);
  }
  if (out.form.front() != 'U' && out.form != "KEY" && out.target.properties.size() > 1) {
    return r.fail_at(at, "a " + out.form + " constraint covers one property, not a list");
  }
  return true;
}

}  // namespace

bool read_create_constraint(CommandReader& r, size_t begin, SchemaCommand& out) {
  out.kind = SchemaCommand::Kind::CreateConstraint;
  if (std::optional<CommandName> name = r.name({"FOR", "IF", "ON"})) out.name = std::move(*name);
  out.if_exists = r.keywords({"IF", "NOT", "EXISTS"});
  if (!r.keyword("FOR")) return r.fail(out.if_exists ? "FOR" : "a name, IF NOT EXISTS or FOR");
  if (!read_schema_pattern(r, LabelCount::One, out.target)) return false;
  if (!r.keyword("REQUIRE")) return r.fail("REQUIRE");
  if (!read_property_list(r, out.target)) return false;
  if (!r.keyword("IS")) return r.fail("IS");
  if (!read_form(r, out)) return false;
  out.span = span_of(begin, r.last_end());
  if (!read_options(r, out.options)) return false;
  out.span = span_of(begin, r.last_end());
  return true;
}

}  // namespace quorvane
