// The parser against the matcher: it must take exactly the texts the
// matcher accepts (its trees are pinned in pinned_trees_test.cc). Checked on
// the benchmark corpus, the golden cases, mutations of the corpus and
// hand-made texts near the grammar's corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "../../support/corpus_files.h"
#include "../../support/tree_text.h"
#include "direct_agreement.h"
#include "golden_reader.h"
#include "parser/direct/direct_parser.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

using testing::bench_queries;
using testing::disagreements;
using testing::expect_agrees;
using testing::kLanguages;
using testing::lines_of;
using testing::repeat;
using testing::snapshot_queries;

// Runs every text through expect_agrees in both languages; returns how many
// (text, language) pairs the direct parser took.
int expect_all_agree(const std::vector<std::string>& texts) {
  const int stop_at = disagreements + 10;
  int taken = 0;
  for (const std::string& text : texts) {
    for (Language language : kLanguages) taken += expect_agrees(text, language);
    if (disagreements >= stop_at) {
      ADD_FAILURE() << "stopped after 10 disagreements";
      break;
    }
  }
  ::testing::Test::RecordProperty("texts", static_cast<int>(texts.size()));
  ::testing::Test::RecordProperty("taken", taken);
  return taken;
}

// Tokens that sit at the edges of the grammar: punctuation that starts or
// ends constructs, comments, number forms, keywords and names that look like
// keywords, and bytes outside ASCII (one of them a broken sequence).
constexpr std::string_view kTokens[] = {
    " ",        "/* c */",  "`",       "'",        "\"",       "\\",        ".",        "..",
    ",",        ":",        "|",       "||",       "(",        ")",         "[",        "]",
    "{",        "}",        "-",       "--",       "->",       "<-",        "*",        "+",
    "=",        "=~",       "<>",      "!=",       "$p",       "0x1F",      "1e5",      ".5",
    "1.",       "007",      "AS",      "ASC",      "DISTINCT", "distinctx", "OPTIONAL", "IS",
    "ISNULL",   "NOT",      "IN",      "CASE",     "WHEN",     "END",       "count",    "all",
    "exists",   "EXISTS {", "COUNT {", "reduce(",  "WHERE",    "WITH",      "UNION",    "UNION ALL",
    "ORDER BY", "SKIP",     "OFFSET",  "LIMIT",    "RETURN",   "MATCH",     "CREATE",   "SET",
    "CALL",     "order",    "end",     "\xC3\xA9", "\xC3",     ";"};
constexpr std::string_view kLongTokens[] = {"9223372036854775808", "shortestPath(", "\n", "// c\n"};

bool is_word_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// Upper-cases, lower-cases or capitalises the first word at or after `at`.
void recase_word(std::string& text, size_t at, int mode) {
  while (at < text.size() && !is_word_char(text[at])) ++at;
  if (at == text.size()) return;
  size_t begin = at;
  while (begin > 0 && is_word_char(text[begin - 1])) --begin;
  for (size_t i = begin; i < text.size() && is_word_char(text[i]); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool upper = mode == 0 || (mode == 2 && i == begin);
    text[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
  }
}

// One small edit. Random numbers are taken as rng() % n, which, unlike the
// standard distributions, gives the same texts with every standard library.
std::string mutate(const std::string& text, std::mt19937& rng) {
  std::string out = text;
  if (out.size() < 2) return out + "x";
  const size_t at = rng() % out.size();
  switch (rng() % 6) {
    case 0:
      out.erase(at, 1);
      break;
    case 1:
      out.insert(at, 1, out[at]);
      break;
    case 2:
      std::swap(out[at % (out.size() - 1)], out[at % (out.size() - 1) + 1]);
      break;
    case 3:
      recase_word(out, at, static_cast<int>(rng() % 3));
      break;
    default: {
      const size_t k = rng() % (std::size(kTokens) + std::size(kLongTokens));
      out.insert(rng() % (out.size() + 1),
                 k < std::size(kTokens) ? kTokens[k] : kLongTokens[k - std::size(kTokens)]);
    }
  }
  return out;
}

TEST(DirectParser, AgreesOnTheBenchmarkCorpus) {
  const std::vector<std::string> queries = bench_queries();
  ASSERT_GE(queries.size(), 40u);
  expect_all_agree(queries);
}

TEST(DirectParser, AgreesOnTheSnapshotAndGoldenCases) {
  std::vector<std::string> texts = snapshot_queries();
  ASSERT_GE(texts.size(), 1000u);
  const auto golden = testing::read_golden_cases(QUORVANE_DATA_DIR "/syntax_cases.jsonl");
  ASSERT_GE(golden.size(), 1000u);
  for (const testing::GoldenCase& c : golden) texts.push_back(c.query);
  expect_all_agree(texts);
}

TEST(DirectParser, AgreesOnMutationsOfTheCorpus) {
  const std::vector<std::string> queries = bench_queries();
  ASSERT_GE(queries.size(), 40u);
  std::mt19937 rng(20240611);
  std::vector<std::string> texts;
  for (const std::string& query : queries) {
    // Single edits, then pairs of edits.
    for (int i = 0; i < 48; ++i) {
      std::string text = mutate(query, rng);
      texts.push_back(i < 32 ? text : mutate(text, rng));
    }
    // The start of this query glued to the end of another.
    for (int i = 0; i < 8; ++i) {
      const std::string& other = queries[rng() % queries.size()];
      texts.push_back(query.substr(0, rng() % (query.size() + 1)) +
                      other.substr(rng() % (other.size() + 1)));
    }
    // Every space replaced: by other whitespace, by comments, or by nothing,
    // which glues keywords to their neighbours.
    for (std::string_view space : {"\n", "\t ", "/* c */", "//c\n", ""}) {
      std::string text;
      for (char c : query) text += c == ' ' ? std::string(space) : std::string(1, c);
      texts.push_back(text);
    }
  }
  expect_all_agree(texts);
}

// Hand-made texts, one per line, in groups by what the matcher makes of
// them; texts with line breaks, tabs or bytes outside ASCII follow each group.
//
// Valid in both languages.
constexpr std::string_view kValid = R"(return 1
ReTuRn 1 AS x
match (n) return n order by n.x desc skip 1 limit 2
MATCH (n) RETURN n;
/* a */ MATCH /* b */ (n /* c */ :A /* d */) /* e */ RETURN /* f */ n /* g */
MATCH (n) RETURN n ORDER BY n.name ASCENDING, n.x DESCENDING
RETURN distinctCount
RETURN [x IN list WHERE x > 1 | x], [x IN list], [x IN list | x.a], [x IN list WHERE x.a]
RETURN 'a\'b', "q\"", '\u00e9', '\n\t\\', 'é ü 日本 🙂'
MATCH (`weird name`:`Label x`)-[`r`:`TYPE`]->(m) RETURN `weird name`.`prop x`
UNWIND [1, 2] AS x RETURN x UNION ALL UNWIND [3] AS x RETURN x
RETURN 1 AS a UNION RETURN 2 AS a UNION RETURN 3 AS a
MATCH p = (a)-[r:T*2..]->(b)<-[*]-(c)-[:A|B]-(d) RETURN p
RETURN NOT NOT true, -(-1), 2 ^ 3 ^ 2, 1 - -1, 1 < 2 <= 3 <> 4 = 5
RETURN x IS NULL, x IS NOT NULL, x IN [1], x STARTS WITH 'a', x =~ 'a.*'
RETURN count(DISTINCT x), count(*), all(x IN [1] WHERE x > 0), none(y IN [] WHERE y)
RETURN CASE x WHEN 1 THEN 'a' WHEN 2 THEN 'b' ELSE 'c' END
RETURN {a: {b: [1, {c: $p}]}}.a
WITH 1 AS x WITH x WHERE x > 0 RETURN x
MATCH (a) OPTIONAL MATCH (a)-->(b) RETURN a, b
MERGE (n:A {x: 1}) ON CREATE SET n.y = 2
MATCH (n) SET n += {a: 1}, n:B REMOVE n.c DELETE n
RETURN [1, 2, 3][1..2], [1][0], n[$k]
MATCH (a) WHERE NOT EXISTS { (a)-[:R]->(:B {x: 1}), (a)--() } RETURN a
CALL db.labels() YIELD label RETURN label
CALL db.index.fulltext.queryNodes('i', $q) YIELD node AS n, score RETURN n, score
MATCH (n) CALL apoc.util.validate(n, 1) RETURN n)";
const std::vector<std::string> kValidSpecial = {
    "  \n\tMATCH (n) RETURN n\n  ", "MATCH (n) RETURN n ;\n",
    "// a\nMATCH (n) // b\nWHERE n.x // c\n> 1 RETURN n // d"};

// Valid in the extended language (the subset reads them otherwise or not at
// all).
constexpr std::string_view kValidExtended = R"(MATCH (a), (b) RETURN (a)-->(b) AS x
MATCH (a) WHERE (a)-[:R]->(:B) RETURN a
MATCH (a) RETURN [(a)-->(b) WHERE b.x > 1 | b.name]
MATCH (n) RETURN n {.name}
MATCH (n) RETURN n{.name, .*, x: 1, y}
RETURN x IS :: INTEGER, 1 :: STRING
RETURN 'a' || 'b' || 'c'
MATCH (n) RETURN COUNT { (n)-->() } AS c
MATCH (n) WHERE EXISTS { MATCH (n)-->(m) } RETURN n
MATCH (n:A|B) RETURN n
MATCH (n IS A) RETURN n
MATCH (n) RETURN n ORDER BY n.x OFFSET 1
RETURN reduce(acc = 0, x IN [1, 2, 3] | acc + x)
MATCH p = shortestPath((a)-[*]-(b)) RETURN p
RETURN 1e5, .5, 1E-3, 2.5e+2
MATCH (n) WHERE n:A RETURN n
MATCH (n) WHERE n:A:B AND NOT n:C RETURN n
MATCH (a WHERE a.x = 1)-[r:R WHERE r.w > 0]->(b:B {k: 1} WHERE b:C)<-[*2 WHERE true]-() RETURN a
MATCH (n) WHERE n :A AND n:`B c` RETURN n {.name, `k k`: n.x, .*, n} AS m
MATCH (a) WHERE EXISTS { (a)-->(b) WHERE b.x > 1 } RETURN COUNT { (a)--() WHERE a:B } AS c)";

// Syntax errors in both languages.
constexpr std::string_view kInvalid = R"(;
RETURN
RETURN 'abc
RETURN "abc
RETURN `abc
RETURN 1 +
MATCH (n RETURN n
MATCH (n) RETURN n,
RETURN [1, 2
RETURN {a 1}
RETURN CASE WHEN 1 THEN 2
MATCH (n) RETURN n ORDER n
RETURN 1 /* open
RETURN 1 AS
RETURN 'a' 'b'
RETURN 1 UNION
MATCH (n) RETURN n LIMIT)";
const std::vector<std::string> kInvalidSpecial = {"", "   ", "RETURN \xC3", "RETURN 1\xC3"};

// Either way, as the grammar has it: keywords glued to names, keywords used
// as names, corners of numbers and strings, whitespace outside ASCII. Only
// agreement is checked.
constexpr std::string_view kEither = R"(MATCH (n) RETURN n ASc
MATCH (n) RETURN n ASC
RETURN DISTINCTcount
RETURN n.name ASCENDING
RETURN 1 AS a UNION ALLx RETURN 1 AS a
RETURN 1 AS a UNION ALLRETURN 1 AS a
RETURN 1 AS a UNIONRETURN 1 AS a
MATCH (n) RETURN n SKIPn.x
MATCH (n) RETURN n LIMIT1
MATCH(n)RETURN(n)
MATCH (n)WHERE(n.x)RETURN n
RETURN CASE whenever WHEN 1 THEN 2 END
RETURN CASE WHEN(1) WHEN 1 THEN 2 END
RETURN CASE x WHEN 1 THEN 2 ELSEx END
RETURN 1 AS end
WITH 1 AS end RETURN end
RETURN count(*) AS count
MATCH (order:Order) RETURN order ORDER BY order
RETURN x ISNULL
RETURN x IS NULLx
RETURN x INx
RETURN x IN[1]
RETURN x ORy
RETURN x ANDy
RETURN notx
RETURN 1.
RETURN 007
RETURN 0x1F, 0X1f, 0o7
RETURN 1.5.x
RETURN 1..2
RETURN 9223372036854775808
RETURN -9223372036854775808
RETURN 9223372036854775807
RETURN 1e999
RETURN 'a\qb'
RETURN '\u00'
RETURN '\uD83D'
RETURN {a: 1, a: 2}
RETURN {`a`: 1, a: 2, A: 3}
RETURN $0
RETURN $`p q`
RETURN `a``b`
RETURN ``
RETURN 1;;
RETURN 1; RETURN 2
RETURN 1 // c
RETURN 1 /**/
RETURN 1 /* c */ + /* d */ 2
RETURN n. name
RETURN n .name
RETURN n.`name`.first
RETURN n:A
RETURN n :A:B
MATCH (a) WHERE EXISTS { (a)-->() WHERE a.x > 1 } RETURN a
MATCH (a) RETURN COUNT { (a)-->() WHERE a.x } AS c, count { (a)--() }
RETURN EXISTS { MATCH (a) RETURN a }, existsx { (a) }, exists((a)-->())
CALL db.labels() YIELD label AS count RETURN count
CALL db.labels() YIELD count AS c RETURN c
CALL db.labels() YIELD * RETURN label
CALL db.labels() YIELD label WHERE label <> 'x' RETURN label
CALL db.labels
CALL `db`.labels()
CALL db.create.thing()
CALL db. labels()
OPTIONAL CALL db.labels() YIELD label RETURN label
CALL { MATCH (n) RETURN n } RETURN n
CALLdb.labels()
MATCH (a WHEREx) RETURN a
MATCH (a WHERE) RETURN a
MATCH (WHERE a.x) RETURN 1
MATCH ()-[WHERE true]->() RETURN 1
MATCH (a:A WHERE a.x {k: 1}) RETURN a
MATCH (n) RETURN n{.name, end}, n{true: 1}, n{.*, .*}, collect{.x}, count{.x}
MATCH (n) WHERE n:A|B OR n:!C OR n:% OR n::INTEGER RETURN n
MATCH (n) RETURN n:A.x, n:A[0], (n:A):B
RETURN n: A
RETURN (a)-->(b)
RETURN n{.name}
RETURN x IS::INTEGER
RETURN exists(n.x)
RETURN all
RETURN count
RETURN count (*)
RETURN COUNT {(n)}
RETURN é
MATCH (é:Ünïcode) RETURN é)";
const std::vector<std::string> kEitherSpecial = {
    "RETURN 1 //c\n+ 2",  "\tRETURN\r\n1\f",
    "RETURN\u00A01",      "RETURN\u20031\u3000",
    "RETURN '\xC3'",      "RETURN 'a\xC3\xA9\xC3'",
    "RETURN 1 AS `\xC3`", std::string("RETURN x\0y", 10)};

// Nesting around the depth limit, and operator chains around the tree depth
// limit.
std::vector<std::string> deep_texts() {
  std::vector<std::string> texts;
  const std::pair<std::string_view, std::string_view> brackets[] = {
      {"(", ")"},  {"[", "]"},     {"{a: ", "}"}, {"CASE WHEN true THEN ", " END"},
      {"-(", ")"}, {"[x IN ", "]"}};
  for (const auto& [open, close] : brackets) {
    for (int depth = 238; depth <= 262; ++depth) {
      texts.push_back("RETURN " + repeat(open, depth) + "1" + repeat(close, depth));
    }
  }
  for (std::string_view op : {" + ", " AND ", " OR ", " XOR ", " * ", " - ", " ^ ", " < ", " = ",
                              " || ", " =~ ", " IN "}) {
    for (int n : {500, 990, 995, 998, 999, 1000, 1001, 1002, 1005, 1010, 1500}) {
      texts.push_back("RETURN a" + repeat(std::string(op) + "a", n - 1));
    }
  }
  for (std::string_view link : {".b", "[0]", ":A"}) {
    for (int n : {500, 995, 999, 1000, 1001, 1005}) texts.push_back("RETURN a" + repeat(link, n));
  }
  for (int n : {500, 995, 999, 1000, 1001, 1005}) {
    texts.push_back("RETURN " + repeat("NOT ", n) + "true");
  }
  return texts;
}

// Wide is not deep: thousands of list items, map entries, arguments,
// projection items, alternatives and SET items each hold a shallow tree, so
// the direct parser takes them all, the deepest item counting for them all.
TEST(DirectParser, TakesWideTextsWhateverTheirSize) {
  const std::string item = "a.b + [1, {k: 2}][0]";
  const std::string many = item + repeat(", " + item, 2999);
  std::string map = "{k0: " + item;
  for (int i = 1; i < 3000; ++i) map += ", k" + std::to_string(i) + ": " + item;
  map += "}";
  std::string alternatives;
  for (int i = 0; i < 1000; ++i) alternatives += " WHEN a = " + std::to_string(i) + " THEN " + item;
  std::string columns = item + " AS c0";
  for (int i = 1; i < 2000; ++i) columns += ", " + item + " AS c" + std::to_string(i);
  const std::string texts[] = {
      "UNWIND [" + many + "] AS x RETURN x",
      "RETURN " + map,
      "RETURN f(" + many + ")",
      "RETURN " + columns + " ORDER BY " + many,
      "RETURN CASE" + alternatives + " ELSE 0 END",
      "RETURN a {" + map.substr(1),
      "MATCH (a) SET a.x = " + item + repeat(", a.x = " + item, 2999),
      "MATCH (a) DELETE " + many,
  };
  for (const std::string& text : texts) {
    for (Language language : kLanguages) {
      if (language == Language::Subset && text.rfind("RETURN a {", 0) == 0) continue;
      EXPECT_TRUE(expect_agrees(text, language))
          << language_name(language) << ": " << text.substr(0, 80);
    }
  }
  // Depth still counts: an item holding a long chain is as deep as its
  // chain, however many shallow items stand beside it.
  const std::string chain = "a" + repeat(" + a", 1100);
  EXPECT_FALSE(expect_agrees("RETURN [" + many + ", " + chain + "]", Language::Extended));
}

// The parser reads names up to the end of its own copy of the text: a view
// that stops inside a longer buffer ends its last name, property read or
// call where the view ends, whatever bytes follow in the caller's buffer.
TEST(DirectParser, NamesEndWhereTheTextEnds) {
  const std::string buffer = "MATCH (n) RETURN n.name_and_more(x) ";
  const auto prefix = [&](std::string_view end) {
    return std::string_view(buffer.data(), buffer.find(end) + end.size());
  };
  const std::string node = "(match F(path - 0 -(node \"n\" [] - - -)) -)";
  const struct {
    std::string_view text;
    std::string tree;
  } cases[] = {
      {prefix("RETURN n"), "(query(single" + node + "(return F F(item (e7 \"n\") -) - -)))"},
      {prefix("n.na"),
       "(query(single" + node + "(return F F(item (e8 (e7 \"n\") \"na\") -) - -)))"},
      // A dotted run that reaches the end is a property read, even though a
      // parenthesis follows in the caller's buffer.
      {prefix("n.name_and_more"),
       "(query(single" + node + "(return F F(item (e8 (e7 \"n\") \"name_and_more\") -) - -)))"},
  };
  for (const auto& c : cases) {
    for (Language language : kLanguages) {
      auto parsed = parse(c.text, language);
      ASSERT_TRUE(parsed.ok()) << c.text;
      EXPECT_EQ(testing::tree_text(parsed.value()), c.tree) << c.text;
    }
  }
}

// Appends the lines of `text` and the texts of `special` to `out`, and
// returns them.
std::vector<std::string> group(std::string_view text, const std::vector<std::string>& special,
                               std::vector<std::string>& out) {
  std::vector<std::string> texts = lines_of(text);
  texts.insert(texts.end(), special.begin(), special.end());
  out.insert(out.end(), texts.begin(), texts.end());
  return texts;
}

TEST(DirectParser, AgreesOnHandMadeTexts) {
  std::vector<std::string> all = deep_texts();
  for (const std::string& text : group(kValid, kValidSpecial, all)) {
    for (Language language : kLanguages) {
      EXPECT_TRUE(check_with_matcher(text, language).ok())
          << language_name(language) << ": " << text;
    }
  }
  for (const std::string& text : group(kValidExtended, {}, all)) {
    EXPECT_TRUE(check_with_matcher(text, Language::Extended).ok()) << text;
  }
  for (const std::string& text : group(kInvalid, kInvalidSpecial, all)) {
    for (Language language : kLanguages) {
      EXPECT_FALSE(check_with_matcher(text, language).ok())
          << language_name(language) << ": " << text;
    }
  }
  group(kEither, kEitherSpecial, all);
  expect_all_agree(all);
}

TEST(DirectParser, DeepTextsStraddleTheLimits) {
  // The agreement checks near the limits mean something only if the limits
  // fall among the deep texts: 240 levels of nesting parse, 260 do not, and
  // 500-operand chains parse.
  const std::pair<std::string_view, std::string_view> brackets[] = {
      {"(", ")"}, {"[", "]"}, {"{a: ", "}"}, {"CASE WHEN true THEN ", " END"}};
  for (Language language : kLanguages) {
    for (const auto& [open, close] : brackets) {
      for (int depth : {240, 260}) {
        const std::string text = "RETURN " + repeat(open, depth) + "1" + repeat(close, depth);
        EXPECT_EQ(check_with_matcher(text, language).ok(), depth == 240)
            << language_name(language) << ": " << open << " x " << depth;
      }
    }
    for (std::string_view op : {" + ", " AND ", " OR ", " * "}) {
      EXPECT_TRUE(
          check_with_matcher("RETURN a" + repeat(std::string(op) + "a", 499), language).ok())
          << language_name(language) << ": " << op;
    }
  }
}

// Declined queries cost speed, not correctness, so this guards the fast
// path's reach: it must take at least 90% of the valid corpus queries.
TEST(DirectParser, TakesMostOfTheBenchmarkCorpus) {
  const std::vector<std::string> queries = bench_queries();
  ASSERT_GE(queries.size(), 40u);
  for (Language language : kLanguages) {
    int valid = 0;
    int taken = 0;
    std::string declined;
    for (const std::string& query : queries) {
      if (!check_with_matcher(query, language).ok()) continue;
      ++valid;
      if (expect_agrees(query, language)) {
        ++taken;
      } else {
        declined += "\n  " + query;
      }
    }
    EXPECT_GE(taken * 10, valid * 9) << language_name(language) << ": took " << taken << " of "
                                     << valid << " valid queries; declined:" << declined;
  }
}

}  // namespace
}  // namespace quorvane
