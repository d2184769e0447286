"""Findings of the command line: the diagnostics of a query, placed in the
file that holds it, and the table of rules (codes) they belong to.

``statement_findings`` turns a ``ValidationResult`` into findings for a
query read from a Cypher file. A diagnostic's line and column count from the
start of its query; a finding's count from the start of the file: lines
shift by the line the query starts on, and columns on the query's first line
by its column.

``record_findings`` does the same for a query read from one line of a JSON
Lines log: every finding is on the record's line, and its column counts the
characters of the query string (1 is its first character), wherever line
breaks fall inside the query.

Beside the codes of the validator (``quorvane.rules()``), the command line
reports codes of its own (``COMMAND_LINE_RULES``): ``bad-input-line`` for a
line of a log that holds no query.
"""

from __future__ import annotations

import re
from collections.abc import Iterable
from dataclasses import dataclass, field
from typing import Any, NamedTuple

from _quorvane import Diagnostic, ValidationResult

from quorvane.rules import Rule
from quorvane.statements import Statement

__all__ = [
    "BAD_INPUT_LINE",
    "COMMAND_LINE_RULES",
    "FileEdit",
    "Finding",
    "RuleInfo",
    "position_in",
    "record_findings",
    "rule_table",
    "statement_findings",
    "syntax_block_finding",
]

SYNTAX_ERROR = "syntax-error"
BAD_INPUT_LINE = "bad-input-line"

COMMAND_LINE_RULES: tuple[Rule, ...] = (
    Rule(
        BAD_INPUT_LINE,
        "error",
        "A line of a JSON Lines input (--input-format jsonl) that is not a JSON object "
        "with a string in the query field",
        '{"text": "MATCH (n) RETURN n"}',
        False,
    ),
)
"""The codes that only the command line reports, never a ``Diagnostic``."""


@dataclass(frozen=True)
class FileEdit:
    """A replacement of the text from (line, column) up to, not including,
    (end_line, end_column), in file coordinates; ``start`` and ``end`` are
    character offsets into the file's text."""

    line: int
    column: int
    end_line: int
    end_column: int
    start: int
    end: int
    replacement: str


@dataclass(frozen=True)
class Finding:
    """One diagnostic in file coordinates. ``end_line``/``end_column`` name the
    position just past the offending text. ``detail`` is the six-line
    pointer block of a syntax error, whose own positions count from the start
    of its query."""

    code: str
    severity: str
    message: str
    line: int
    column: int
    end_line: int
    end_column: int
    suggestion: str | None = None
    edits: tuple[FileEdit, ...] = field(default=())
    detail: str | None = None

    @property
    def is_error(self) -> bool:
        return self.severity == "error"

    def to_dict(self) -> dict[str, Any]:
        return {
            "code": self.code,
            "severity": self.severity,
            "message": self.message,
            "line": self.line,
            "column": self.column,
            "end_line": self.end_line,
            "end_column": self.end_column,
            "suggestion": self.suggestion,
            "edits": [
                {
                    "line": e.line,
                    "column": e.column,
                    "end_line": e.end_line,
                    "end_column": e.end_column,
                    "start": e.start,
                    "end": e.end,
                    "replacement": e.replacement,
                }
                for e in self.edits
            ],
        }


# ------------------------------------------------------------ positions


def position_in(text: str, index: int) -> tuple[int, int]:
    """The 1-based (line, column) of ``text[index]``, counting line feeds and
    characters, as the validator does."""
    index = max(0, min(index, len(text)))
    line = text.count("\n", 0, index) + 1
    line_start = text.rfind("\n", 0, index) + 1
    return line, index - line_start + 1


def shift(statement: Statement, line: int, column: int) -> tuple[int, int]:
    """A position relative to the statement, in file coordinates."""
    if line <= 1:
        return statement.line, statement.column + column - 1
    return statement.line + line - 1, column


def file_edit(statement: Statement, start: int, end: int, replacement: str) -> FileEdit:
    line, column = shift(statement, *position_in(statement.text, start))
    end_line, end_column = shift(statement, *position_in(statement.text, end))
    return FileEdit(
        line, column, end_line, end_column, statement.offset + start, statement.offset + end, replacement
    )


# --------------------------------------------------------- syntax blocks

_ARROW = re.compile(r" *--> (\d+):(\d+)")
_PARSE_PREFIX = "Parse error: "


class _Block(NamedTuple):
    line: int
    column: int
    headline: str
    block: str | None


def _parse_block(message: str) -> _Block | None:
    """A six-line syntax-error block: its position relative to the query, its
    headline and the block itself; None for another form of message."""
    if message.startswith(_PARSE_PREFIX):
        message = message[len(_PARSE_PREFIX) :]
    lines = message.split("\n")
    arrow = _ARROW.fullmatch(lines[0])
    if arrow is None or len(lines) != 6:
        return None
    headline = lines[5].lstrip()
    if headline.startswith("= "):
        headline = headline[2:]
    return _Block(int(arrow.group(1)), int(arrow.group(2)), headline, message)


def syntax_block_finding(statement: Statement, message: str) -> Finding:
    """A syntax error given as text (a six-line block, or a message with no
    position, which is placed at the statement's start)."""
    parsed = _parse_block(message)
    if parsed is None:
        if message.startswith(_PARSE_PREFIX):
            message = message[len(_PARSE_PREFIX) :]
        line, column = statement.line, statement.column
        return Finding(SYNTAX_ERROR, "error", message, line, column, line, column)
    line, column = shift(statement, parsed.line, parsed.column)
    return Finding(SYNTAX_ERROR, "error", parsed.headline, line, column, line, column + 1, detail=parsed.block)


# ---------------------------------------------------------- diagnostics


def _from_diagnostic(statement: Statement, diagnostic: Diagnostic, block: str | None, record: bool) -> Finding:
    if record:
        # A query of a log line: the file's characters are its JSON escaping,
        # so there is no edit to make in the file.
        line = end_line = statement.line
        column = statement.column + diagnostic.start
        end_column = statement.column + diagnostic.end
        edits: tuple[FileEdit, ...] = ()
    else:
        line, column = shift(statement, diagnostic.line, diagnostic.column)
        end_line, end_column = shift(statement, diagnostic.end_line, diagnostic.end_column)
        edits = tuple(file_edit(statement, e.start, e.end, e.replacement) for e in diagnostic.edits)
    parsed = _parse_block(block) if block is not None else None
    return Finding(
        str(diagnostic.code),
        str(diagnostic.severity),
        str(diagnostic.message),
        line,
        column,
        end_line,
        end_column,
        diagnostic.suggestion,
        edits,
        parsed.block if parsed is not None else None,
    )


def _findings(statement: Statement, result: ValidationResult, record: bool) -> list[Finding]:
    diagnostics = result.diagnostics
    blocks = result.syntax_errors
    return [
        _from_diagnostic(statement, d, blocks[i] if i < len(blocks) and d.code == SYNTAX_ERROR else None, record)
        for i, d in enumerate(diagnostics)
    ]


def statement_findings(statement: Statement, result: ValidationResult) -> list[Finding]:
    """The findings of one validated statement, in file coordinates: errors
    first, in the order of ``result.errors``, then warnings."""
    return _findings(statement, result, record=False)


def record_findings(statement: Statement, result: ValidationResult) -> list[Finding]:
    """The findings of one statement read from a line of a log: ``statement``
    has the line's number as its line and, as its column, 1 plus where the
    statement starts in the query string. Each finding is on that line, its
    column 1 plus its index in the query string; syntax errors keep their
    pointer block, and no finding has edits."""
    return _findings(statement, result, record=True)


# ---------------------------------------------------------------- rules


@dataclass(frozen=True)
class RuleInfo:
    code: str
    severity: str
    summary: str
    example: str
    needs_schema: bool


def _as_rule(rule: Any) -> RuleInfo:
    return RuleInfo(
        str(rule.code),
        str(rule.severity),
        str(rule.summary),
        str(getattr(rule, "example", "")),
        bool(rule.needs_schema),
    )


def rule_table(rules: Iterable[Any] | None = None) -> dict[str, RuleInfo]:
    """Every rule by its code: by default the module's, in its order, then the
    command line's own."""
    if rules is None:
        from quorvane.rules import rules as all_rules

        rules = [*all_rules(), *COMMAND_LINE_RULES]
    return {info.code: info for info in map(_as_rule, rules)}
