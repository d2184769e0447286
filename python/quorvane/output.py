"""The output formats of ``quorvane check``.

Each format is a ``Reporter`` that is told about the files and queries as
they are checked and writes as it goes, so that a large input never has to be
held in memory:

- ``text``: ``FILE:LINE:COL: SEVERITY[CODE] MESSAGE`` per finding, a syntax
  error followed by its six-line pointer block, and a summary line;
- ``concise``: the same finding lines only;
- ``json``: one JSON document with every file and its diagnostics;
- ``json-lines``: one JSON object per query;
- ``sarif``: a SARIF 2.1.0 log;
- ``github``: workflow commands that GitHub Actions shows as annotations.

A line of a JSON Lines input that holds no query reaches a reporter through
``bad_input``, with its one ``bad-input-line`` finding and no query.
"""

from __future__ import annotations

import json
import os
import urllib.parse
from collections import Counter
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, TextIO

from _quorvane import ValidationResult

from quorvane.findings import SYNTAX_ERROR, Finding, RuleInfo
from quorvane.statements import Statement

__all__ = ["FORMATS", "Reporter", "Summary", "github_escape", "make_reporter", "sarif_uri"]

FORMATS = ("text", "concise", "json", "json-lines", "sarif", "github")

SARIF_SCHEMA = "https://json.schemastore.org/sarif-2.1.0.json"


def plural(count: int, word: str, words: str | None = None) -> str:
    return f"{count} {word}" if count == 1 else f"{count} {words or word + 's'}"


@dataclass
class Summary:
    """Counts over a whole run, of the findings reported."""

    files: int = 0
    queries: int = 0
    with_errors: int = 0
    syntax_errors: int = 0
    schema_errors: int = 0
    warnings: int = 0
    bad_input: int = 0
    by_code: Counter[str] = field(default_factory=Counter)

    def add(self, findings: list[Finding]) -> None:
        self.queries += 1
        errors = [f for f in findings if f.is_error]
        self.with_errors += bool(errors)
        self.syntax_errors += sum(f.code == SYNTAX_ERROR for f in errors)
        self.schema_errors += sum(f.code != SYNTAX_ERROR for f in errors)
        self.warnings += len(findings) - len(errors)
        self.by_code.update(f.code for f in findings)

    def add_bad_input(self, finding: Finding) -> None:
        """A line of the input that holds no query: not a query, but it fails
        the run as an error does."""
        self.bad_input += 1
        self.by_code[finding.code] += 1

    @property
    def failed(self) -> bool:
        """Whether a query has an error or a line of the input held no query."""
        return bool(self.with_errors or self.bad_input)

    def line(self) -> str:
        text = f"{plural(self.queries, 'query', 'queries')} checked"
        if self.with_errors:
            counts = []
            if self.syntax_errors:
                counts.append(plural(self.syntax_errors, "syntax error"))
            if self.schema_errors:
                counts.append(plural(self.schema_errors, "schema error"))
            text += f", {self.with_errors} with errors: " + ", ".join(counts)
        else:
            text += ", no errors"
        if self.warnings:
            text += f" ({plural(self.warnings, 'warning')})"
        if self.bad_input:
            text += f"; {plural(self.bad_input, 'input line')} without a query"
        return text

    def to_dict(self) -> dict[str, Any]:
        return {
            "files": self.files,
            "queries": self.queries,
            "queries_with_errors": self.with_errors,
            "syntax_errors": self.syntax_errors,
            "schema_errors": self.schema_errors,
            "warnings": self.warnings,
            "bad_input_lines": self.bad_input,
            "by_code": dict(sorted(self.by_code.items())),
        }


class Reporter:
    """Writes one format. The calls come in this order: ``start``; per file
    ``begin_file``, ``query`` per query, ``end_file``; ``finish``."""

    def __init__(self, out: TextIO, rules: dict[str, RuleInfo], statistics: bool = False) -> None:
        self.out = out
        self.rules = rules
        self.statistics = statistics

    def start(self) -> None:
        pass

    def begin_file(self, name: str) -> None:
        pass

    def query(
        self, name: str, statement: Statement, result: ValidationResult | None, findings: list[Finding]
    ) -> None:
        """One checked query with its findings (after --select/--ignore); the
        result is None for ``bad_input``."""

    def bad_input(self, name: str, finding: Finding) -> None:
        """A line of the input that holds no query, with its finding."""
        self.query(name, Statement("", finding.line, 1, 0), None, [finding])

    def end_file(self, name: str, queries: int) -> None:
        pass

    def finish(self, summary: Summary) -> None:
        pass

    def write_statistics(self, summary: Summary) -> None:
        """One line per code: how often it was reported, the code, and the
        rule's summary; most frequent first."""
        for code, count in sorted(summary.by_code.items(), key=lambda item: (-item[1], item[0])):
            rule = self.rules.get(code)
            self.out.write(f"{count:>6}  {code:<28}{rule.summary if rule else ''}".rstrip() + "\n")


class TextReporter(Reporter):
    detail = True
    summary = True

    def query(
        self, name: str, statement: Statement, result: ValidationResult | None, findings: list[Finding]
    ) -> None:
        if self.statistics:
            return
        for f in findings:
            self.out.write(f"{name}:{f.line}:{f.column}: {f.severity}[{f.code}] {f.message}\n")
            if self.detail and f.detail is not None:
                self.out.write(f.detail + "\n")

    def finish(self, summary: Summary) -> None:
        if self.statistics:
            self.write_statistics(summary)
        if self.summary or self.statistics:
            self.out.write(summary.line() + "\n")


class ConciseReporter(TextReporter):
    detail = False
    summary = False


class JsonReporter(Reporter):
    """One document: ``{"tool", "version", "files": [{"file", "queries",
    "diagnostics"}], "summary"}``, written as the files are checked."""

    def __init__(self, out: TextIO, rules: dict[str, RuleInfo], version: str) -> None:
        super().__init__(out, rules)
        self.version = version
        self.first_file = True
        self.first_item = True

    def start(self) -> None:
        self.out.write(f'{{"tool": "quorvane", "version": {json.dumps(self.version)}, "files": [')

    def begin_file(self, name: str) -> None:
        self.out.write(("" if self.first_file else ",") + f'\n  {{"file": {json.dumps(name, ensure_ascii=False)}, "diagnostics": [')
        self.first_file = False
        self.first_item = True

    def query(
        self, name: str, statement: Statement, result: ValidationResult | None, findings: list[Finding]
    ) -> None:
        for f in findings:
            item = f.to_dict()
            item["query_line"] = statement.line
            item["query_column"] = statement.column
            self.out.write(("" if self.first_item else ",") + "\n    " + json.dumps(item, ensure_ascii=False))
            self.first_item = False

    def end_file(self, name: str, queries: int) -> None:
        self.out.write(("" if self.first_item else "\n  ") + f'], "queries": {queries}}}')

    def finish(self, summary: Summary) -> None:
        self.out.write(("" if self.first_file else "\n") + f'], "summary": {json.dumps(summary.to_dict())}}}\n')


class JsonLinesReporter(Reporter):
    """One object per query: where it starts, its text, its results and its
    diagnostics."""

    def query(
        self, name: str, statement: Statement, result: ValidationResult | None, findings: list[Finding]
    ) -> None:
        if result is None:
            # A line without a query: no query, and the one finding.
            record: dict[str, Any] = {
                "file": name,
                "line": statement.line,
                "column": statement.column,
                "query": None,
                "is_valid": False,
                "syntax_errors": [],
                "semantic_errors": [],
                "warnings": [],
                "diagnostics": [f.to_dict() for f in findings],
            }
        else:
            record = {
                "file": name,
                "line": statement.line,
                "column": statement.column,
                "query": statement.text,
                "is_valid": result.is_valid,
                "syntax_errors": result.syntax_errors,
                "semantic_errors": result.semantic_errors,
                "warnings": result.warnings,
                "diagnostics": [f.to_dict() for f in findings],
            }
        self.out.write(json.dumps(record, ensure_ascii=False) + "\n")


def sarif_uri(name: str) -> str:
    """A file name as a SARIF artifact URI: a relative reference for a
    relative path, a file: URI for an absolute one."""
    if os.path.isabs(name):
        return Path(name).as_uri()
    return urllib.parse.quote(name.replace(os.sep, "/"))


def _region(line: int, column: int, end_line: int, end_column: int) -> dict[str, int]:
    return {"startLine": line, "startColumn": column, "endLine": end_line, "endColumn": end_column}


class SarifReporter(Reporter):
    """A SARIF 2.1.0 log with one run: the tool with its rules, then the
    results, written as the files are checked."""

    def __init__(self, out: TextIO, rules: dict[str, RuleInfo], version: str) -> None:
        super().__init__(out, rules)
        self.version = version
        self.index = {code: i for i, code in enumerate(rules)}
        self.first = True

    def start(self) -> None:
        rules = []
        for info in self.rules.values():
            rule: dict[str, Any] = {
                "id": info.code,
                "name": "".join(part.capitalize() for part in info.code.split("-")),
                "shortDescription": {"text": info.summary},
                "fullDescription": {"text": info.summary},
                "defaultConfiguration": {"level": info.severity},
                "properties": {"needs_schema": info.needs_schema},
            }
            if info.example:
                rule["help"] = {
                    "text": f"{info.summary} For example: {info.example}",
                    "markdown": f"{info.summary}\n\nFor example:\n\n```cypher\n{info.example}\n```",
                }
            else:
                rule["help"] = {"text": info.summary}
            rules.append(rule)
        driver = {
            "name": "quorvane",
            "version": self.version,
            "semanticVersion": self.version,
            "informationUri": "https://pypi.org/project/quorvane/",
            "rules": rules,
        }
        head = {"$schema": SARIF_SCHEMA, "version": "2.1.0"}
        self.out.write(json.dumps(head)[:-1] + ', "runs": [{"tool": {"driver": ' + json.dumps(driver))
        self.out.write('}, "columnKind": "unicodeCodePoints", "results": [')

    def query(
        self, name: str, statement: Statement, result: ValidationResult | None, findings: list[Finding]
    ) -> None:
        uri = sarif_uri(name)
        for f in findings:
            item: dict[str, Any] = {
                "ruleId": f.code,
                "level": f.severity,
                "message": {"text": f.message},
                "locations": [
                    {
                        "physicalLocation": {
                            "artifactLocation": {"uri": uri},
                            "region": _region(f.line, f.column, f.end_line, f.end_column),
                        }
                    }
                ],
            }
            if f.code in self.index:
                item["ruleIndex"] = self.index[f.code]
            if f.edits:
                item["fixes"] = [
                    {
                        "description": {"text": f.suggestion or "Apply the suggested change"},
                        "artifactChanges": [
                            {
                                "artifactLocation": {"uri": uri},
                                "replacements": [
                                    {
                                        "deletedRegion": _region(e.line, e.column, e.end_line, e.end_column),
                                        "insertedContent": {"text": e.replacement},
                                    }
                                    for e in f.edits
                                ],
                            }
                        ],
                    }
                ]
            self.out.write(("" if self.first else ",") + "\n  " + json.dumps(item, ensure_ascii=False))
            self.first = False

    def finish(self, summary: Summary) -> None:
        invocation = {"executionSuccessful": True}
        self.out.write(f'\n], "invocations": [{json.dumps(invocation)}]}}]}}\n')


def github_escape(text: str, in_property: bool = False) -> str:
    """Escapes a workflow command's message, or with ``in_property`` one of its
    properties, as GitHub Actions requires."""
    text = text.replace("%", "%25").replace("\r", "%0D").replace("\n", "%0A")
    if in_property:
        text = text.replace(":", "%3A").replace(",", "%2C")
    return text


class GithubReporter(Reporter):
    def query(
        self, name: str, statement: Statement, result: ValidationResult | None, findings: list[Finding]
    ) -> None:
        path = github_escape(name, in_property=True)
        for f in findings:
            command = "error" if f.is_error else "warning"
            properties = (
                f"file={path},line={f.line},col={f.column},endLine={f.end_line},"
                f"endColumn={f.end_column},title={github_escape(f.code, in_property=True)}"
            )
            self.out.write(f"::{command} {properties}::{github_escape(f.message)}\n")


def make_reporter(
    name: str, out: TextIO, rules: dict[str, RuleInfo], version: str, statistics: bool = False
) -> Reporter:
    if name == "text":
        return TextReporter(out, rules, statistics)
    if name == "concise":
        return ConciseReporter(out, rules, statistics)
    if name == "json":
        return JsonReporter(out, rules, version)
    if name == "json-lines":
        return JsonLinesReporter(out, rules)
    if name == "sarif":
        return SarifReporter(out, rules, version)
    if name == "github":
        return GithubReporter(out, rules)
    raise ValueError(f"unknown output format {name!r}")
