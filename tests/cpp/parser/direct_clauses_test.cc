// The direct parser on the clauses and subqueries of the extended language
// (CALL { }, LOAD CSV, FOREACH, procedure calls in every form, EXISTS,
// COUNT and COLLECT around a whole query) and on the subset's keywords
// written against the next word. Each text it takes must give the matcher's
// tree, byte spans included; each text the matcher rejects near these
// constructs it must decline.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../../support/corpus_files.h"
#include "direct_agreement.h"
#include "golden_reader.h"
#include "parser/direct/direct_parser.h"
#include "parser/keywords.h"
#include "parser/lexical.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

using testing::expect_agrees;
using testing::kLanguages;

// The queries of a JSON-lines file with a "query" field.
// Texts of the extended language the direct parser must take, each group
// about one construct: odd spacing, comments, backticks and letter case
// included.
const std::vector<std::string> kTakenExtended[] = {
    // CALL { } in every form.
    {
        "MATCH (p) CALL { WITH p MATCH (p)-->(m) RETURN count(m) AS c } RETURN p, c",
        "MATCH (p) CALL (p) { MATCH (p)-->(m) RETURN m } RETURN m",
        "MATCH (p) CALL (*) { RETURN p AS q } RETURN q",
        "CALL () { RETURN 1 AS x } RETURN x",
        "CALL{RETURN 1 AS x}RETURN x",
        "MATCH (a), (b) CALL (a, `b`) { RETURN a.x + b.x AS s } RETURN s",
        "MATCH (p) OPTIONAL CALL (p) { MATCH (p)-->(m) RETURN m } RETURN m",
        "optional call { match (n) return n } return n",
        "MATCH (p) CALL /* scope */ ( p /* one */ , p ) // next\n { RETURN 1 AS one } RETURN one",
        "CALL { MATCH (a:A) RETURN a UNION MATCH (a:B) RETURN a } RETURN a",
        "CALL { MATCH (a:A) RETURN a UNION ALL MATCH (a:B) RETURN a UNION RETURN 1 AS a } "
        "RETURN a",
        "CALL { CALL { CALL { RETURN 1 AS x } RETURN x } RETURN x } RETURN x",
        "MATCH (n) CALL { WITH n SET n.seen = true } RETURN n",
        "MATCH (n) CALL { WITH n DETACH DELETE n }",
        "UNWIND [1, 2] AS x CALL { WITH x CREATE (:N {v: x}) } IN TRANSACTIONS",
        "UNWIND $rows AS row CALL { WITH row CREATE (n:Person {name: row.name}) } IN "
        "TRANSACTIONS OF 500 ROWS",
        "UNWIND $rows AS row CALL (row) { CREATE (:P {n: row}) } IN TRANSACTIONS OF 1 ROW",
        "UNWIND $rows AS row CALL (row) { CREATE (:P {n: row}) } IN 4 CONCURRENT TRANSACTIONS",
        "UNWIND $rows AS row CALL (row) { CREATE (:P {n: row}) } IN $n CONCURRENT TRANSACTIONS "
        "OF $size ROWS ON ERROR CONTINUE REPORT STATUS AS s RETURN s",
        "UNWIND $rows AS row CALL (row) { CREATE (:P {n: row}) } IN TRANSACTIONS ON ERROR BREAK",
        "UNWIND $rows AS row CALL (row) { CREATE (:P {n: row}) } IN TRANSACTIONS ON ERROR FAIL",
        "UNWIND $rows AS row CALL (row) { CREATE (:P {n: row}) } IN TRANSACTIONS REPORT STATUS "
        "AS `status` RETURN `status`",
        "UNWIND $rows AS row CALL (row) { CREATE (:P {n: row}) } in transactions of 10 * 2 rows "
        "on error continue",
        "UNWIND $rows AS row CALL (row) { CREATE (:P {n: row}) } IN TRANSACTIONS OF /* c */ 10 "
        "ROWS",
        "UNWIND $rows AS row CALL (row) { CREATE (:P {n: row}) } IN 2 CONCURRENT TRANSACTIONS OF "
        "(3) ROWS",
        "MATCH (n) CALL { WITH n RETURN n.x AS x ORDER BY x SKIP 1 LIMIT 2 } RETURN x",
    },
    // LOAD CSV.
    {
        "LOAD CSV FROM 'file:///x.csv' AS line RETURN line",
        "LOAD CSV WITH HEADERS FROM 'file:///x.csv' AS row RETURN row.name",
        "LOAD CSV FROM 'https://x/y.csv' AS line FIELDTERMINATOR ';' RETURN line[0]",
        "load csv with headers from $url as row fieldterminator '\\t' return row",
        "LOAD  CSV /* c */ WITH\nHEADERS FROM 'a' + $b AS `row` FIELDTERMINATOR \"|\" "
        "CREATE (:N {v: row.v})",
        "LOAD CSV FROM 'x' AS row MATCH (n {id: row[0]}) SET n.v = row[1]",
        "MATCH (n) WITH n LOAD CSV FROM n.url AS row RETURN row",
        "LOAD CSV WITH HEADERS FROM 'x' AS row CALL (row) { MERGE (n:N {id: row.id}) } IN "
        "TRANSACTIONS OF 100 ROWS",
    },
    // FOREACH.
    {
        "MATCH (n) FOREACH (x IN [1, 2] | SET n.v = x CREATE (:Log {v: x}))",
        "MATCH p = (a)-->(b) FOREACH (n IN nodes(p) | FOREACH (m IN [n] | SET m.seen = true))",
        "MATCH (n) FOREACH(x IN range(0, 3)|SET n.v = x)",
        "MATCH (n) foreach ( `x` in n.list | remove n.x merge (m:M {v: `x`}) "
        "on create set m.c = 1 delete m detach delete n )",
        "MATCH (n) FOREACH /* c */ (x IN [1] // d\n | SET n:A:B SET n += {v: x})",
        "MATCH (n) FOREACH (x IN [1] | SET n.v = x) RETURN n",
        "CREATE (n) FOREACH (x IN [1] | CREATE (n)-[:R]->(:M {v: x})) WITH n MATCH (n)-->(m) "
        "RETURN m",
        "MATCH (n) CALL { WITH n FOREACH (x IN [1] | SET n.v = x) } RETURN n",
    },
    // Procedure calls.
    {
        "CALL db.labels",
        "CALL db.labels()",
        "CALL db.labels YIELD label RETURN label",
        "CALL db.labels() YIELD * RETURN label",
        "CALL db.labels YIELD *",
        "CALL db.labels() YIELD label WHERE label STARTS WITH 'P' RETURN label",
        "CALL db.labels() YIELD label AS l, x WHERE l <> x RETURN l",
        "CALL apoc.create.node(['A'], {}) YIELD node RETURN node",
        "CALL `db`.`labels`() YIELD label RETURN label",
        "CALL db.match.return() YIELD x RETURN x",
        "MATCH (n) OPTIONAL CALL db.labels() YIELD label RETURN n, label",
        "MATCH (n) CALL db.labels YIELD label WITH n, label RETURN n",
        "call dbms.components() yield name, versions where name = 'x' return name",
        "CALL db.labels /* none */ YIELD label RETURN label",
        "CALL db.labels() YIELD count AS c RETURN c",
        "CALL db.labels() YIELD label AS l RETURN l UNION ALL RETURN 1 AS l",
    },
    // EXISTS, COUNT and COLLECT around a whole query.
    {
        "MATCH (p) WHERE EXISTS { MATCH (p)-->(m) RETURN m } RETURN p",
        "MATCH (p) WHERE exists{match (p)-->(m) where m.x > 1} RETURN p",
        "MATCH (p) RETURN COUNT { MATCH (p)-->(m) RETURN m } AS n",
        "MATCH (p) RETURN count { MATCH (p)-->(m) RETURN m UNION MATCH (p)<--(m) RETURN m } AS n",
        "MATCH (p) RETURN COLLECT { MATCH (p)-->(m) RETURN m.title } AS titles",
        "MATCH (p) RETURN collect /* c */ { // d\n MATCH (p)-->(m) RETURN m.title ORDER BY m.title "
        "LIMIT 3 } AS titles",
        "MATCH (p) RETURN COLLECT { WITH p MATCH (p)-->(m) RETURN m } AS ms",
        "MATCH (p) WHERE EXISTS { OPTIONAL MATCH (p)-->(m) RETURN m } RETURN p",
        "MATCH (p) WHERE EXISTS { CALL { RETURN 1 AS x } RETURN x } RETURN p",
        "MATCH (p) WHERE EXISTS { UNWIND [1] AS x RETURN x } RETURN p",
        "MATCH (p) RETURN COUNT { MATCH (p)-->(m) WHERE COUNT { MATCH (m)-->(o) RETURN o } > 1 "
        "RETURN m } AS n",
        "MATCH (p) RETURN size(COLLECT { MATCH (p)-->(m) RETURN m }) + COUNT { MATCH (p)-->() "
        "RETURN 1 } AS n",
        "RETURN [x IN COLLECT { UNWIND [1, 2] AS y RETURN y } WHERE x > 1 | x] AS xs",
        "MATCH (p) SET p.n = COUNT { MATCH (p)-->(m) RETURN m }",
        "MATCH (p) WHERE NOT EXISTS { MATCH (p)-[:R]->(q) WHERE EXISTS { MATCH (q)-->() RETURN q "
        "} RETURN q } RETURN p",
    },
    // Other clause forms of the extended language.
    {
        "MATCH (n) RETURN n OFFSET 1 LIMIT 2",
        "MATCH (n) WITH n ORDER BY n.x OFFSET 10 RETURN n",
        "MATCH (n) RETURN n offset $s",
    },
};

// Texts the extended language reads that the subset rejects, or texts
// both reject, each near a construct above: the direct parser must decline
// them all.
const std::string_view kRejectedExtended[] = {
    "MATCH (p) RETURN COLLECT { } AS n",
    "MATCH (p) RETURN COLLECT { (p)-->() } AS n",
    "MATCH (n) CALL { MATCH (n) RETURN n RETURN n",
    "MATCH (n) CALL { } RETURN n",
    "MATCH (n) CALL (n.x) { RETURN 1 AS x } RETURN x",
    "MATCH (n) CALL (n,) { RETURN 1 AS x } RETURN x",
    "MATCH (n) CALL (*, n) { RETURN 1 AS x } RETURN x",
    "MATCH (n) CALL (n) RETURN n",
    "MATCH (n) CALL { RETURN 1 AS x } IN RETURN x",
    "MATCH (n) CALL { RETURN 1 AS x } IN TRANSACTIONS OF ROWS",
    "MATCH (n) CALL { RETURN 1 AS x } IN TRANSACTIONS OF 5",
    "MATCH (n) CALL { RETURN 1 AS x } IN TRANSACTIONS ON ERROR RETRY",
    "MATCH (n) CALL { RETURN 1 AS x } IN TRANSACTIONS REPORT STATUS s",
    "MATCH (n) CALL { RETURN 1 AS x } IN 3 TRANSACTIONS",
    "CALL { RETURN 1 AS x };;",
    "OPTIONAL CALL",
    "LOAD CSV FROM 'x' RETURN 1",
    "LOAD FROM 'x' AS row RETURN row",
    "LOAD CSV WITH FROM 'x' AS row RETURN row",
    "LOAD CSV FROM 'x' AS row FIELDTERMINATOR x RETURN row",
    "LOAD CSV FROM 'x' AS match RETURN 1",
    "CREATE (n) LOAD CSV FROM 'x' AS row RETURN row",
    "LOADCSV FROM 'x' AS row RETURN row",
    "MATCH (n) FOREACH (x IN [1] | RETURN x)",
    "MATCH (n) FOREACH (x IN [1] | )",
    "MATCH (n) FOREACH (x IN [1] SET n.v = x)",
    "MATCH (n) FOREACH (x IN [1] | SET n.v = x",
    "MATCH (n) FOREACH (x [1] | SET n.v = x)",
    "MATCH (n) FOREACH (x IN n:A | SET n.v = x)",
    "MATCH (n) FOREACH (x IN [1] | MATCH (m) SET m.v = x)",
    "CALL db.labels YIELD",
    "CALL db.labels() YIELD * WHERE x RETURN 1",
    "CALL db.labels() YIELD label WHERE RETURN label",
    "CALL db.labels(1,) YIELD label RETURN label",
    "CALL db. labels()",
    "CALL match.labels()",
    "CALL db.labels() YIELD match AS m RETURN m",
    "CALL db.labels() YIELD a AS RETURN a",
    "MATCH (p) WHERE EXISTS { MATCH (p)-->(m) RETURN m RETURN p",
    "MATCH (p) WHERE EXISTS { MATCH (p)-->(m) RETURN m; } RETURN p",
    "MATCH (p) RETURN COUNT { MATCH (p) RETURN p UNION } AS n",
    "MATCH (n) RETURN n OFFSET",
    "MATCH (n) RETURN n LIMIT 1 OFFSET 1",
};

TEST(DirectClauses, TakesTheClausesAndSubqueriesOfTheExtendedLanguage) {
  for (const std::vector<std::string>& group : kTakenExtended) {
    for (const std::string& text : group) {
      EXPECT_TRUE(expect_agrees(text, Language::Extended)) << "declined: " << text;
    }
  }
}

TEST(DirectClauses, DeclinesWhatTheMatcherRejectsNearThem) {
  for (std::string_view text : kRejectedExtended) {
    for (Language language : kLanguages) {
      RegularQuery tree;
      EXPECT_FALSE(check_with_matcher(text, language).ok())
          << language_name(language) << ": " << text;
      EXPECT_FALSE(parse_directly(text, language, tree)) << language_name(language) << ": " << text;
    }
  }
  // The subset has none of these constructs: where it rejects a text of
  // the groups above, the direct parser declines it too.
  for (const std::vector<std::string>& group : kTakenExtended) {
    for (const std::string& text : group) {
      RegularQuery tree;
      if (!check_with_matcher(text, Language::Subset).ok()) {
        EXPECT_FALSE(parse_directly(text, Language::Subset, tree)) << text;
      } else {
        expect_agrees(text, Language::Subset);
      }
    }
  }
}

// The tree builder once told the rows of `IN TRANSACTIONS OF n ROWS` from
// the concurrency by the word written before the expression, so a comment
// there hid the rows or made rows of the concurrency. Both parsers now give
// the expression after OF, and only that one.
TEST(DirectClauses, RowsAreTheExpressionAfterOfWhateverCommentsHold) {
  const std::pair<std::string_view, std::optional<int64_t>> texts[] = {
      {"UNWIND [1] AS r CALL (r) { CREATE (:P) } IN TRANSACTIONS OF /* c */ 10 ROWS", 10},
      {"UNWIND [1] AS r CALL (r) { CREATE (:P) } IN // of\n 5 CONCURRENT TRANSACTIONS",
       std::nullopt},
      {"UNWIND [1] AS r CALL (r) { CREATE (:P) } IN /* of */ 5 CONCURRENT TRANSACTIONS OF 7 ROWS",
       7},
      {"UNWIND [1] AS r CALL (r) { CREATE (:P) } IN 2 CONCURRENT TRANSACTIONS", std::nullopt},
  };
  for (const auto& [text, rows] : texts) {
    const Result<CypherQuery> parsed = parse(text, Language::Extended);
    ASSERT_TRUE(parsed.ok()) << text;
    const auto& query = std::get<RegularQuery>(parsed.value());
    const auto& clauses = std::get<SinglePartQuery>(query.first()).reading_clauses;
    ASSERT_EQ(clauses.size(), 2u) << text;
    const auto& call = std::get<ReadingClause::Subquery>(clauses[1].clause);
    EXPECT_TRUE(call.in_transactions) << text;
    ASSERT_EQ(call.batch_rows.has_value(), rows.has_value()) << text;
    if (rows) {
      const auto* value = call.batch_rows->as<Expr::Integer>();
      ASSERT_NE(value, nullptr) << text;
      EXPECT_EQ(value->value, *rows) << text;
    }
    EXPECT_TRUE(expect_agrees(text, Language::Extended)) << text;
  }
}

// `IN CONCURRENT TRANSACTIONS` needs no number, and the status variable of
// REPORT STATUS is kept: a later clause reads it.
TEST(DirectClauses, ConcurrencyAndStatusOfTransactions) {
  struct Case {
    std::string_view text;
    bool concurrent;
    std::optional<int64_t> concurrency;
    std::optional<std::string_view> status;
  };
  const Case cases[] = {
      {"UNWIND [1] AS r CALL (r) { CREATE (:P) } IN CONCURRENT TRANSACTIONS", true, std::nullopt,
       std::nullopt},
      {"UNWIND [1] AS r CALL (r) { CREATE (:P) } in concurrent transactions of 5 rows "
       "REPORT STATUS AS s RETURN s",
       true, std::nullopt, "s"},
      {"UNWIND [1] AS r CALL (r) { CREATE (:P) } IN 3 CONCURRENT TRANSACTIONS", true, 3,
       std::nullopt},
      {"UNWIND [1] AS r CALL (r) { CREATE (:P) } IN TRANSACTIONS REPORT STATUS AS `st` RETURN st",
       false, std::nullopt, "st"},
      // The name CONCURRENT as the number of transactions.
      {"UNWIND [1] AS concurrent CALL { CREATE (:P) } IN concurrent CONCURRENT TRANSACTIONS", true,
       std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    const Result<CypherQuery> parsed = parse(c.text, Language::Extended);
    ASSERT_TRUE(parsed.ok()) << c.text;
    const auto& query = std::get<RegularQuery>(parsed.value());
    const ReadingClause::Subquery* call = nullptr;
    for (const ReadingClause& clause : std::get<SinglePartQuery>(query.first()).reading_clauses) {
      if (const auto* found = std::get_if<ReadingClause::Subquery>(&clause.clause)) call = found;
    }
    ASSERT_NE(call, nullptr) << c.text;
    EXPECT_EQ(call->concurrent, c.concurrent) << c.text;
    if (c.concurrency) {
      ASSERT_TRUE(call->concurrency.has_value()) << c.text;
      const auto* value = call->concurrency->as<Expr::Integer>();
      ASSERT_NE(value, nullptr) << c.text;
      EXPECT_EQ(value->value, *c.concurrency) << c.text;
    }
    ASSERT_EQ(call->status.has_value(), c.status.has_value()) << c.text;
    if (c.status) {
      EXPECT_EQ(std::string_view(*call->status), *c.status) << c.text;
      // The span holds the name as written, backticks and all.
      const Span at = call->status_span;
      EXPECT_EQ(c.text.substr(at.begin, at.end - at.begin), *c.status == "st" ? "`st`" : "s")
          << c.text;
    }
    EXPECT_TRUE(expect_agrees(c.text, Language::Extended)) << c.text;
  }
  for (std::string_view text : {
           "UNWIND [1] AS r CALL (r) { CREATE (:P) } IN CONCURRENT",
           "UNWIND [1] AS r CALL (r) { CREATE (:P) } IN CONCURRENT CONCURRENT TRANSACTIONS x",
           "UNWIND [1] AS r CALL (r) { CREATE (:P) } IN TRANSACTIONS CONCURRENT",
           "UNWIND [1] AS r CALL (r) { CREATE (:P) } IN TRANSACTIONS REPORT STATUS AS",
       }) {
    // Declined by both: expect_agrees() fails the test where the two differ.
    EXPECT_FALSE(expect_agrees(text, Language::Extended)) << text;
  }
}

// NODETACH DELETE is DELETE, said out loud; the subset does not read it.
TEST(DirectClauses, NodetachDeleteIsAPlainDelete) {
  for (std::string_view text : {"MATCH (n) NODETACH DELETE n", "match (n) nodetach delete n, n",
                                "MATCH (n) FOREACH (x IN [n] | NODETACH DELETE x)",
                                "MATCH (n) WHERE EXISTS { NODETACH DELETE n } RETURN n"}) {
    ASSERT_TRUE(expect_agrees(text, Language::Extended)) << text;
    EXPECT_FALSE(expect_agrees(text, Language::Subset)) << text;
  }
  const Result<CypherQuery> parsed = parse("MATCH (n) NODETACH DELETE n", Language::Extended);
  ASSERT_TRUE(parsed.ok());
  const auto& part = std::get<SinglePartQuery>(std::get<RegularQuery>(parsed.value()).first());
  ASSERT_EQ(part.updating_clauses.size(), 1u);
  const auto& deletion = std::get<UpdatingClause::Delete>(part.updating_clauses[0].clause);
  EXPECT_FALSE(deletion.detach);
  EXPECT_EQ(deletion.exprs.size(), 1u);
  for (std::string_view text :
       {"MATCH (n) NODETACH n", "MATCH (n) NODETACH DETACH DELETE n",
        "MATCH (n) DETACH NODETACH DELETE n", "MATCH (n) NODETACHDELETE n"}) {
    EXPECT_FALSE(expect_agrees(text, Language::Extended)) << text;
  }
}

// Subqueries nested to and past the nesting limit and the tree-depth limit:
// the parser takes the shallow ones and, at every depth, only what the
// matcher accepts.
TEST(DirectClauses, NestedSubqueriesStayInsideTheLimits) {
  struct Shape {
    std::string_view prefix, open, innermost, close;
  };
  const Shape shapes[] = {
      {"", "CALL { ", "RETURN 1 AS x", " } RETURN x"},
      {"MATCH (n) ", "FOREACH (x IN [1] | ", "SET n.v = 1", ")"},
      {"", "MATCH (n) WHERE EXISTS { ", "MATCH (n) RETURN n", " } RETURN n"},
      {"", "RETURN COUNT { ", "RETURN 1 AS z", " } AS x"},
      {"", "WITH 1 AS y RETURN COLLECT { ", "RETURN y AS z", " } AS x"},
  };
  for (const Shape& shape : shapes) {
    for (int depth : {1, 2, 10, 60, 120, 190, 210, 240, 260, 400}) {
      std::string text(shape.prefix);
      for (int i = 0; i < depth; ++i) text += shape.open;
      text += shape.innermost;
      for (int i = 0; i < depth; ++i) text += shape.close;
      const bool taken = expect_agrees(text, Language::Extended);
      if (depth <= 60) {
        EXPECT_TRUE(taken) << depth << ": " << text.substr(0, 80);
      }
    }
  }
}

// Small edits of the texts above, each tried in both languages: wherever
// the direct parser takes an edited text, the matcher must accept it and
// build the same tree.
TEST(DirectClauses, AgreesOnEditsOfTheseTexts) {
  const std::string_view inserts[] = {"{",       "}",          "(",      ")",       ",",
                                      "|",       "*",          " ",      "x",       ";",
                                      " IN ",    " OF ",       " ROWS ", " AS ",    " WHERE ",
                                      " UNION ", " RETURN 1 ", " CALL ", " YIELD ", "`"};
  int taken = 0;
  for (const std::vector<std::string>& group : kTakenExtended) {
    for (const std::string& text : group) {
      for (size_t i = 0; i < text.size() && testing::disagreements < 10; ++i) {
        std::vector<std::string> edits;
        edits.push_back(text.substr(0, i) + text.substr(i + 1));
        for (std::string_view insert : inserts) {
          edits.push_back(text.substr(0, i) + std::string(insert) + text.substr(i));
        }
        for (const std::string& edit : edits) {
          for (Language language : kLanguages) taken += expect_agrees(edit, language);
        }
      }
    }
  }
  // The edits reach texts the direct parser takes, not only declines.
  EXPECT_GT(taken, 1000);
}

// The subset's glued keywords: texts of the data files with the spaces
// after one keyword taken out (`RETURNn`, `ORDERBY`, `DESCLIMIT`). Each must
// agree in both languages wherever the direct parser takes it, and the
// direct parser must take nearly all the subset accepts.
TEST(DirectClauses, ReadsGluedKeywordsOfTheSubsetAsTheMatcherDoes) {
  std::vector<std::string> sources = testing::bench_queries();
  for (std::string& query : testing::snapshot_queries()) sources.push_back(std::move(query));
  for (std::string& query : testing::jsonl_queries(QUORVANE_DATA_DIR "/syntax_cases.jsonl")) {
    sources.push_back(std::move(query));
  }
  const std::string_view more[] = {"ASCENDING", "DESCENDING"};
  int accepted = 0;
  int taken = 0;
  std::string missed;
  for (const std::string& query : sources) {
    for (size_t i = 0; i < query.size() && testing::disagreements < 10; ++i) {
      if (i > 0 && is_word_char(static_cast<unsigned char>(query[i - 1]))) continue;
      size_t length = 0;
      for (std::string_view word : kKeywords) {
        if (starts_with_keyword(query, i, word)) length = std::max(length, word.size());
      }
      for (std::string_view word : more) {
        if (starts_with_keyword(query, i, word)) length = std::max(length, word.size());
      }
      const size_t gap = i + length;
      if (length == 0 || gap >= query.size() || query[gap] != ' ') continue;
      size_t next = gap;
      while (next < query.size() && query[next] == ' ') ++next;
      if (next == query.size() || !is_word_char(static_cast<unsigned char>(query[next]))) continue;
      const std::string glued = query.substr(0, gap) + query.substr(next);
      expect_agrees(glued, Language::Extended);
      if (!check_with_matcher(glued, Language::Subset).ok()) continue;
      ++accepted;
      if (expect_agrees(glued, Language::Subset)) {
        ++taken;
      } else if (missed.size() < 2000) {
        missed += "\n  " + glued;
      }
    }
  }
  ASSERT_GT(accepted, 1000);
  EXPECT_GE(taken * 100, accepted * 95)
      << "took " << taken << " of " << accepted << "; declined:" << missed;
  std::printf("glued keywords: the subset accepts %d, the direct parser takes %d\n", accepted,
              taken);
}

// Every text of the data files the matcher accepts and the direct parser
// takes must agree; the number still declined is printed, as the measure of
// how much of the data goes the slow way.
TEST(DirectClauses, AgreesOnTheDataFilesAndCountsWhatItDeclines) {
  const std::pair<std::string_view, std::vector<std::string>> files[] = {
      {"extended_findings", testing::jsonl_queries(QUORVANE_DATA_DIR "/extended_findings.jsonl")},
      {"subset_snapshot", testing::snapshot_queries()},
      {"syntax_cases", testing::jsonl_queries(QUORVANE_DATA_DIR "/syntax_cases.jsonl")},
      {"corpus", testing::bench_queries()},
  };
  // QUORVANE_SHOW_DECLINED=1 lists them.
  const bool show = std::getenv("QUORVANE_SHOW_DECLINED") != nullptr;
  for (const auto& [name, queries] : files) {
    ASSERT_GE(queries.size(), 40u) << name;
    for (Language language : kLanguages) {
      int accepted = 0;
      int declined = 0;
      for (const std::string& query : queries) {
        if (!check_with_matcher(query, language).ok()) continue;
        ++accepted;
        if (expect_agrees(query, language)) continue;
        ++declined;
        if (show) std::printf("  declined: %s\n", query.c_str());
      }
      std::printf("%-18s %-8s accepted %5d declined %4d\n", std::string(name).c_str(),
                  std::string(language_name(language)).c_str(), accepted, declined);
    }
  }
}

}  // namespace
}  // namespace quorvane
