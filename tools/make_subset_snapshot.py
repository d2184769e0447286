"""Writes tests/data/subset_snapshot.jsonl: queries and what the subset makes
of each (validation against the benchmark's movie schema, and inspection),
readably and as a digest.

The snapshot is written once, by a build of the subset as it stood before
the extended language existed; tests/python/test_subset_snapshot.py then
checks that every later build still gives byte-identical results. The
queries are generated ones, the golden syntax cases, and small random edits
of both, so that most of them are near misses with syntax errors.

    PYTHONPATH=<build>/python/3.13 python3.13 tools/make_subset_snapshot.py
"""

import json
import os
import random
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "python"))

import _quorvane  # noqa: E402
import subset_digest  # noqa: E402

PIECES = ["(", ")", "[", "]", "{", "}", "-", "--", "->", "<-", ":", "|", ".", "..", "*", ",", " ",
          "'", "$", "=", "+", "e", "E", "0", "1.5", " AS ", " WHERE ", " IS ", " NOT ", "`", "!", "&"]


def mutate(query: str, rng: random.Random) -> str:
    if not query:
        return query
    at = rng.randrange(len(query))
    kind = rng.randrange(4)
    if kind == 0:
        return query[:at] + query[at + 1:]
    if kind == 1:
        return query[:at] + query[at] + query[at:]
    if kind == 2:
        return query[:at] + rng.choice(PIECES) + query[at:]
    if at + 1 < len(query):
        return query[:at] + query[at + 1] + query[at] + query[at + 2:]
    return query


def main() -> None:
    schema = subset_digest.bench_schema()
    generator = _quorvane.CypherGenerator(schema, seed=20261208)
    seeds = [generator.generate(t) for t in _quorvane.CypherGenerator.supported_types() for _ in range(40)]
    with open(os.path.join(ROOT, "tests", "data", "syntax_cases.jsonl"), encoding="utf-8") as f:
        golden = [json.loads(line)["query"] for line in f if line.strip()]
    seeds += golden[::3]
    rng = random.Random(8)
    queries = []
    for seed in seeds:
        queries.append(seed)
        for _ in range(2):
            queries.append(mutate(mutate(seed, rng), rng))
    validator = _quorvane.CypherValidator(schema)
    out = os.path.join(ROOT, "tests", "data", "subset_snapshot.jsonl")
    with open(out, "w", encoding="utf-8") as f:
        for query in queries:
            result = subset_digest.record(validator, query)
            digest = subset_digest.digest_of(result)
            f.write(json.dumps({"query": query, "digest": digest, "result": result}, ensure_ascii=False)
                    + "\n")
    print(f"{len(queries)} queries written to {out}", file=sys.stderr)


if __name__ == "__main__":
    main()
