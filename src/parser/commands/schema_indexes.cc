// CREATE [RANGE|TEXT|POINT|LOOKUP|FULLTEXT|VECTOR] INDEX [name]
// [IF NOT EXISTS] FOR pattern ON ... [OPTIONS map], and the DROP of a
// constraint or index by name.
#include "parser/commands/command_reader.h"
#include "parser/commands/commands.h"

namespace quorvane {

namespace {

// LOOKUP: `ON EACH labels(n)` for nodes, `ON [EACH] type(r)` for
// relationships.
bool read_lookup_function(CommandReader& r, SchemaTarget& target) {
  const bool each = r.keyword("EACH");
  const char* function = target.relationship ? "TYPE" : "LABELS";
  if (!each && !target.relationship) return r.fail("EACH labels(" + target.variable.name + ")");
  if (!r.keyword(function)) {
    return r.fail(target.relationship ? "type(" + target.variable.name + ")"
                                      : "labels(" + target.variable.name + ")");
  }
  if (!r.accept('(')) return r.fail("'('");
  const size_t at = r.pos();
  std::optional<CommandName> variable = r.name();
  if (!variable || variable->name != target.variable.name) {
    r.reset(at);
    return r.fail("'" + target.variable.name + "', the variable the FOR pattern binds");
  }
  return r.accept(')') || r.fail("')'");
}

// FULLTEXT: `ON EACH [n.a, n.b]`.
bool read_fulltext_keys(CommandReader& r, SchemaTarget& target) {
  if (!r.keyword("EACH")) return r.fail("EACH [" + target.variable.name + ".property, ...]");
  if (!r.accept('[')) return r.fail("'['");
  do {
    if (!read_property(r, target)) return false;
  } while (r.accept(','));
  return r.accept(']') || r.fail("',' or ']'");
}

// The others: `ON (n.a[, n.b])`; only a range index takes several keys. A
// vector index may also name its one property bare: `ON n.embedding`.
bool read_index_keys(CommandReader& r, const std::string& kind, SchemaTarget& target) {
  if (kind == "VECTOR" && !r.peek('(')) return read_property(r, target);
  if (!r.accept('(')) return r.fail("'(' and the indexed property, such as (n.name)");
  do {
    if (!read_property(r, target)) return false;
  } while (kind == "RANGE" && r.accept(','));
  if (r.peek(',')) return r.fail("')': a " + kind + " index covers one property");
  return r.accept(')') || r.fail("',' or ')'");
}

}  // namespace

bool read_create_index(CommandReader& r, size_t begin, std::string kind, SchemaCommand& out) {
  out.kind = SchemaCommand::Kind::CreateIndex;
  out.form = std::move(kind);
  if (std::optional<CommandName> name = r.name({"FOR", "IF", "ON"})) out.name = std::move(*name);
  out.if_exists = r.keywords({"IF", "NOT", "EXISTS"});
  if (!r.keyword("FOR")) return r.fail(out.if_exists ? "FOR" : "a name, IF NOT EXISTS or FOR");
  const LabelCount count = out.form == "LOOKUP"     ? LabelCount::None
                           : out.form == "FULLTEXT" ? LabelCount::Several
                                                    : LabelCount::One;
  if (!read_schema_pattern(r, count, out.target)) return false;
  if (!r.keyword("ON")) return r.fail("ON");
  const bool keys_read = out.form == "LOOKUP"     ? read_lookup_function(r, out.target)
                         : out.form == "FULLTEXT" ? read_fulltext_keys(r, out.target)
                                                  : read_index_keys(r, out.form, out.target);
  if (!keys_read) return false;
  out.span = span_of(begin, r.last_end());
  if (!read_options(r, out.options)) return false;
  out.span = span_of(begin, r.last_end());
  return true;
}

bool read_drop_schema(CommandReader& r, size_t begin, SchemaCommand::Kind kind,
                      SchemaCommand& out) {
  out.kind = kind;
  std::optional<CommandName> name = r.name({"ON", "IF"});
  if (!name) name = r.string_or_parameter();
  if (!name) {
    return r.fail(kind == SchemaCommand::Kind::DropIndex ? "the name of the index"
                                                         : "the name of the constraint");
  }
  out.name = std::move(*name);
  out.if_exists = r.keywords({"IF", "EXISTS"});
  out.span = span_of(begin, r.last_end());
  return true;
}

}  // namespace quorvane
