"""Everything the subset makes of one query, as a readable record and as a
digest of it, shared by the snapshot test and the tool that writes its
snapshot."""

import hashlib
import json
import os

import _quorvane

BENCH_SCHEMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench", "data",
                            "movies.schema.json")


def bench_schema():
    with open(BENCH_SCHEMA, encoding="utf-8") as f:
        d = json.load(f)
    return _quorvane.Schema(d["nodes"], {k: tuple(v) for k, v in d["relationships"].items()})


# The names of the fields of a record, in the order the digest takes them.
FIELDS = (
    "is_valid", "syntax_errors", "semantic_errors", "repr",
    "inspected_is_valid", "labels_used", "rel_types_used", "properties_used", "inspected_errors",
    "inspected_repr",
)


def record(validator, query: str) -> dict:
    """Everything the subset makes of one query: its validation result and its
    inspection, in full and readable."""
    result = validator.validate(query)
    info = _quorvane.parse_query(query)
    values = [
        result.is_valid, result.syntax_errors, result.semantic_errors, repr(result),
        info.is_valid, info.labels_used, info.rel_types_used, info.properties_used, info.errors,
        repr(info),
    ]
    return dict(zip(FIELDS, values, strict=True))


def digest_of(fields: dict) -> str:
    """16 hex digits of SHA-256 over a record's fields."""
    text = json.dumps([fields[name] for name in FIELDS], ensure_ascii=False)
    return hashlib.sha256(text.encode("utf-8")).hexdigest()[:16]


def digest(validator, query: str) -> str:
    """The digest of the query's record."""
    return digest_of(record(validator, query))
