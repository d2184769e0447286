// Schema and administration commands of the extended language: each family
// read into its tree with spans, and a near miss of each refused with a
// message that quotes the offending token.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "parser/commands/commands.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

Result<CypherQuery> extended(std::string_view text) {
  return parse(text, Language::Extended);
}

// The command a text parses to, by value: the parse result is often a
// temporary.
template <class T>
T command(const Result<CypherQuery>& parsed, std::string_view text) {
  EXPECT_TRUE(parsed.ok()) << text << "\n" << (parsed.ok() ? "" : parsed.error().message);
  if (!parsed.ok()) return T{};
  const T* found = std::get_if<T>(&parsed.value());
  EXPECT_NE(found, nullptr) << text;
  return found ? *found : T{};
}

std::string_view text_of(std::string_view text, Span span) {
  return text.substr(span.begin, span.end - span.begin);
}

// The one-line message of a refused text.
std::string summary_of(std::string_view text) {
  const Result<CypherQuery> parsed = extended(text);
  EXPECT_FALSE(parsed.ok()) << text;
  return parsed.ok() ? std::string() : parsed.error().summary;
}

TEST(SchemaCommands, UniqueConstraintWithNameAndIfNotExists) {
  const std::string_view text =
      "CREATE CONSTRAINT person_name IF NOT EXISTS FOR (p:Person) REQUIRE p.name IS UNIQUE";
  const Result<CypherQuery> parsed = extended(text);
  const auto c = command<SchemaCommand>(parsed, text);
  EXPECT_EQ(c.kind, SchemaCommand::Kind::CreateConstraint);
  EXPECT_EQ(c.name.name, "person_name");
  EXPECT_TRUE(c.if_exists);
  EXPECT_EQ(c.form, "UNIQUE");
  EXPECT_FALSE(c.target.relationship);
  EXPECT_EQ(text_of(text, c.target.variable.span), "p");
  ASSERT_EQ(c.target.labels.size(), 1u);
  EXPECT_EQ(text_of(text, c.target.labels[0].span), "Person");
  ASSERT_EQ(c.target.properties.size(), 1u);
  EXPECT_EQ(text_of(text, c.target.properties[0].span), "name");
  EXPECT_EQ(c.span, (Span{0, static_cast<uint32_t>(text.size())}));
}

TEST(SchemaCommands, UniqueConstraintMisspelt) {
  const std::string said = summary_of("CREATE CONSTRAINT FOR (p:Person) REQUIRE p.name IS UNIQE");
  EXPECT_THAT(said, StartsWith("unexpected 'UNIQE'; expected UNIQUE, NODE KEY"));
}

TEST(SchemaCommands, KeyConstraintOverSeveralProperties) {
  const std::string_view text =
      "create constraint for (p:Person) require (p.name, p.`born`) is node key";
  const auto c = command<SchemaCommand>(extended(text), text);
  EXPECT_EQ(c.form, "KEY");
  ASSERT_EQ(c.target.properties.size(), 2u);
  EXPECT_EQ(c.target.properties[1].name, "born");
  EXPECT_EQ(text_of(text, c.target.properties[1].span), "`born`");
}

TEST(SchemaCommands, NotNullCoversOnePropertyOnly) {
  EXPECT_TRUE(extended("CREATE CONSTRAINT FOR (p:Person) REQUIRE p.name IS NOT NULL").ok());
  EXPECT_THAT(summary_of("CREATE CONSTRAINT FOR (p:Person) REQUIRE (p.a, p.b) IS NOT NULL"),
              HasSubstr("covers one property"));
}

TEST(SchemaCommands, PropertyTypeIsNormalised) {
  const std::string_view text =
      "CREATE CONSTRAINT FOR (p:Person) REQUIRE p.scores IS :: list < integer  not null >";
  EXPECT_EQ(command<SchemaCommand>(extended(text), text).form, ":: LIST<INTEGER NOT NULL>");
  EXPECT_THAT(summary_of("CREATE CONSTRAINT FOR (p:Person) REQUIRE p.age IS :: NUMBER"),
              StartsWith("unexpected 'NUMBER'; expected a property type"));
}

TEST(SchemaCommands, RelationshipConstraintsTakeEitherArrow) {
  for (std::string_view text :
       {"CREATE CONSTRAINT FOR ()-[r:ACTED_IN]-() REQUIRE r.role IS RELATIONSHIP KEY",
        "CREATE CONSTRAINT FOR ()-[r:ACTED_IN]->() REQUIRE r.role IS UNIQUE",
        "CREATE CONSTRAINT FOR ()<-[r:ACTED_IN]-() REQUIRE r.role IS REL UNIQUE"}) {
    const auto c = command<SchemaCommand>(extended(text), text);
    EXPECT_TRUE(c.target.relationship) << text;
    ASSERT_EQ(c.target.labels.size(), 1u) << text;
    EXPECT_EQ(text_of(text, c.target.labels[0].span), "ACTED_IN");
  }
  EXPECT_THAT(summary_of("CREATE CONSTRAINT FOR ()-[r:ACTED_IN]-() REQUIRE r.role IS NODE KEY"),
              HasSubstr("the FOR pattern is a relationship"));
}

TEST(SchemaCommands, TheKeyMustUseThePatternsVariable) {
  EXPECT_EQ(summary_of("CREATE CONSTRAINT FOR (p:Person) REQUIRE q.name IS UNIQUE"),
            "unexpected 'q'; expected 'p', the variable the FOR pattern binds");
}

TEST(SchemaCommands, IndexKinds) {
  struct Case {
    std::string_view text;
    std::string_view form;
    size_t labels;
    size_t properties;
  };
  for (const Case& c : {
           Case{"CREATE INDEX FOR (p:Person) ON (p.name, p.born)", "RANGE", 1, 2},
           Case{"CREATE RANGE INDEX idx IF NOT EXISTS FOR (p:Person) ON (p.name)", "RANGE", 1, 1},
           Case{"CREATE TEXT INDEX FOR (p:Person) ON (p.name)", "TEXT", 1, 1},
           Case{"CREATE POINT INDEX FOR ()-[r:AT]-() ON (r.place)", "POINT", 1, 1},
           Case{"CREATE LOOKUP INDEX FOR (n) ON EACH labels(n)", "LOOKUP", 0, 0},
           Case{"CREATE LOOKUP INDEX FOR ()-[r]-() ON type(r)", "LOOKUP", 0, 0},
           Case{"CREATE FULLTEXT INDEX ft FOR (n:Movie|Book) ON EACH [n.title, n.plot]", "FULLTEXT",
                2, 2},
           Case{"CREATE VECTOR INDEX v FOR (m:Movie) ON (m.embedding) OPTIONS {indexConfig: "
                "{`vector.dimensions`: 1536, `vector.similarity_function`: 'cosine'}}",
                "VECTOR", 1, 1},
           Case{"CREATE VECTOR INDEX v IF NOT EXISTS FOR (m:Movie) ON m.embedding", "VECTOR", 1, 1},
       }) {
    const auto index = command<SchemaCommand>(extended(c.text), c.text);
    EXPECT_EQ(index.kind, SchemaCommand::Kind::CreateIndex) << c.text;
    EXPECT_EQ(index.form, c.form) << c.text;
    EXPECT_EQ(index.target.labels.size(), c.labels) << c.text;
    EXPECT_EQ(index.target.properties.size(), c.properties) << c.text;
  }
}

TEST(SchemaCommands, IndexNearMisses) {
  EXPECT_THAT(summary_of("CREATE TEXT INDEX FOR (p:Person) ON (p.name, p.born)"),
              HasSubstr("a TEXT index covers one property"));
  EXPECT_THAT(summary_of("CREATE LOOKUP INDEX FOR (n) ON EACH label(n)"),
              StartsWith("unexpected 'label'; expected labels(n)"));
  EXPECT_THAT(summary_of("CREATE FULLTEXT INDEX FOR (n:Movie) ON EACH (n.title)"),
              StartsWith("unexpected '('; expected '['"));
  // Only a vector index names its property without parentheses.
  EXPECT_THAT(summary_of("CREATE TEXT INDEX FOR (p:Person) ON p.name"),
              StartsWith("unexpected 'p'; expected '('"));
  EXPECT_THAT(summary_of("CREATE VECTOR INDEX FOR (m:Movie) ON n.embedding"),
              HasSubstr("expected 'm'"));
  EXPECT_THAT(summary_of("CREATE TEXT INDX FOR (p:Person) ON (p.name)"),
              StartsWith("unexpected 'INDX'; expected INDEX"));
}

TEST(SchemaCommands, OptionsMapIsAnExpressionWithSpans) {
  const std::string_view text =
      "CREATE INDEX i FOR (p:Person) ON (p.name) OPTIONS {indexProvider: 'range-1.0'};";
  const auto c = command<SchemaCommand>(extended(text), text);
  ASSERT_TRUE(c.options.has_value());
  ASSERT_NE(c.options->as<Expr::Map>(), nullptr);
  EXPECT_EQ(text_of(text, c.options->span), "{indexProvider: 'range-1.0'}");
  EXPECT_EQ(text_of(text, c.span), text.substr(0, text.size() - 1));
  EXPECT_THAT(summary_of("CREATE INDEX i FOR (p:Person) ON (p.name) OPTIONS {a: }"),
              StartsWith("unexpected '}'"));
  EXPECT_THAT(summary_of("CREATE INDEX i FOR (p:Person) ON (p.name) OPTIONS 3"),
              HasSubstr("expected a map"));
}

TEST(SchemaCommands, DropByName) {
  const std::string_view text = "DROP INDEX person_name IF EXISTS";
  const auto c = command<SchemaCommand>(extended(text), text);
  EXPECT_EQ(c.kind, SchemaCommand::Kind::DropIndex);
  EXPECT_EQ(c.name.name, "person_name");
  EXPECT_TRUE(c.if_exists);
  EXPECT_EQ(command<SchemaCommand>(extended("DROP CONSTRAINT `c 1`"), "").name.name, "c 1");
  EXPECT_THAT(summary_of("DROP CONSTRAINT c IF EXIST"), HasSubstr("'IF'"));
}

TEST(ShowCommands, EveryKind) {
  for (std::string_view text : {"SHOW INDEXES",
                                "SHOW ALL INDEX",
                                "SHOW FULLTEXT INDEXES",
                                "SHOW CONSTRAINTS",
                                "SHOW NODE KEY CONSTRAINTS",
                                "SHOW PROCEDURES",
                                "SHOW BUILT IN FUNCTIONS",
                                "SHOW USER DEFINED FUNCTIONS EXECUTABLE BY CURRENT USER",
                                "SHOW TRANSACTIONS",
                                "SHOW TRANSACTIONS 'neo4j-transaction-3'",
                                "SHOW SETTINGS 'server.*'",
                                "SHOW DATABASES",
                                "SHOW DATABASE neo4j",
                                "SHOW DEFAULT DATABASE",
                                "SHOW USERS",
                                "SHOW CURRENT USER",
                                "SHOW ROLES WITH USERS",
                                "SHOW PRIVILEGES AS COMMANDS",
                                "SHOW USER alice PRIVILEGES",
                                "SHOW ALIASES FOR DATABASES",
                                "SHOW SERVERS"}) {
    EXPECT_TRUE(extended(text).ok()) << text << "\n" << summary_of(text);
  }
  EXPECT_THAT(summary_of("SHOW INDEXS"), StartsWith("unexpected 'INDEXS'; expected what to show"));
  EXPECT_THAT(summary_of("SHOW TEXT CONSTRAINTS"),
              HasSubstr("CONSTRAINTS cannot be shown by TEXT"));
}

TEST(ShowCommands, YieldWhereAndReturnAreQueryParts) {
  const std::string_view text =
      "SHOW RANGE INDEXES YIELD name, type WHERE type = 'RANGE' RETURN name";
  const auto show = command<ShowCommand>(extended(text), text);
  EXPECT_EQ(show.what, "INDEXES");
  EXPECT_EQ(show.filter, "RANGE");
  ASSERT_TRUE(show.yield.has_value());
  ASSERT_EQ(show.yield->yield_items.size(), 2u);
  EXPECT_EQ(text_of(text, show.yield->yield_items[1].span), "type");
  ASSERT_TRUE(show.yield->where_clause.has_value());
  EXPECT_EQ(text_of(text, show.yield->where_clause->span), "type = 'RANGE'");
  ASSERT_TRUE(show.return_clause.has_value());
  EXPECT_EQ(text_of(text, show.span), text);

  const std::string_view where_only = "SHOW DATABASES WHERE name STARTS WITH 'n'";
  const auto filtered = command<ShowCommand>(extended(where_only), where_only);
  ASSERT_TRUE(filtered.where_clause.has_value());
  EXPECT_EQ(text_of(where_only, filtered.where_clause->span), "name STARTS WITH 'n'");
  EXPECT_THAT(summary_of("SHOW INDEXES YIELD name MATCH (n) RETURN n"),
              HasSubstr("YIELD columns, then WHERE or RETURN only"));
}

TEST(AdminCommands, ValidStatementsAndTheirNearMisses) {
  struct Case {
    std::string_view valid;
    std::string_view invalid;
    std::string_view said;  // the start of the message for `invalid`
  };
  for (const Case& c : {
           Case{"CREATE DATABASE sales IF NOT EXISTS WAIT", "CREATE DATABASE IF NOT EXISTS",
                "unexpected 'NOT'"},
           Case{"CREATE OR REPLACE DATABASE sales OPTIONS {existingData: 'use'} NOWAIT",
                "CREATE COMPOSITE sales", "unexpected 'COMPOSITE'; expected DATABASE"},
           Case{"DROP DATABASE sales IF EXISTS DESTROY DATA", "DROP DATABASE sales DESTROY",
                "unexpected end of input; expected DATA"},
           Case{"ALTER DATABASE sales SET ACCESS READ ONLY", "ALTER DATABASE sales SET ACCESS",
                "unexpected 'SET'; expected SET ACCESS"},
           Case{"START DATABASE sales", "START sales", "unexpected 'sales'; expected DATABASE"},
           Case{"STOP DATABASE sales WAIT 5 SECONDS", "STOP DATABASE", "unexpected end of input"},
           Case{"CREATE ALIAS films FOR DATABASE movies", "CREATE ALIAS films FOR movies",
                "unexpected 'FOR'; expected FOR DATABASE"},
           Case{"CREATE USER alice IF NOT EXISTS SET PASSWORD $pw CHANGE NOT REQUIRED",
                "CREATE USER alice SET PASSWORD secret",
                "unexpected 'secret'; expected a password"},
           Case{"ALTER USER alice SET STATUS SUSPENDED", "ALTER USER alice SET STATUS ASLEEP",
                "unexpected 'ASLEEP'; expected ACTIVE or SUSPENDED"},
           Case{"DROP USER alice IF EXISTS", "DROP USERS alice", "unexpected 'USERS'"},
           Case{"CREATE ROLE reader AS COPY OF publisher", "CREATE ROLE reader AS publisher",
                "unexpected 'publisher'; expected COPY OF"},
           Case{"GRANT ROLE reader, writer TO alice", "GRANT ROLE reader alice",
                "unexpected 'alice'; expected TO"},
           Case{"REVOKE ROLE reader FROM alice", "REVOKE ROLE reader TO alice",
                "unexpected 'TO'; expected FROM"},
           Case{"GRANT MATCH {*} ON GRAPH neo4j NODES Person TO reader",
                "GRANT FLY ON GRAPH * TO reader", "unexpected 'FLY'; expected a privilege"},
           Case{"DENY WRITE ON GRAPH * TO reader", "DENY WRITE ON TABLE * TO reader",
                "unexpected 'TABLE'; expected GRAPH"},
           Case{"REVOKE GRANT TRAVERSE ON GRAPH * FROM reader",
                "REVOKE TRAVERSE ON GRAPH * TO reader", "unexpected end of input; expected FROM"},
           Case{"TERMINATE TRANSACTIONS 'neo4j-transaction-1', 'neo4j-transaction-2'",
                "TERMINATE TRANSACTIONS neo4j", "unexpected 'neo4j'; expected a transaction id"},
       }) {
    const Result<CypherQuery> parsed = extended(c.valid);
    EXPECT_TRUE(parsed.ok()) << c.valid << "\n" << (parsed.ok() ? "" : parsed.error().message);
    if (parsed.ok()) {
      const auto* admin = std::get_if<AdminCommand>(&parsed.value());
      ASSERT_NE(admin, nullptr) << c.valid;
      EXPECT_FALSE(admin->names.empty()) << c.valid;
      for (const CommandName& name : admin->names) {
        EXPECT_NE(text_of(c.valid, name.span).find(name.name), std::string_view::npos);
      }
    }
    EXPECT_THAT(summary_of(c.invalid), StartsWith(c.said)) << c.invalid;
  }
}

TEST(AdminCommands, NamesAndAction) {
  const std::string_view text = "GRANT ROLE reader TO alice, `bob smith`";
  const auto admin = command<AdminCommand>(extended(text), text);
  EXPECT_EQ(admin.action, "GRANT ROLE");
  ASSERT_EQ(admin.names.size(), 3u);
  EXPECT_EQ(admin.names[2].name, "bob smith");
  EXPECT_EQ(text_of(text, admin.names[2].span), "`bob smith`");
}

TEST(UseClause, TheQueryAfterItKeepsItsSpans) {
  const std::string_view text = "USE movies MATCH (p:Person) RETURN p";
  const Result<CypherQuery> with_use = extended(text);
  const Result<CypherQuery> without = extended("           MATCH (p:Person) RETURN p");
  ASSERT_TRUE(with_use.ok() && without.ok());
  const auto& a = std::get<SinglePartQuery>(std::get<RegularQuery>(with_use.value()).first());
  const auto& b = std::get<SinglePartQuery>(std::get<RegularQuery>(without.value()).first());
  EXPECT_EQ(a.reading_clauses[0].span, b.reading_clauses[0].span);
  EXPECT_EQ(text_of(text, a.reading_clauses[0].span), "MATCH (p:Person)");
  EXPECT_TRUE(std::holds_alternative<ShowCommand>(extended("USE system SHOW USERS").value()));
}

TEST(UseClause, ErrorsAfterItQuoteTheOriginalText) {
  const Result<CypherQuery> parsed = extended("USE movies MATCH (p:Person RETURN p");
  ASSERT_FALSE(parsed.ok());
  EXPECT_THAT(parsed.error().message, HasSubstr("USE movies MATCH (p:Person RETURN p"));
  EXPECT_THAT(summary_of("USE movies"), HasSubstr("a query or command after USE movies"));
  EXPECT_THAT(summary_of("USE a USE b RETURN 1"), HasSubstr("after USE a"));
}

TEST(QueryOptions, TheQueryAfterThemKeepsItsSpans) {
  for (std::string_view text :
       {"EXPLAIN MATCH (p:Person) RETURN p", "PROFILE MATCH (p:Person) RETURN p",
        "CYPHER 5 MATCH (p:Person) RETURN p", "cypher runtime=slotted MATCH (p:Person) RETURN p",
        "CYPHER 4.4 planner=cost replan = force EXPLAIN MATCH (p:Person) RETURN p",
        "CYPHER 25 /* new */ PROFILE USE movies MATCH (p:Person) RETURN p;"}) {
    const Result<CypherQuery> parsed = extended(text);
    ASSERT_TRUE(parsed.ok()) << text << "\n" << parsed.error().message;
    const auto& query = std::get<SinglePartQuery>(std::get<RegularQuery>(parsed.value()).first());
    EXPECT_EQ(text_of(text, query.reading_clauses[0].span), "MATCH (p:Person)") << text;
  }
  EXPECT_TRUE(std::holds_alternative<ShowCommand>(extended("EXPLAIN SHOW INDEXES").value()));
}

TEST(QueryOptions, NearMissesAndErrorsAfterThem) {
  EXPECT_THAT(summary_of("EXPLAIN"), HasSubstr("a query after EXPLAIN"));
  EXPECT_THAT(summary_of("CYPHER 5;"), HasSubstr("a query after CYPHER"));
  EXPECT_THAT(summary_of("CYPHER runtime=, MATCH (n) RETURN n"), HasSubstr("the option's value"));
  EXPECT_THAT(summary_of("CYPHER 5. MATCH (n) RETURN n"), HasSubstr("the version"));
  const Result<CypherQuery> parsed = extended("PROFILE MATCH (p:Person RETURN p");
  ASSERT_FALSE(parsed.ok());
  EXPECT_THAT(parsed.error().message, HasSubstr("1 | PROFILE MATCH (p:Person RETURN p"));
  EXPECT_FALSE(parse("EXPLAIN MATCH (n) RETURN n", Language::Subset).ok());
}

TEST(Commands, OnlyTheExtendedLanguageReadsThem) {
  for (std::string_view text : {"CREATE INDEX FOR (p:Person) ON (p.name)", "SHOW INDEXES",
                                "USE movies RETURN 1", "GRANT ROLE r TO u"}) {
    EXPECT_TRUE(starts_command(text)) << text;
    EXPECT_FALSE(parse(text, Language::Subset).ok()) << text;
  }
  // A CREATE clause is still a query.
  EXPECT_FALSE(starts_command("CREATE (n:Person)"));
  EXPECT_TRUE(std::holds_alternative<RegularQuery>(extended("CREATE (n:Person)").value()));
}

// Every query is asked whether it is a command: a word at the start that
// only begins a longer name, or a CREATE glued to its next word, is no
// command; case, comments and whitespace before the words are nothing.
TEST(Commands, WhatStartsACommand) {
  for (std::string_view text :
       {"use db MATCH (n) RETURN n", "Drop INDEX i", "ALTER USER u SET PASSWORD 'x'",
        "start database d", "STOP DATABASE d", "show indexes", "GRANT ROLE r TO u",
        "DENY TRAVERSE ON GRAPH * TO r", "REVOKE ROLE r FROM u", "TERMINATE TRANSACTIONS 'x'",
        "RENAME ROLE a TO b", "explain MATCH (n) RETURN n", "PROFILE RETURN 1", "CYPHER 5 RETURN 1",
        "/* lead */ // line\n create\tconstraint c FOR (n:P) REQUIRE n.id IS UNIQUE",
        "CREATE OR REPLACE DATABASE d", "CREATE /* c */ VECTOR INDEX v FOR (n:D) ON n.e"}) {
    EXPECT_TRUE(starts_command(text)) << text;
  }
  for (std::string_view text :
       {"", "   ", "MATCH (n) RETURN n", "WITH 1 AS x RETURN x", "UNWIND [1] AS x RETURN x",
        "RETURN 1", "CALL db.labels()", "CREATE (n)", "CREATE p = (n)", "CREATEINDEX", "USER",
        "SHOWS", "CREATE INDEXES", "CREATE", "CREATE\n", "OPTIONAL MATCH (n) RETURN n",
        "\xc3\xa9SHOW", "_SHOW", "1 SHOW"}) {
    EXPECT_FALSE(starts_command(text)) << text;
  }
}

TEST(Commands, WhitespaceAndCommentsAroundChangeNothing) {
  const std::string_view plain = "CREATE INDEX FOR (p:Person) ON (p.name)";
  const std::string padded = " /* c */\n" + std::string(plain) + " // end\n ;\n";
  const auto a = command<SchemaCommand>(extended(plain), plain);
  const auto b = command<SchemaCommand>(extended(padded), padded);
  EXPECT_EQ(a.target.properties[0].name, b.target.properties[0].name);
  EXPECT_EQ(b.target.properties[0].span.begin, a.target.properties[0].span.begin + 9);
}

TEST(Commands, SecondStatementWithoutSemicolon) {
  const Result<CypherQuery> parsed = extended("MATCH (n) RETURN n MATCH (m) RETURN m");
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.error().summary, "missing ';' between statements");
  EXPECT_EQ(parsed.error().position, 19u);
  // The six-line layout, pointing at the second statement.
  EXPECT_THAT(parsed.error().message, StartsWith(" --> 1:20\n"));
  EXPECT_EQ(summary_of("SHOW INDEXES SHOW USERS"), "missing ';' between statements");
  EXPECT_EQ(summary_of("RETURN 1 RETURN 2 RETURN 3"), "missing ';' between statements");
  // Not when the text before is unfinished, or the ';' is there.
  EXPECT_NE(summary_of("MATCH (m:Movie) OPTIONAL"), "missing ';' between statements");
  EXPECT_NE(summary_of("MATCH (m) WHERE m.t START-S WITH 'x' RETURN m"),
            "missing ';' between statements");
  EXPECT_NE(summary_of("RETURN 1; RETURN 2"), "missing ';' between statements");
  // Brackets count only outside strings, names in backticks and comments:
  // an open one before the second statement leaves the first unfinished.
  EXPECT_EQ(summary_of("MATCH (n {a: '(', `[`: 1}) /* { */ RETURN n MATCH (m) RETURN m"),
            "missing ';' between statements");
  EXPECT_NE(summary_of("MATCH (n RETURN n MATCH (m) RETURN m"), "missing ';' between statements");
  EXPECT_NE(summary_of("MATCH (n) WHERE n.a IN [1, 2 RETURN n MATCH (m) RETURN m"),
            "missing ';' between statements");
  // The subset keeps its own message.
  EXPECT_EQ(parse("RETURN 1 RETURN 2").error().summary.find("missing"), std::string::npos);
}

}  // namespace
}  // namespace quorvane
