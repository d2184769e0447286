"""Safe fixes applied to whole files: each statement goes through
``CypherValidator.fix`` and is replaced where it stands, so everything
between statements (comments, blank lines, semicolons) is kept as written."""

from __future__ import annotations

import difflib
from typing import NamedTuple

from _quorvane import CypherValidator

from quorvane.statements import split_statements

__all__ = ["FixedText", "fix_text", "unified_diff"]


class FixedText(NamedTuple):
    text: str
    """The text with every safe fix applied."""
    applied: int
    """How many findings the fixes resolved."""


def fix_text(validator: CypherValidator, text: str) -> FixedText:
    """Applies the safe fixes of every statement of ``text``."""
    pieces: list[str] = []
    at = 0
    applied = 0
    for statement in split_statements(text):
        fixed = validator.fix(statement.text)
        if not fixed.applied:
            continue
        pieces.append(text[at : statement.offset])
        pieces.append(fixed.query)
        at = statement.offset + len(statement.text)
        applied += len(fixed.applied)
    pieces.append(text[at:])
    return FixedText("".join(pieces), applied)


def unified_diff(name: str, before: str, after: str) -> str:
    """The change from ``before`` to ``after`` as a unified diff."""
    lines = difflib.unified_diff(
        before.splitlines(keepends=True), after.splitlines(keepends=True), name, name
    )
    return "".join(line if line.endswith("\n") else line + "\n\\ No newline at end of file\n" for line in lines)
