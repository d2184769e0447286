"""The findings of a whole document.

A document holds statements separated by ``;`` (see ``split_statements``).
``Analyzer`` validates them with one ``validate_batch`` call and keeps the
findings of each statement text, so that after an edit only the statements
whose text changed are validated again. Findings carry string indices into
the document; turning them into editor positions is left to the caller.

``statement_findings`` is the one place that reads a ``ValidationResult``.
"""

from __future__ import annotations

import itertools
import threading
from collections.abc import Iterable, Sequence
from dataclasses import dataclass
from typing import Final

from _quorvane import CypherValidator, Schema, ValidationResult

from quorvane.rules import rules
from quorvane.server.settings import DEFAULT_LANGUAGE, Language
from quorvane.statements import split_statements

__all__ = [
    "Analysis",
    "Analyzer",
    "Edit",
    "Finding",
    "fix_all_edits",
    "schema_codes",
    "statement_findings",
]


@dataclass(frozen=True, slots=True)
class Edit:
    """Replace ``text[start:end]`` by ``replacement``."""

    start: int
    end: int
    replacement: str


@dataclass(frozen=True, slots=True)
class Finding:
    """One finding, with the span of the offending text as string indices."""

    code: str
    severity: str  # "error" or "warning"
    message: str
    start: int
    end: int
    suggestion: str | None = None
    edits: tuple[Edit, ...] = ()

    def shifted(self, offset: int) -> Finding:
        """The same finding with every index moved by ``offset``."""
        if not offset:
            return self
        return Finding(
            self.code,
            self.severity,
            self.message,
            self.start + offset,
            self.end + offset,
            self.suggestion,
            tuple(Edit(e.start + offset, e.end + offset, e.replacement) for e in self.edits),
        )


# ------------------------------------------------- reading a result


def statement_findings(result: ValidationResult) -> list[Finding]:
    """The findings of one statement from its validation result, errors
    first, with indices into the statement's text."""
    return [
        Finding(
            d.code,
            d.severity,
            d.message,
            d.start,
            d.end,
            d.suggestion,
            tuple(Edit(e.start, e.end, e.replacement) for e in d.edits),
        )
        for d in result.diagnostics
    ]


def schema_codes() -> frozenset[str]:
    """The codes of the rules that need a schema: dropped when the server
    checks without one."""
    return frozenset(r.code for r in rules() if r.needs_schema)


# ------------------------------------------------------ documents


@dataclass(frozen=True)
class Analysis:
    """The findings of one document and what it took to get them."""

    findings: list[Finding]
    """With indices into the document, in statement order."""
    statements: int
    """How many statements the document holds."""
    validated: int
    """How many distinct statement texts had to be validated (not cached)."""


_Key = tuple[str, frozenset[str] | None]


class Analyzer:
    """Validates documents against one schema (or none) in one language.

    Without a schema, statements are validated against an empty schema and
    the findings of rules that need a schema are dropped, so that syntax and
    the schema-free rules still report. Thread-safe.
    """

    # The cache is trimmed to the statements of the latest document when it
    # grows past this many entries beyond them.
    CACHE_SLACK: Final = 20000

    def __init__(self, schema: Schema | None, language: Language = DEFAULT_LANGUAGE) -> None:
        self.schema = schema
        self.language = language
        self._validator = CypherValidator(schema if schema is not None else Schema({}, {}), language=language)
        self._dropped = frozenset[str]() if schema is not None else schema_codes()
        # Keyed by a statement's text and the parameters its script set
        # before it (shell :param commands).
        self._cache: dict[_Key, tuple[Finding, ...]] = {}
        self._lock = threading.Lock()

    def _findings(self, keys: Sequence[_Key]) -> None:
        for parameters, run in itertools.groupby(keys, key=lambda key: key[1]):
            texts = [text for text, _ in run]
            results = self._validator.validate_batch(texts, parameters=parameters)
            for text, result in zip(texts, results, strict=True):
                found = tuple(f for f in statement_findings(result) if f.code not in self._dropped)
                self._cache[text, parameters] = found

    def analyze(self, document: str) -> Analysis:
        """The findings of every statement of ``document``."""
        statements = split_statements(document)
        keys = [(s.text, s.parameters) for s in statements]
        with self._lock:
            cache = self._cache
            missing = list(dict.fromkeys(key for key in keys if key not in cache))
            if missing:
                self._findings(missing)
            findings = [f.shifted(s.offset) for s, key in zip(statements, keys, strict=True) for f in cache[key]]
            if len(cache) > len(statements) + self.CACHE_SLACK:
                self._cache = {key: cache[key] for key in keys}
        return Analysis(findings, len(statements), len(missing))


def _overlap(a: Edit, b: Edit) -> bool:
    if a.start == b.start:
        return True
    return a.start < b.end and b.start < a.end


def fix_all_edits(findings: Iterable[Finding]) -> list[Edit]:
    """The edits of every finding that has some, in text order. The edits of
    one finding make one fix and are taken together or not at all: a finding
    whose edits touch text that an earlier finding's edits change is left
    out (its fix may no longer apply once the first is made)."""
    chosen: list[Edit] = []
    for finding in sorted((f for f in findings if f.edits), key=lambda f: min(e.start for e in f.edits)):
        if any(_overlap(e, c) for e in finding.edits for c in chosen):
            continue
        chosen.extend(finding.edits)
    return sorted(chosen, key=lambda e: (e.start, e.end))
