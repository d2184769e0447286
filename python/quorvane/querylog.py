"""Query logs: the JSON Lines input of ``quorvane check --input-format jsonl``.

Each line holds one JSON object whose query field (``query`` unless named
otherwise) is a string of Cypher. ``iter_records`` reads such a text as it
arrives in pieces and gives, in order, each statement to check or, for a line
that holds no query, a ``bad-input-line`` finding:

- a statement's ``line`` is the number of its line in the log, its
  ``column`` 1 plus where it starts in the query string, and its ``offset``
  that same index (a query string may hold several statements separated by
  ``;``, and a trailing ``;`` is dropped, as in a Cypher file);
- a line that is not valid JSON, not an object, lacks the field, or whose
  field is not a string, gives one finding at that line;
- blank lines are skipped.

Only one line is held at a time.
"""

from __future__ import annotations

import json
from collections.abc import Iterable, Iterator
from typing import Any

from quorvane.extract import extract_statements
from quorvane.findings import BAD_INPUT_LINE, Finding
from quorvane.statements import Statement, split_statements

__all__ = ["DEFAULT_QUERY_FIELD", "iter_lines", "iter_records"]

DEFAULT_QUERY_FIELD = "query"


def iter_lines(chunks: Iterable[str]) -> Iterator[tuple[int, str]]:
    """Each line of the concatenated chunks with its number (from 1), without
    its line feed; only a line feed ends a line. A last line without a line
    feed counts; an empty text has no lines."""
    number = 0
    partial: list[str] = []  # the pieces of a line that spans chunks
    for chunk in chunks:
        start = 0
        while (end := chunk.find("\n", start)) != -1:
            number += 1
            if partial:
                partial.append(chunk[start:end])
                line = "".join(partial)
                partial = []
            else:
                line = chunk[start:end]
            yield number, line
            start = end + 1
        if start < len(chunk):
            partial.append(chunk[start:])
    if partial:
        yield number + 1, "".join(partial)


def _kind(value: Any) -> str:
    """A JSON value's kind, as a message names it."""
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "a boolean"
    if isinstance(value, (int, float)):
        return "a number"
    if isinstance(value, str):
        return "a string"
    if isinstance(value, list):
        return "an array"
    return "an object"


def _bad_line(number: int, line: str, message: str, column: int = 1) -> Finding:
    end = len(line.rstrip("\r")) + 1
    return Finding(BAD_INPUT_LINE, "error", message, number, column, number, max(end, column + 1))


def _record_query(number: int, line: str, field: str) -> str | Finding:
    """The query of one non-blank line, or the finding that it has none."""
    try:
        value = json.loads(line)
    except json.JSONDecodeError as e:
        return _bad_line(number, line, f"not valid JSON: {e.msg}", e.colno)
    except RecursionError:
        return _bad_line(number, line, "not valid JSON: nested too deeply")
    if not isinstance(value, dict):
        return _bad_line(number, line, f"expected a JSON object, found {_kind(value)}")
    if field not in value:
        return _bad_line(number, line, f"the object has no {json.dumps(field, ensure_ascii=False)} field")
    query = value[field]
    if not isinstance(query, str):
        return _bad_line(
            number, line, f"the {json.dumps(field, ensure_ascii=False)} field is {_kind(query)}, not a string"
        )
    return query


def iter_records(
    chunks: Iterable[str], field: str = DEFAULT_QUERY_FIELD, extract: bool = False
) -> Iterator[Statement | Finding]:
    """The statements to check of a JSON Lines text, and a finding for each
    line without a query, in order. With ``extract`` each query field holds a
    language model's answer, and the queries in it are checked (an answer
    without one gives nothing, as with ``extract_statements``)."""
    for number, line in iter_lines(chunks):
        if not line.strip():
            continue
        query = _record_query(number, line, field)
        if isinstance(query, Finding):
            yield query
            continue
        if extract:
            statements = extract_statements(query)
        else:
            # A query with nothing in it is still checked, to say why it fails.
            statements = split_statements(query) or [Statement(query, 1, 1, 0)]
        for statement in statements:
            yield Statement(statement.text, number, statement.offset + 1, statement.offset)
