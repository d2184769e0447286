// The movies schema of the benchmark data (bench/data/movies.schema.json),
// built in code for the tests, benchmarks and fuzz targets that need no files
// at run time.
#ifndef QUORVANE_TESTS_SUPPORT_MOVIES_SCHEMA_H_
#define QUORVANE_TESTS_SUPPORT_MOVIES_SCHEMA_H_

#include "schema/schema.h"

namespace quorvane::testing {

inline Schema movies_schema() {
  Schema schema;
  schema.add_node_label("Person", {"name", "born"});
  schema.add_node_label("Movie", {"title", "released", "tagline"});
  schema.add_node_label("Genre", {"name"});
  schema.add_node_label("User", {"userId", "name", "email"});
  schema.add_rel_type("ACTED_IN", "Person", "Movie", {"roles"});
  schema.add_rel_type("DIRECTED", "Person", "Movie", {});
  schema.add_rel_type("PRODUCED", "Person", "Movie", {});
  schema.add_rel_type("WROTE", "Person", "Movie", {});
  schema.add_rel_type("REVIEWED", "Person", "Movie", {"summary", "rating"});
  schema.add_rel_type("FOLLOWS", "Person", "Person", {});
  schema.add_rel_type("IN_GENRE", "Movie", "Genre", {});
  schema.add_rel_type("RATED", "User", "Movie", {"rating", "timestamp"});
  return schema;
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_SUPPORT_MOVIES_SCHEMA_H_
