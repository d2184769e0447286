"""The extended language's findings on the queries the project keeps, in a
readable form: one JSON line per query with its semantic findings (and its
warnings, when it has any), or the mark that it does not parse. Shared by the test and the tool that writes the
file."""

import json
import os

import _quorvane
import subset_digest

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
PINNED = os.path.join(DATA, "extended_findings.jsonl")


def queries():
    """The corpus, the snapshot's queries and the golden cases, each once, in
    that order."""
    seen = set()
    out = []

    def add(query):
        if query not in seen:
            seen.add(query)
            out.append(query)

    with open(os.path.join(os.path.dirname(subset_digest.BENCH_SCHEMA), "queries.cypher"),
              encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.strip():
                add(line)
    for name in ("subset_snapshot.jsonl", "syntax_cases.jsonl"):
        with open(os.path.join(DATA, name), encoding="utf-8") as f:
            for line in f:
                if line.strip():
                    add(json.loads(line)["query"])
    return out


def record(validator, query):
    result = validator.validate(query)
    if result.syntax_errors:
        return {"query": query, "parses": False}
    out = {"query": query, "findings": list(result.semantic_errors)}
    if result.warnings:
        out["warnings"] = list(result.warnings)
    return out


def current():
    validator = _quorvane.CypherValidator(subset_digest.bench_schema(), language="extended")
    return [record(validator, q) for q in queries()]


def lines(records):
    return [json.dumps(r, ensure_ascii=False) for r in records]


def write(records):
    with open(PINNED, "w", encoding="utf-8") as f:
        f.write("\n".join(lines(records)) + "\n")


def pinned():
    with open(PINNED, encoding="utf-8") as f:
        return [line for line in f.read().splitlines() if line]
