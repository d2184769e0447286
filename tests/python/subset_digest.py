"""The digest of everything the subset makes of one query, shared by the
snapshot test and the tool that writes its snapshot."""

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


def digest(validator, query: str) -> str:
    """16 hex digits of SHA-256 over the validation result and the inspection
    record, in full."""
    result = validator.validate(query)
    info = _quorvane.parse_query(query)
    record = [
        result.is_valid, result.syntax_errors, result.semantic_errors, repr(result),
        info.is_valid, info.labels_used, info.rel_types_used, info.properties_used, info.errors,
        repr(info),
    ]
    text = json.dumps(record, ensure_ascii=False)
    return hashlib.sha256(text.encode("utf-8")).hexdigest()[:16]
