"""Cypher queries out of a language model's answer.

A model asked for a query answers with prose around a Markdown code fence, a
bare query, or a query after a "Cypher:" label. ``extract_queries`` finds the
queries:

- the contents of fenced code blocks (three or more backticks or tildes)
  labelled ``cypher`` (or ``cql``, ``neo4j``, ``opencypher``, ``gql``);
- blocks labelled ``sql`` or unlabelled ones whose text reads like Cypher
  (a clause keyword first, and a pattern such as ``(n:Label)`` or
  ``-[:TYPE]->`` in it, or else, when it does not read as SQL, something that
  only code has, such as brackets, operators or a property access);
- when the answer has no such block, the answer itself if it reads like
  Cypher, or, failing that, the lines from the first one that starts with a
  clause keyword up to the first line of prose after them.

A leading "Cypher:" or "Query:" label (any case, possibly in bold) is dropped,
and so is a trailing semicolon; outside a fence, so is prose before the query
on its line ("Here is the query: MATCH ...") and the prose that follows it
(a line that starts with a word that is no Cypher keyword, or a list item).
``extract_statements`` gives the same queries, split into statements, with
their line and column in the answer. ``extract_cypher`` gives the one query
of an answer as a single string.
"""

from __future__ import annotations

import re
from typing import NamedTuple

from quorvane.statements import Statement, split_statements

__all__ = ["extract_cypher", "extract_queries", "extract_statements", "looks_like_cypher"]

CYPHER_LABELS = frozenset({"cypher", "cql", "neo4j", "opencypher", "gql"})
MAYBE_LABELS = frozenset({"", "sql", "text", "plaintext", "txt", "query"})

# An opening fence: indentation, three or more backticks or tildes, an info
# string. The closing fence is the same character at least as many times.
_FENCE = re.compile(r"^(?P<indent>[ \t]{0,3})(?P<fence>`{3,}|~{3,})[ \t]*(?P<info>[^\n`]*?)[ \t]*$", re.MULTILINE)

_PREFIX = re.compile(
    r"\A[ \t]*(?:\*\*|__)?(?:cypher(?:[ \t]+query)?|query|cql)[ \t]*:[ \t]*(?:\*\*|__)?[ \t]*(?:\r?\n)?",
    re.IGNORECASE,
)

_FIRST_CLAUSE = re.compile(
    r"\A(?://[^\n]*\n|/\*.*?\*/|\s)*"
    r"(?:OPTIONAL\s+MATCH|MATCH|MERGE|CREATE|UNWIND|WITH|RETURN|CALL|USE|LOAD\s+CSV|DETACH\s+DELETE|"
    r"DELETE|SET|REMOVE|FOREACH|EXPLAIN|PROFILE|SHOW)\b",
    re.IGNORECASE | re.DOTALL,
)
# (n:Label), (:Label {..}), -[:TYPE]->, -->, <--
_PATTERN = re.compile(r"\(\s*\w*\s*:\s*`?\w|\[\s*\w*\s*:\s*`?\w+`?[^\]]*\]\s*-|-->|<--|\)\s*-\s*\[")
# What code has and prose lacks: brackets, operators, parameters, property
# access, numbers, quoted strings.
_CODE = re.compile(r"[(){}\[\]$=<>+*]|\w\.\w|\b\d|'[^'\n]*'|\"[^\"\n]*\"")
# Prose before a query on its line: "Here is the query: MATCH ...".
_LEAD_IN = re.compile(
    r"[^\n`:]*:[ \t]+(?=(?:OPTIONAL\s+MATCH|MATCH|MERGE|CREATE|UNWIND|WITH|RETURN|CALL)\b)", re.IGNORECASE
)
# The words a line of a query may start with; a line that starts with another
# capitalised word followed by more words is prose.
_KEYWORDS = frozenset(
    """MATCH OPTIONAL WHERE RETURN WITH ORDER BY SKIP LIMIT OFFSET AND OR XOR NOT UNION ALL CALL YIELD
    CREATE MERGE SET REMOVE DELETE DETACH UNWIND FOREACH ON CASE WHEN THEN ELSE END AS DISTINCT USE
    LOAD IN IS STARTS ENDS CONTAINS EXISTS COUNT COLLECT ANY NONE SINGLE ASC DESC ASCENDING
    DESCENDING NULL TRUE FALSE FINISH FILTER LET NEXT SHOW EXPLAIN PROFILE""".split()
)
_WORDS = re.compile(r"(?P<word>[A-Z][A-Za-z']*)[,:]?[ \t]+[A-Za-z(\"']|[-*+][ \t]+[A-Za-z]|\d+[.)][ \t]+[A-Za-z]")
_SQL = re.compile(r"\b(?:SELECT|INSERT\s+INTO|CREATE\s+TABLE|ALTER\s+TABLE|DELETE\s+FROM)\b", re.IGNORECASE)


def looks_like_cypher(text: str) -> bool:
    """Whether a text reads as a Cypher query: it starts with a clause
    keyword and has a node or relationship pattern, or, when it does not read
    as SQL, something only code has (brackets, operators, a parameter, a
    property, a number or a string), so that a sentence starting "Match the
    ..." is not taken for a query."""
    if not _FIRST_CLAUSE.match(text):
        return False
    if _PATTERN.search(text):
        return True
    if _SQL.search(text):
        return False
    return _CODE.search(text) is not None


class _Piece(NamedTuple):
    text: str
    offset: int  # where the text starts in the answer


def _strip_prefix(piece: _Piece) -> _Piece:
    match = _PREFIX.match(piece.text)
    if match is None:
        return piece
    return _Piece(piece.text[match.end() :], piece.offset + match.end())


def _fenced_blocks(text: str) -> list[tuple[str, _Piece]]:
    """Every fenced block: its language label (lower case) and its contents."""
    blocks = []
    position = 0
    while (opening := _FENCE.search(text, position)) is not None:
        fence = opening.group("fence")
        info = opening.group("info").strip().split()
        label = info[0].lower().strip("{}.") if info else ""
        body_start = opening.end() + 1
        closing = re.compile(rf"^[ \t]{{0,3}}{re.escape(fence[0])}{{{len(fence)},}}[ \t]*$", re.MULTILINE)
        close = closing.search(text, min(body_start, len(text)))
        body_end = close.start() if close else len(text)
        blocks.append((label, _Piece(text[body_start:body_end] if body_start <= body_end else "", body_start)))
        position = close.end() if close else len(text)
    return blocks


_PROSE = re.compile(r"^[A-Z][a-z]+(?:\s+[a-z']+){3,}")  # a sentence: "This query finds all ..."


def _is_prose(line: str) -> bool:
    """Whether a line that follows a query is prose: a sentence, a line that
    starts with a capitalised word that is no Cypher keyword and goes on with
    more words, or a list item."""
    line = line.strip()
    if _PROSE.match(line) and not _FIRST_CLAUSE.match(line):
        return True
    words = _WORDS.match(line)
    if words is None:
        return False
    word = words.group("word")
    return word is None or word.upper() not in _KEYWORDS


def _until_prose(piece: _Piece) -> _Piece:
    """The piece up to its first line of prose after the first line."""
    lines = piece.text.splitlines(keepends=True)
    end = len(lines[0]) if lines else 0
    for following in lines[1:]:
        if _is_prose(following):
            break
        end += len(following)
    return _Piece(piece.text[:end], piece.offset)


def _query_lines(text: str) -> _Piece | None:
    """The lines from the first that starts with a clause keyword (or has one
    after a lead-in such as "Here is the query:"), up to the first line of
    prose after them."""
    lines = text.splitlines(keepends=True)
    offset = 0
    for line in lines:
        stripped = _strip_prefix(_Piece(line, offset))
        lead_in = _LEAD_IN.match(stripped.text)
        if lead_in is not None and not _FIRST_CLAUSE.match(stripped.text):
            stripped = _Piece(stripped.text[lead_in.end() :], stripped.offset + lead_in.end())
        if _FIRST_CLAUSE.match(stripped.text) and stripped.text.strip():
            piece = _until_prose(_Piece(text[stripped.offset :], stripped.offset))
            return piece if looks_like_cypher(piece.text) else None
        offset += len(line)
    return None


def _pieces(text: str) -> list[_Piece]:
    found = []
    for label, piece in _fenced_blocks(text):
        piece = _strip_prefix(piece)
        if label in CYPHER_LABELS or (label in MAYBE_LABELS and looks_like_cypher(piece.text)):
            if piece.text.strip():
                found.append(piece)
    if found or _fenced_blocks(text):
        return found
    whole = _strip_prefix(_Piece(text, 0))
    if looks_like_cypher(whole.text):
        return [_until_prose(whole)]
    lines = _query_lines(text)
    return [lines] if lines is not None else []


def extract_statements(text: str) -> list[Statement]:
    """The statements of the queries in a model's answer, with their line,
    column and offset in the answer."""
    statements = []
    for piece in _pieces(text):
        base_line = text.count("\n", 0, piece.offset) + 1
        base_column = piece.offset - (text.rfind("\n", 0, piece.offset) + 1) + 1
        for st in split_statements(piece.text):
            line = base_line + st.line - 1
            column = st.column + (base_column - 1 if st.line == 1 else 0)
            statements.append(Statement(st.text, line, column, piece.offset + st.offset))
    return statements


def extract_queries(text: str) -> list[str]:
    """The Cypher queries in a language model's answer, in order: the
    contents of Cypher code fences (and of unlabelled or ``sql`` ones that read
    as Cypher), else the answer itself when it reads as a query. A leading
    "Cypher:" or "Query:" label and a trailing semicolon are dropped; a block
    with several statements gives each."""
    return [st.text for st in extract_statements(text)]


def extract_cypher(text: str) -> str | None:
    """The query of a language model's answer, or None when it holds none.

    The query is the contents of the first Markdown code fence that holds
    Cypher (labelled ``cypher`` in any case, or unlabelled, or ``sql``, and
    reading as Cypher); with no fence, the answer itself, without the prose
    before and after the query. Comments and whitespace around the query,
    a leading "Cypher:" label and a trailing semicolon are dropped; a block
    of several statements is kept whole, with the semicolons between them.
    An answer whose fences hold no Cypher, or that is prose alone, gives
    None."""
    for piece in _pieces(text):
        statements = split_statements(piece.text)
        if statements:
            first, last = statements[0], statements[-1]
            return piece.text[first.offset : last.offset + len(last.text)]
    return None
