// Administration commands, read for their syntax: databases, aliases,
// users, roles, privileges and transactions. The grammar covers the common
// forms; privileges are read as their leading word, then any tokens up to
// ON, a target up to TO or FROM, and the roles.
#include <array>
#include <string>

#include "parser/commands/command_reader.h"
#include "parser/commands/commands.h"

namespace quorvane {

namespace {

bool name_into(CommandReader& r, AdminCommand& out, std::string_view what) {
  std::optional<CommandName> name = r.dotted_name();
  if (!name) return r.fail(what);
  out.names.push_back(std::move(*name));
  return true;
}

// `a, b, $c`.
bool names_into(CommandReader& r, AdminCommand& out, std::string_view what) {
  do {
    if (!name_into(r, out, what)) return false;
  } while (r.accept(','));
  return true;
}

bool password(CommandReader& r) {
  return r.string_or_parameter() || r.fail("a password in quotes or a parameter");
}

void if_not_exists(CommandReader& r) {
  r.keywords({"IF", "NOT", "EXISTS"});
}

void if_exists(CommandReader& r) {
  r.keywords({"IF", "EXISTS"});
}

// `[WAIT [n [SEC|SECOND|SECONDS]] | NOWAIT]`.
void wait_option(CommandReader& r) {
  if (r.keyword("NOWAIT")) return;
  if (!r.keyword("WAIT")) return;
  if (r.integer()) (void)(r.keyword("SECONDS") || r.keyword("SECOND") || r.keyword("SEC"));
}

// `[OPTIONS map]` that may be followed by WAIT: the map is read up to its
// closing brace by the query parser.
bool trailing_options(CommandReader& r) {
  Nullable<Expr> options;
  if (!read_options(r, options)) return false;
  wait_option(r);
  return true;
}

// `n PRIMARIES [m SECONDARIES]` after TOPOLOGY.
bool topology_counts(CommandReader& r) {
  bool any = false;
  while (r.integer()) {
    any = true;
    if (!(r.keyword("PRIMARIES") || r.keyword("PRIMARY") || r.keyword("SECONDARIES") ||
          r.keyword("SECONDARY"))) {
      return r.fail("PRIMARIES or SECONDARIES");
    }
  }
  return any || r.fail("a number of primaries, such as 1 PRIMARY");
}

bool topology(CommandReader& r) {
  return !r.keyword("TOPOLOGY") || topology_counts(r);
}

bool create_database(CommandReader& r, AdminCommand& out) {
  if (!name_into(r, out, "the name of the database")) return false;
  if_not_exists(r);
  return topology(r) && trailing_options(r);
}

bool alter_database(CommandReader& r, AdminCommand& out) {
  if (!name_into(r, out, "the name of the database")) return false;
  if_exists(r);
  bool any = false;
  for (;;) {
    if (r.keywords({"SET", "ACCESS", "READ"})) {
      if (!r.keyword("ONLY") && !r.keyword("WRITE")) return r.fail("ONLY or WRITE");
    } else if (r.keywords({"SET", "TOPOLOGY"})) {
      if (!topology_counts(r)) return false;
    } else if (r.keywords({"SET", "OPTION"})) {
      if (!r.name() || !r.any_token()) return r.fail("an option and its value");
    } else if (r.keywords({"REMOVE", "OPTION"})) {
      if (!r.name()) return r.fail("an option");
    } else {
      break;
    }
    any = true;
  }
  if (!any) return r.fail("SET ACCESS, SET TOPOLOGY, SET OPTION or REMOVE OPTION");
  wait_option(r);
  return true;
}

bool drop_database(CommandReader& r, AdminCommand& out) {
  if (!name_into(r, out, "the name of the database")) return false;
  if_exists(r);
  if (r.keyword("CASCADE") || r.keyword("RESTRICT")) {
    if (!r.keyword("ALIASES") && !r.keyword("ALIAS")) return r.fail("ALIASES");
  }
  if ((r.keyword("DUMP") || r.keyword("DESTROY")) && !r.keyword("DATA")) return r.fail("DATA");
  wait_option(r);
  return true;
}

// What a remote alias or an ALTER ALIAS may set.
bool alias_settings(CommandReader& r, bool alter) {
  for (;;) {
    if (r.keyword("AT") || r.keyword("USER") || (alter && r.keyword("TARGET"))) {
      if (!r.any_token()) return r.fail("a value");
      if (alter && r.keyword("AT") && !r.any_token()) return r.fail("a URL");
    } else if (r.keyword("PASSWORD")) {
      if (!password(r)) return false;
    } else if (r.keyword("DRIVER") || r.keyword("PROPERTIES")) {
      if (!r.accept('{')) return r.fail("a map");
      int depth = 1;
      while (depth > 0 && r.any_token()) {
        const char c = r.text()[r.last_end() - 1];
        depth += c == '{' ? 1 : c == '}' ? -1 : 0;
      }
      if (depth > 0) return r.fail("'}'");
    } else {
      return true;
    }
  }
}

bool create_alias(CommandReader& r, AdminCommand& out) {
  if (!name_into(r, out, "the name of the alias")) return false;
  if_not_exists(r);
  if (!r.keywords({"FOR", "DATABASE"})) return r.fail("FOR DATABASE");
  return name_into(r, out, "the database the alias stands for") && alias_settings(r, false);
}

bool user_settings(CommandReader& r, bool alter) {
  bool any = false;
  for (;;) {
    if (r.keyword("SET")) {
      if (r.keyword("STATUS")) {
        if (!r.keyword("ACTIVE") && !r.keyword("SUSPENDED")) return r.fail("ACTIVE or SUSPENDED");
      } else if (r.keywords({"HOME", "DATABASE"})) {
        if (!r.dotted_name()) return r.fail("the name of a database");
      } else {
        const bool encoding = r.keyword("PLAINTEXT") || r.keyword("ENCRYPTED");
        if (!r.keyword("PASSWORD")) return r.fail("PASSWORD, STATUS or HOME DATABASE");
        if ((encoding || !r.peek_keyword("CHANGE")) && !password(r)) return false;
        if (r.keyword("CHANGE")) {
          r.keyword("NOT");
          if (!r.keyword("REQUIRED")) return r.fail("REQUIRED");
        }
      }
    } else if (alter && r.keywords({"REMOVE", "HOME", "DATABASE"})) {
    } else {
      return any || !alter || r.fail("SET or REMOVE HOME DATABASE");
    }
    any = true;
  }
}

bool create_user(CommandReader& r, AdminCommand& out) {
  if (!name_into(r, out, "the name of the user")) return false;
  if_not_exists(r);
  if (!r.peek_keyword("SET")) return r.fail("SET PASSWORD");
  return user_settings(r, false);
}

bool create_role(CommandReader& r, AdminCommand& out) {
  if (!name_into(r, out, "the name of the role")) return false;
  if_not_exists(r);
  if (r.keyword("AS") && (!r.keywords({"COPY", "OF"}) || !name_into(r, out, "a role"))) {
    return r.fail("COPY OF and a role");
  }
  return true;
}

// CREATE [OR REPLACE] ...
bool create_command(CommandReader& r, AdminCommand& out) {
  r.keywords({"OR", "REPLACE"});
  if (r.keyword("DATABASE")) {
    out.action += " DATABASE";
    return create_database(r, out);
  }
  if (r.keywords({"COMPOSITE", "DATABASE"})) {
    out.action += " COMPOSITE DATABASE";
    return create_database(r, out);
  }
  if (r.keyword("ALIAS")) {
    out.action += " ALIAS";
    return create_alias(r, out);
  }
  if (r.keyword("USER")) {
    out.action += " USER";
    return create_user(r, out);
  }
  if (r.keyword("ROLE")) {
    out.action += " ROLE";
    return create_role(r, out);
  }
  return r.fail("DATABASE, ALIAS, USER, ROLE, CONSTRAINT or INDEX");
}

bool drop_command(CommandReader& r, AdminCommand& out) {
  if (r.keyword("DATABASE") || r.keywords({"COMPOSITE", "DATABASE"})) {
    out.action += " DATABASE";
    return drop_database(r, out);
  }
  const bool alias = r.keyword("ALIAS");
  const bool user = !alias && r.keyword("USER");
  const bool role = !alias && !user && r.keyword("ROLE");
  if (!alias && !user && !role) return r.fail("DATABASE, ALIAS, USER, ROLE, CONSTRAINT or INDEX");
  out.action += alias ? " ALIAS" : user ? " USER" : " ROLE";
  if (!name_into(r, out, "a name")) return false;
  if_exists(r);
  if (alias && !r.keywords({"FOR", "DATABASE"})) return r.fail("FOR DATABASE");
  return true;
}

bool alter_command(CommandReader& r, AdminCommand& out) {
  if (r.keyword("DATABASE")) {
    out.action += " DATABASE";
    return alter_database(r, out);
  }
  if (r.keyword("ALIAS")) {
    out.action += " ALIAS";
    if (!name_into(r, out, "the name of the alias")) return false;
    if_exists(r);
    if (!r.keywords({"SET", "DATABASE"})) return r.fail("SET DATABASE");
    return alias_settings(r, true);
  }
  if (r.keywords({"CURRENT", "USER"})) {
    out.action += " CURRENT USER";
    if (!r.keywords({"SET", "PASSWORD", "FROM"})) return r.fail("SET PASSWORD FROM");
    return password(r) && (r.keyword("TO") || r.fail("TO")) && password(r);
  }
  if (r.keyword("USER")) {
    out.action += " USER";
    if (!name_into(r, out, "the name of the user")) return false;
    if_exists(r);
    return user_settings(r, true);
  }
  return r.fail("DATABASE, ALIAS, USER or CURRENT USER");
}

constexpr std::array<std::string_view, 34> kPrivilegeWords = {
    "ACCESS",      "START", "STOP",     "CREATE",     "DROP",        "SHOW",   "TERMINATE",
    "READ",        "MATCH", "TRAVERSE", "WRITE",      "SET",         "REMOVE", "DELETE",
    "MERGE",       "ALL",   "EXECUTE",  "LOAD",       "ALTER",       "RENAME", "ASSIGN",
    "IMPERSONATE", "INDEX", "INDEXES",  "CONSTRAINT", "CONSTRAINTS", "NAME",   "TRANSACTION",
    "DATABASE",    "USER",  "ROLE",     "ALIAS",      "PRIVILEGE",   "SERVER"};

constexpr std::array<std::string_view, 7> kTargetWords = {
    "GRAPH", "GRAPHS", "DATABASE", "DATABASES", "DEFAULT", "HOME", "DBMS"};

template <size_t N>
bool one_of(const std::string& word, const std::array<std::string_view, N>& words) {
  for (std::string_view w : words) {
    if (w == word) return true;
  }
  return false;
}

// Tokens up to the keyword `stop`, at least one.
bool tokens_until(CommandReader& r, std::string_view stop, std::string_view what) {
  const size_t at = r.pos();
  while (!r.at_end() && !r.peek_keyword(stop)) r.any_token();
  return (r.pos() != at && !r.at_end()) || r.fail(what);
}

// GRANT, DENY and REVOKE past their leading words.
bool privilege_command(CommandReader& r, AdminCommand& out, bool revoke) {
  r.keyword("IMMUTABLE");
  const std::string_view to = revoke ? "FROM" : "TO";
  const size_t at = r.pos();
  if ((r.keyword("ROLES") || r.keyword("ROLE")) && !r.peek_keyword("MANAGEMENT")) {
    out.action += " ROLE";
    if (!names_into(r, out, "the name of a role")) return false;
    if (!r.keyword(to)) return r.fail(std::string(to));
    return names_into(r, out, "the name of a user");
  }
  r.reset(at);
  if (!one_of(r.peek_word(), kPrivilegeWords)) {
    return r.fail("a privilege such as ACCESS, MATCH, TRAVERSE, READ, WRITE or ROLE");
  }
  if (!tokens_until(r, "ON", "ON and what the privilege is on")) return false;
  r.keyword("ON");
  if (!one_of(r.peek_word(), kTargetWords)) return r.fail("GRAPH, DATABASE, HOME or DBMS");
  if (!tokens_until(r, to, to == "TO" ? "TO and the roles" : "FROM and the roles")) return false;
  r.keyword(to);
  return names_into(r, out, "the name of a role");
}

bool terminate_command(CommandReader& r, AdminCommand& out) {
  if (!r.keyword("TRANSACTIONS") && !r.keyword("TRANSACTION")) return r.fail("TRANSACTIONS");
  do {
    std::optional<CommandName> id = r.string_or_parameter();
    if (!id) return r.fail("a transaction id in quotes or a parameter");
    out.names.push_back(std::move(*id));
  } while (r.accept(','));
  ShowCommand tail;
  return read_show_tail(r, tail);
}

}  // namespace

bool read_admin(CommandReader& r, size_t begin, AdminCommand& out) {
  const std::string verb = r.peek_word();
  r.keyword(verb);
  out.action = verb;
  bool ok = false;
  if (verb == "CREATE") {
    ok = create_command(r, out);
  } else if (verb == "DROP") {
    ok = drop_command(r, out);
  } else if (verb == "ALTER") {
    ok = alter_command(r, out);
  } else if (verb == "START" || verb == "STOP") {
    out.action += " DATABASE";
    ok = (r.keyword("DATABASE") || r.fail("DATABASE")) &&
         name_into(r, out, "the name of the database");
    wait_option(r);
  } else if (verb == "RENAME") {
    const bool role = r.keyword("ROLE");
    if (role || r.keyword("USER")) {
      out.action += role ? " ROLE" : " USER";
      ok = name_into(r, out, "a name");
      if_exists(r);
      ok = ok && (r.keyword("TO") || r.fail("TO")) && name_into(r, out, "the new name");
    } else {
      ok = r.fail("ROLE or USER");
    }
  } else if (verb == "GRANT" || verb == "DENY") {
    ok = privilege_command(r, out, false);
  } else if (verb == "REVOKE") {
    (void)(r.keyword("GRANT") || r.keyword("DENY"));
    ok = privilege_command(r, out, true);
  } else if (verb == "TERMINATE") {
    out.action += " TRANSACTIONS";
    ok = terminate_command(r, out);
  } else {
    ok = r.fail("a command");
  }
  out.span = span_of(begin, r.last_end());
  return ok && !r.failed();
}

}  // namespace quorvane
