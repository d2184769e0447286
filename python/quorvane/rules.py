"""The diagnostic codes: one row per code a ``Diagnostic`` may carry."""

from __future__ import annotations

from typing import Literal, NamedTuple

import _quorvane

__all__ = ["Rule", "rules"]


class Rule(NamedTuple):
    """One diagnostic code with what it means."""

    code: str
    """The stable kebab-case code, as in ``Diagnostic.code``."""
    severity: Literal["error", "warning"]
    """The usual severity (``unknown-property`` is a warning where a label is only inferred)."""
    summary: str
    """What the rule finds, in one line."""
    example: str
    """A query the rule reports."""
    needs_schema: bool
    """Whether the rule compares the query with the schema."""


def rules() -> list[Rule]:
    """Every diagnostic code, in a fixed order."""
    return [Rule(code, severity, summary, example, needs_schema)  # type: ignore[arg-type]
            for code, severity, summary, example, needs_schema in _quorvane._rule_table()]
