// Whole-generator behaviour: fixed sequences for a movies-like schema,
// construction and seeding, and how awkward schema names are written.
#include "generator/cypher_generator.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "schema/schema.h"

namespace quorvane {
namespace {

Schema movies() {
  Schema schema;
  schema.add_node_label("Person", {"name", "born"});
  schema.add_node_label("Movie", {"title", "released", "tagline"});
  schema.add_node_label("Genre", {"name"});
  schema.add_node_label("User", {"userId", "name", "email"});
  schema.add_node_label("Tag", {});
  schema.add_rel_type("ACTED_IN", "Person", "Movie", {"roles"});
  schema.add_rel_type("DIRECTED", "Person", "Movie", {});
  schema.add_rel_type("FOLLOWS", "Person", "Person", {});
  schema.add_rel_type("IN_GENRE", "Movie", "Genre", {});
  schema.add_rel_type("RATED", "User", "Movie", {"rating"});
  return schema;
}

// The expected texts and final states in this file come from a separate
// Python implementation of the generator written from the algorithm
// descriptions alone, run on the same schema and seeds.

TEST(FixedSequences, SeedFortyTwoThreeRoundsOfEveryType) {
  const std::vector<std::string> expected = {
      "MATCH (n:Tag) RETURN n LIMIT 50",
      "MATCH (n:User) WHERE n.email = \"Alice\" RETURN n.email",
      "CREATE (n:Movie {title: \"Carol\", released: true, tagline: \"Carol\"}) RETURN n",
      "MERGE (n:Genre {name: false}) RETURN n",
      "MATCH (n:Tag) RETURN count(n) AS result",
      "MATCH (a:Person)-[r:ACTED_IN]->(b:Movie) RETURN a, r, b",
      "MATCH (a:User),(b:Movie) CREATE (a)-[r:RATED]->(b) RETURN r",
      "MATCH (n:Genre) SET n.name = $id RETURN n",
      "MATCH (n:User) DETACH DELETE n",
      "MATCH (n:Movie) WITH n.tagline AS val RETURN count(*)",
      "MATCH (n:User) RETURN DISTINCT n.email",
      "MATCH (n:Genre) RETURN n ORDER BY n.name DESC LIMIT 24",
      "MATCH (n:Genre) UNWIND n.name AS item RETURN item",
      "MATCH (n:Genre) RETURN n",
      "MATCH (n:User) WHERE n.userId = \"Alice\" RETURN n.userId",
      "CREATE (n:Person {name: $limit, born: false}) RETURN n",
      "MERGE (n:Tag) RETURN n",
      "MATCH (n:Movie) RETURN count(n.title) AS result",
      "MATCH (a:Person)-[r:ACTED_IN]->(b:Movie) RETURN a, r, b",
      "MATCH (a:User),(b:Movie) CREATE (a)-[r:RATED]->(b) RETURN r",
      "MATCH (n:Person) SET n.name = \"Alice\" RETURN n",
      "MATCH (n:Movie) DETACH DELETE n",
      "MATCH (n:Tag) WITH n AS val RETURN count(*)",
      "MATCH (n:Movie) RETURN DISTINCT n.released",
      "MATCH (n:Person) RETURN n ORDER BY n.name",
      "MATCH (n:Movie) UNWIND n.released AS item RETURN item",
      "MATCH (n:Genre) RETURN n LIMIT 36",
      "MATCH (n:Movie) WHERE n.title = \"Bob\" RETURN n.title LIMIT 12",
      "CREATE (n:Tag) RETURN n",
      "MERGE (n:Movie {title: false, tagline: $value, released: 29}) RETURN n",
      "MATCH (n:Genre) RETURN count(n.name) AS result",
      "MATCH (a:Movie)-[r:IN_GENRE]->(b:Genre) RETURN a, r, b",
      "MATCH (a:Person),(b:Movie) CREATE (a)-[r:DIRECTED]->(b) RETURN r",
      "MATCH (n:Genre) SET n.name = \"Neo4j\" RETURN n",
      "MATCH (n:Tag) DETACH DELETE n",
      "MATCH (n:Tag) WITH n AS val RETURN count(*)",
      "MATCH (n:Movie) RETURN DISTINCT n.tagline",
      "MATCH (n:Movie) RETURN n ORDER BY n.released DESC",
      "MATCH (n:Movie) UNWIND n.released AS item RETURN item",
  };
  CypherGenerator generator(movies(), 42);
  const auto& types = CypherGenerator::supported_types();
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(generator.generate(types[i % types.size()]).value(), expected[i]) << "call " << i;
  }
  // 141 steps in all.
  EXPECT_EQ(generator.rng().state(),
            (RandomSource::State{0xe108c8cf7964a8d7ULL, 0x65ff04de42ab5b04ULL,
                                 0xc59721821619ab96ULL, 0x087b5beb7fd8934cULL}));
}

TEST(FixedSequences, SeedFiveOptionalUnwindListsAndOrdering) {
  const std::vector<std::pair<std::string, std::string>> calls = {
      {"match_relationship", "MATCH (a:Person)-[r:DIRECTED]->(b:Movie) RETURN a, r, b"},
      {"match_relationship", "OPTIONAL MATCH (a:Person)-[r:ACTED_IN]->(b:Movie) RETURN a, r, b"},
      {"match_relationship", "MATCH (a:Person)-[r:FOLLOWS]->(b:Person) RETURN a, r, b"},
      {"match_relationship", "OPTIONAL MATCH (a:Person)-[r:FOLLOWS]->(b:Person) RETURN a, r, b"},
      {"unwind", "UNWIND [$limit, $id, false, false] AS item RETURN item"},
      {"unwind", "MATCH (n:Person) UNWIND n.born AS item RETURN item"},
      {"unwind", "UNWIND [$name, $id] AS item RETURN item"},
      {"unwind", "UNWIND [\"Carol\", $value] AS item RETURN item"},
      {"create", "CREATE (n:Tag) RETURN n"},
      {"create", "CREATE (n:Tag) RETURN n"},
      {"create", "CREATE (n:Movie {released: $id}) RETURN n"},
      {"order_by", "MATCH (n:Person) RETURN n ORDER BY n.born DESC"},
      {"order_by", "MATCH (n:Tag) RETURN n ORDER BY n LIMIT 32"},
      {"order_by", "MATCH (n:Tag) RETURN n ORDER BY n"},
      {"match_where_return",
       "MATCH (n:Movie) WHERE n.released = $value RETURN n.released LIMIT 38"},
      {"match_where_return", "MATCH (n:Person) WHERE n.name = $value RETURN n.name"},
  };
  CypherGenerator generator(movies(), 5);
  for (const auto& [type, text] : calls) EXPECT_EQ(generator.generate(type).value(), text);
  // 68 steps in all.
  EXPECT_EQ(generator.rng().state(),
            (RandomSource::State{0xaec6c632d3e730ebULL, 0x4d39f5bbfe3fe0b3ULL,
                                 0xff8e8c2cd1cd633cULL, 0xa2135649cfb3a357ULL}));
}

TEST(Construction, FieldsFollowTheSchema) {
  CypherGenerator generator(movies(), 0);
  EXPECT_EQ(generator.labels(),
            (std::vector<std::string>{"Person", "Movie", "Genre", "User", "Tag"}));
  EXPECT_EQ(generator.rel_types(),
            (std::vector<std::string>{"ACTED_IN", "DIRECTED", "FOLLOWS", "IN_GENRE", "RATED"}));
  EXPECT_EQ(generator.label_props("User"), (std::vector<std::string>{"userId", "name", "email"}));
  EXPECT_TRUE(generator.label_props("Tag").empty());
  EXPECT_TRUE(generator.label_props("Nope").empty());
  EXPECT_TRUE(generator.schema().has_rel_type("RATED"));
  EXPECT_EQ(generator.rng(), RandomSource::from_seed(0));
}

TEST(Construction, SeededFactoryMatchesTheSeededConstructor) {
  Result<CypherGenerator> made = CypherGenerator::create(movies(), 42);
  ASSERT_TRUE(made.ok());
  CypherGenerator direct(movies(), 42);
  EXPECT_EQ(made->rng(), direct.rng());
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(made->generate("create").value(), direct.generate("create").value());
  }
}

TEST(Construction, ExtremeSeedsAreValid) {
  CypherGenerator max_seed(movies(), std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(max_seed.rng().state()[0], 0xe4d971771b652c20ULL);
  CypherGenerator zero_seed(movies(), 0);
  EXPECT_NE(max_seed.rng(), zero_seed.rng());
}

TEST(Construction, UnseededGeneratorsDrawFromTheSystem) {
  Result<CypherGenerator> first = CypherGenerator::create(movies(), std::nullopt);
  Result<CypherGenerator> second = CypherGenerator::create(movies(), std::nullopt);
  ASSERT_TRUE(first.ok()) << first.error().message;
  ASSERT_TRUE(second.ok()) << second.error().message;
  EXPECT_NE(first->rng(), second->rng());
  EXPECT_TRUE(first->generate("match_return").ok());
}

TEST(Construction, GeneratorKeepsItsOwnSchemaCopy) {
  Schema schema = movies();
  CypherGenerator generator(schema, 1);
  schema.add_node_label("Added", {"x"});
  EXPECT_FALSE(generator.schema().has_node_label("Added"));
  EXPECT_EQ(generator.labels().size(), 5u);
}

TEST(Determinism, SameSeedSameSequenceAndCopiesAreIndependent) {
  const Schema schema = movies();
  CypherGenerator a(schema, 1234);
  CypherGenerator b(schema, 1234);
  for (int round = 0; round < 50; ++round) {
    for (std::string_view type : CypherGenerator::supported_types()) {
      ASSERT_EQ(a.generate(type).value(), b.generate(type).value());
    }
  }
  CypherGenerator copy = a;
  const std::string from_copy = copy.generate("unwind").value();
  EXPECT_EQ(a.generate("unwind").value(), from_copy);
}

// --- Relationship types with several or no endpoint pairs -------------------

TEST(EndpointPairs, PatternsUseTheFirstPairAndDrawTheSame) {
  Schema several = movies();
  several.add_rel_type("ACTED_IN", {{"Person", "Movie"}, {"User", "Genre"}}, {"roles"});
  CypherGenerator with_pairs(several, 42);
  CypherGenerator one_pair(movies(), 42);
  for (int round = 0; round < 20; ++round) {
    for (std::string_view type : CypherGenerator::supported_types()) {
      ASSERT_EQ(with_pairs.generate(type).value(), one_pair.generate(type).value());
    }
  }
  EXPECT_EQ(with_pairs.rng(), one_pair.rng());
}

TEST(EndpointPairs, ATypeWithoutPairsJoinsUnlabelledNodes) {
  Schema schema;
  schema.add_node_label("Page", {});
  schema.add_rel_type("LINKS", std::vector<Schema::Endpoints>{}, {});
  CypherGenerator generator(schema, 5);
  const std::string plain = "MATCH (a)-[r:LINKS]->(b) RETURN a, r, b";
  for (int round = 0; round < 20; ++round) {
    const std::string match = generator.generate("match_relationship").value();
    EXPECT_TRUE(match == plain || match == "OPTIONAL " + plain) << match;
    EXPECT_EQ(generator.generate("create_relationship").value(),
              "MATCH (a),(b) CREATE (a)-[r:LINKS]->(b) RETURN r");
  }
}

TEST(EndpointPairs, SavedRandomSourceContinuesTheSequence) {
  CypherGenerator original(movies(), 9);
  original.generate("match_return").value();
  CypherGenerator resumed(movies(), original.rng());
  for (std::string_view type : CypherGenerator::supported_types()) {
    EXPECT_EQ(resumed.generate(type).value(), original.generate(type).value());
  }
}

// --- Names that are not plain ------------------------------------------------

TEST(AwkwardNames, LabelsKeysAndTypesAreBackticked) {
  Schema schema;
  schema.add_node_label("My Label", {"first name"});
  schema.add_rel_type("HAS-PART", "My Label", "2fast", {});
  CypherGenerator generator(schema, 3);

  EXPECT_EQ(generator.generate("match_delete").value(), "MATCH (n:`My Label`) DETACH DELETE n");
  EXPECT_EQ(generator.generate("aggregation").value(),
            "MATCH (n:`My Label`) RETURN count(n.`first name`) AS result");
  EXPECT_EQ(generator.generate("with_chain").value(),
            "MATCH (n:`My Label`) WITH n.`first name` AS val RETURN count(*)");
  EXPECT_EQ(generator.generate("create_relationship").value(),
            "MATCH (a:`My Label`),(b:`2fast`) CREATE (a)-[r:`HAS-PART`]->(b) RETURN r");
  const std::string where = generator.generate("match_where_return").value();
  EXPECT_EQ(where.rfind("MATCH (n:`My Label`) WHERE n.`first name` = ", 0), 0u) << where;
  EXPECT_NE(where.find(" RETURN n.`first name`"), std::string::npos) << where;
  const std::string created = generator.generate("create").value();
  EXPECT_EQ(created.rfind("CREATE (n:`My Label` {`first name`: ", 0), 0u) << created;
}

TEST(AwkwardNames, QuotingChangesNoDraws) {
  Schema awkward;
  awkward.add_node_label("n\xC3\xA9", {"first name", "2nd"});
  awkward.add_rel_type("HAS-PART", "n\xC3\xA9", "n\xC3\xA9", {});
  Schema plain;
  plain.add_node_label("ne", {"first_name", "second"});
  plain.add_rel_type("HAS_PART", "ne", "ne", {});
  CypherGenerator quoted(awkward, 77);
  CypherGenerator unquoted(plain, 77);
  for (int round = 0; round < 30; ++round) {
    for (std::string_view type : CypherGenerator::supported_types()) {
      std::string text = quoted.generate(type).value();
      for (auto [from, to] : {std::pair<std::string, std::string>{"`n\xC3\xA9`", "ne"},
                              {"`first name`", "first_name"},
                              {"`2nd`", "second"},
                              {"`HAS-PART`", "HAS_PART"}}) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
          text.replace(at, from.size(), to);
          at += to.size();
        }
      }
      ASSERT_EQ(text, unquoted.generate(type).value());
    }
  }
  EXPECT_EQ(quoted.rng(), unquoted.rng());
}

TEST(AwkwardNames, PickNodePropReturnsTheKeyAsStored) {
  Schema schema;
  schema.add_node_label("L", {"first name"});
  CypherGenerator generator(schema, 0);
  EXPECT_EQ(generator.pick_node_prop("L"), "first name");
  EXPECT_EQ(generator.gen_property_map("L").rfind(" {`first name`: ", 0), 0u);
}

TEST(AwkwardNames, ReservedWordsAreWrittenPlain) {
  Schema schema;
  schema.add_node_label("Match", {"count"});
  CypherGenerator generator(schema, 0);
  EXPECT_EQ(generator.generate("match_delete").value(), "MATCH (n:Match) DETACH DELETE n");
  EXPECT_EQ(generator.generate("aggregation").value(),
            "MATCH (n:Match) RETURN count(n.count) AS result");
}

}  // namespace
}  // namespace quorvane
