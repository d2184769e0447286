#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/ from the benchmark queries, a
sample of the golden syntax cases and a few hand-made inputs. Re-run after
either data file changes; the output is deterministic."""

import json
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
CORPUS = os.path.join(HERE, "corpus")

# Inputs that have tripped parsers of this kind before: odd line breaks,
# comments, escapes, quoting, nesting, numbers and the statement forms.
TRICKY = [
    "",
    " \t\r\n",
    "RETURN 1",
    "RETURN 1;",
    "MATCH (n)\r\nRETURN n",
    "MATCH (n)\rRETURN n",
    "MATCH (n) // comment\nRETURN n",
    "MATCH (n) /* block */ RETURN n",
    "MATCH (n) /* unterminated RETURN n",
    "RETURN 'a\\'b', \"c\\\"d\", '\\u00e9\\n\\t'",
    "RETURN 0x1F, 0o17, 1e10, .5, 1.5e-3, -7",
    "MATCH (`my node`:`My Label` {`first name`: 'x'}) RETURN `my node`.`first name`",
    "MATCH (n:Caf\u00e9 {n\u00e4me: 1}) RETURN n",
    "RETURN [x IN [1, 2, 3] WHERE x > 1 | x * 2]",
    "RETURN x[x[x[1..2]..]..]",
    "RETURN [[[[[[[[[[1]]]]]]]]]]",
    "RETURN ((((((((((1))))))))))",
    "RETURN {a: {b: {c: {d: 1}}}}",
    "RETURN CASE WHEN true THEN CASE 1 WHEN 1 THEN 2 END ELSE 3 END",
    "MATCH p = (a)-[:T*1..3]->(b)<-[r:U|V]-(c)--(d) RETURN p",
    "MATCH (a)-[*]-(b) WHERE a.x IS NOT NULL AND NOT b.y STARTS WITH 'z' RETURN a",
    "OPTIONAL MATCH (n) WITH n ORDER BY n.x DESC SKIP 1 LIMIT 2 RETURN n",
    "UNWIND [1, 2] AS x RETURN x UNION ALL RETURN 3 AS x",
    "MERGE (n:A {k: 1}) ON CREATE SET n.c = 1 ON MATCH SET n.m = 2 RETURN n",
    "MATCH (n) SET n:Label, n += {a: 1} REMOVE n.b, n:Other DETACH DELETE n",
    "CALL db.labels() YIELD label RETURN label",
    "CALL db.labels()",
    "MATCH (n) WHERE EXISTS { MATCH (n)-->(m) WHERE m.x = 1 } RETURN n",
    "MATCH (n) WHERE any(x IN n.list WHERE x > 1) RETURN count(*)",
    "RETURN $param, $0, $`odd name`",
    "MATCH (n RETURN n",
    "MATCH (n)-[:]->(m) RETURN n",
    "RETURN 1 +",
    "MATCH (n) RETURN n.",
    "RETURN `unterminated",
    "RETURN 'unterminated",
    "RETURN a\x00b",
    "MATCH (n:\udcff\udcfe) RETURN n",  # invalid UTF-8 bytes
]

# Schema-fuzzer inputs: records split by 0x1E, fields by 0x1F; 'L' label,
# 'R' relationship type, 'Q' the names the checked query uses.
RS, US = "\x1e", "\x1f"


def record(kind, *fields):
    return kind + US.join(fields)


def schema_input(*records):
    return RS.join(records)


MOVIES = [
    record("L", "Person", "name", "born"),
    record("L", "Movie", "title", "released", "tagline"),
    record("L", "Genre", "name"),
    record("L", "User", "userId", "name", "email"),
    record("R", "ACTED_IN", "Person", "Movie", "roles"),
    record("R", "DIRECTED", "Person", "Movie"),
    record("R", "FOLLOWS", "Person", "Person"),
    record("R", "IN_GENRE", "Movie", "Genre"),
    record("R", "RATED", "User", "Movie", "rating", "timestamp"),
]

SCHEMA_SEEDS = {
    "empty": "",
    "movies": schema_input(*MOVIES),
    "movies_query_fits": schema_input(*MOVIES, record("Q", "Person", "ACTED_IN", "Movie", "name", "roles")),
    "movies_query_unknown_label": schema_input(*MOVIES, record("Q", "Persn", "ACTED_IN", "Movie", "name", "roles")),
    "movies_query_wrong_end": schema_input(*MOVIES, record("Q", "Movie", "ACTED_IN", "Person", "title", "roles")),
    "movies_query_unknown_key": schema_input(*MOVIES, record("Q", "Person", "RATED", "Movie", "nme", "x")),
    "awkward_names": schema_input(
        record("L", "My Label", "first name", "2nd", "order", "IN"),
        record("L", "2fast", "count", "x-y"),
        record("L", "n\u00e9", "\u00e9t\u00e9", "Return"),
        record("L", "Match", "where", "ASC"),
        record("L", "", ""),
        record("R", "HAS-PART", "My Label", "2fast"),
        record("R", "Create", "Match", "n\u00e9"),
        record("R", "", "", "Match"),
    ),
    "newlines_and_nul": schema_input(
        record("L", "line\nbreak", "a\rb", "nul\x00key"),
        record("L", "tab\there", "\r\n"),
        record("R", "T\nT", "line\nbreak", "tab\there", "p\nq"),
        record("Q", "line\nbreak", "T\nT", "tab\there", "a\rb", "p\nq"),
    ),
    "backtick_name": schema_input(record("L", "back`tick", "k"), record("R", "T", "back`tick", "back`tick")),
    "replaced_entries": schema_input(
        record("L", "A", "x"),
        record("L", "B", "y"),
        record("L", "A", "z"),
        record("R", "T", "A", "B", "w"),
        record("R", "T", "B", "A"),
        record("Q", "A", "T", "B", "x", "w"),
    ),
    "undeclared_ends": schema_input(record("L", "A", "p"), record("R", "T", "X", "Y")),
    "duplicate_keys": schema_input(record("L", "Dup", "x", "x", "y"), record("R", "SELF", "Dup", "Dup", "k", "k")),
    "labels_only": schema_input(record("L", "Solo"), record("L", "Other", "p")),
    "type_named_like_label": schema_input(
        record("L", "Same", "a"), record("R", "Same", "Same", "Same", "b"),
        record("Q", "Same", "Same", "Same", "a", "b"),
    ),
}


def write(directory, name, text):
    with open(os.path.join(directory, name), "wb") as f:
        f.write(text.encode("utf-8", "surrogateescape"))


def main():
    with open(os.path.join(REPO, "bench", "data", "queries.cypher"), encoding="utf-8") as f:
        bench = [line for line in f.read().splitlines() if line.strip()]
    with open(os.path.join(REPO, "tests", "data", "syntax_cases.jsonl"), encoding="utf-8") as f:
        golden = [json.loads(line) for line in f if line.strip()]
    # Every case with unusual characters, and every twenty-fifth of the rest.
    def unusual(q):
        return any(c in q for c in "\r\t`\\") or any(ord(c) > 127 for c in q)

    picked = [c["query"] for i, c in enumerate(golden) if unusual(c["query"]) or i % 25 == 0]

    queries = [("bench_%02d" % i, q) for i, q in enumerate(bench, 1)]
    queries += [("golden_%03d" % i, q) for i, q in enumerate(picked, 1)]
    queries += [("tricky_%02d" % i, q) for i, q in enumerate(TRICKY, 1)]

    for target in ("parse", "validate", "inspect"):
        directory = os.path.join(CORPUS, target)
        shutil.rmtree(directory, ignore_errors=True)
        os.makedirs(directory)
        for name, text in queries:
            write(directory, name, text)
    directory = os.path.join(CORPUS, "schema")
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)
    for name, text in SCHEMA_SEEDS.items():
        write(directory, name, text)


if __name__ == "__main__":
    main()
