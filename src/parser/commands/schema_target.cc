// What a constraint or index is for: the pattern after FOR and the keys
// after REQUIRE or ON.
#include "parser/commands/command_reader.h"
#include "parser/commands/commands.h"

namespace quorvane {

namespace {

// `:L`, `:A|B` or nothing, as `count` allows.
bool read_labels(CommandReader& r, LabelCount count, bool relationship, SchemaTarget& out) {
  const char* what = relationship ? "a relationship type such as ':KNOWS'"
                                  : "a label such as ':Person'";
  if (count == LabelCount::None) return true;
  if (!r.accept(':')) return r.fail(what);
  do {
    std::optional<CommandName> label = r.name();
    if (!label) return r.fail(relationship ? "a relationship type" : "a label");
    out.labels.push_back(std::move(*label));
  } while (count == LabelCount::Several && r.accept('|'));
  return true;
}

bool read_variable(CommandReader& r, SchemaTarget& out) {
  std::optional<CommandName> variable = r.name();
  if (!variable) return r.fail("a variable such as 'n'");
  out.variable = std::move(*variable);
  return true;
}

bool read_node(CommandReader& r, LabelCount count, SchemaTarget& out) {
  return read_variable(r, out) && read_labels(r, count, false, out) &&
         (r.accept(')') || r.fail("')'"));
}

// `()-[r:T]-()` with either arrow, or none.
bool read_relationship(CommandReader& r, LabelCount count, SchemaTarget& out) {
  out.relationship = true;
  if (!r.accept(')')) return r.fail("')': a relationship constraint or index is drawn ()-[r:T]-()");
  const bool incoming = r.accept_text("<-");
  if (!incoming && !r.accept('-')) return r.fail("'-['");
  if (!r.accept('[')) return r.fail("'['");
  if (!read_variable(r, out) || !read_labels(r, count, true, out)) return false;
  if (!r.accept(']')) return r.fail("']'");
  if (!(incoming ? r.accept('-') : (r.accept_text("->") || r.accept('-')))) {
    return r.fail(incoming ? "'-'" : "'-' or '->'");
  }
  if (!r.accept('(') || !r.accept(')')) return r.fail("'()'");
  return true;
}

}  // namespace

bool read_schema_pattern(CommandReader& r, LabelCount count, SchemaTarget& out) {
  if (!r.accept('(')) return r.fail("'(' starting a pattern such as (n:Person)");
  if (r.peek(')')) return read_relationship(r, count, out);
  return read_node(r, count, out);
}

bool read_property(CommandReader& r, SchemaTarget& target) {
  const size_t at = r.pos();
  std::optional<CommandName> variable = r.name();
  if (!variable) return r.fail("a property such as '" + target.variable.name + ".name'");
  if (variable->name != target.variable.name) {
    return r.fail_at(at, "unexpected '" + variable->name + "'; expected '" +
                             target.variable.name + "', the variable the FOR pattern binds");
  }
  if (!r.accept('.')) return r.fail("'.' and a property key");
  std::optional<CommandName> key = r.name();
  if (!key) return r.fail("a property key");
  target.properties.push_back(std::move(*key));
  return true;
}

bool read_property_list(CommandReader& r, SchemaTarget& target) {
  if (!r.accept('(')) return read_property(r, target);
  do {
    if (!read_property(r, target)) return false;
  } while (r.accept(','));
  return r.accept(')') || r.fail("',' or ')'");
}

}  // namespace quorvane
