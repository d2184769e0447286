"""The ``quorvane`` command: check, inspect and generate Cypher queries.

``main(argv)`` runs one command and returns its exit status: 0 when every
query is fine, 1 when a query has a mistake, 2 for a usage error or input
that cannot be read. Messages about the run itself go to standard error,
prefixed "quorvane: "; findings go to standard output.
"""

from __future__ import annotations

import argparse
import json
import os
import re
import sys
from collections.abc import Sequence
from dataclasses import dataclass
from typing import TextIO

import _quorvane
from _quorvane import CypherValidator, Schema, ValidationResult, parse_query

import quorvane
from quorvane.schema_file import SchemaFileError, load_schema
from quorvane.statements import Statement, split_statements

__all__ = ["main"]

EXIT_OK = 0
EXIT_FINDINGS = 1
EXIT_USAGE = 2

STDIN_NAME = "<stdin>"
QUERY_ARG_NAME = "<query>"

# Above this many queries, and when standard error is a terminal, `check`
# validates in batches of this size and reports progress after each.
PROGRESS_BATCH = 5000


class UsageError(Exception):
    """Bad input to the command itself: exit status 2, message on stderr."""


@dataclass(frozen=True)
class Source:
    """One input: its name as shown in messages and its statements."""

    name: str
    statements: list[Statement]


@dataclass(frozen=True)
class Finding:
    line: int
    column: int
    message: str
    detail: str | None = None  # the six-line syntax-error block
    severity: str = "error"


# --------------------------------------------------------------- inputs


def read_text(path: str, stdin: TextIO) -> tuple[str, str]:
    """Reads one input (``-`` is standard input) as UTF-8; returns its display
    name and text. Line ends are kept as they are."""
    if path == "-":
        name = STDIN_NAME
        data = stdin.buffer.read() if hasattr(stdin, "buffer") else stdin.read().encode("utf-8")
    else:
        name = path
        try:
            with open(path, "rb") as f:
                data = f.read()
        except IsADirectoryError:
            raise UsageError(f"{path}: is a directory") from None
        except OSError as e:
            raise UsageError(f"{path}: cannot read: {e.strerror or e}") from None
    try:
        return name, data.decode("utf-8-sig")
    except UnicodeDecodeError as e:
        raise UsageError(f"{name}: not UTF-8 text (invalid byte at offset {e.start})") from None


def read_sources(paths: Sequence[str], stdin: TextIO) -> list[Source]:
    if paths.count("-") > 1:
        raise UsageError("standard input ('-') can be given only once")
    sources = []
    for path in paths:
        name, text = read_text(path, stdin)
        sources.append(Source(name, split_statements(text)))
    return sources


def short_path(path: os.PathLike[str]) -> str:
    """The path relative to the working directory when it lies below it."""
    try:
        relative = os.path.relpath(path)
    except ValueError:
        return os.fspath(path)
    return os.fspath(path) if relative.startswith(os.pardir) else relative


def open_schema(path: str) -> Schema:
    try:
        return load_schema(path)
    except SchemaFileError as e:
        raise UsageError(f"bad schema: {e}") from None
    except IsADirectoryError:
        raise UsageError(f"{path}: is a directory, not a schema file") from None
    except OSError as e:
        raise UsageError(f"{path}: cannot read schema: {e.strerror or e}") from None


# -------------------------------------------------------- error positions

_ARROW = re.compile(r" *--> (\d+):(\d+)")
_PARSE_PREFIX = "Parse error: "


def syntax_finding(statement: Statement, message: str) -> Finding:
    """Places a syntax error in the file. A six-line block names its position
    relative to the statement in its first line; anything else is placed at
    the statement's start."""
    if message.startswith(_PARSE_PREFIX):
        message = message[len(_PARSE_PREFIX) :]
    lines = message.split("\n")
    arrow = _ARROW.fullmatch(lines[0])
    if arrow is None or len(lines) != 6:
        return Finding(statement.line, statement.column, message)
    line, column = int(arrow.group(1)), int(arrow.group(2))
    if line == 1:
        column += statement.column - 1
    headline = lines[5].lstrip()
    if headline.startswith("= "):
        headline = headline[2:]
    return Finding(statement.line + line - 1, column, headline, message)


def result_findings(statement: Statement, result: ValidationResult) -> list[Finding]:
    findings = [syntax_finding(statement, m) for m in result.syntax_errors]
    findings += [Finding(statement.line, statement.column, m) for m in result.semantic_errors]
    findings += [Finding(statement.line, statement.column, m, severity="warning") for m in result.warnings]
    return findings


def print_finding(out: TextIO, source: str, finding: Finding) -> None:
    out.write(f"{source}:{finding.line}:{finding.column}: {finding.severity}: {finding.message}\n")
    if finding.detail is not None:
        out.write(finding.detail + "\n")


def plural(count: int, word: str, words: str | None = None) -> str:
    return f"{count} {word}" if count == 1 else f"{count} {words or word + 's'}"


# ---------------------------------------------------------------- check


class Progress:
    """Shows "checked N of M queries" on a terminal, overwriting itself."""

    def __init__(self, stream: TextIO, total: int) -> None:
        self.stream = stream
        self.total = total
        self.shown = False

    def update(self, done: int) -> None:
        self.stream.write(f"\rquorvane: checked {done} of {self.total} queries")
        self.stream.flush()
        self.shown = True

    def finish(self) -> None:
        if self.shown:
            self.stream.write("\r\x1b[K")
            self.stream.flush()


def validate_all(
    validator: CypherValidator, queries: list[str], progress: Progress | None
) -> list[ValidationResult]:
    """Validates the queries with validate_batch, results in input order; in
    batches when progress is shown."""
    if progress is None:
        return validator.validate_batch(queries)
    results: list[ValidationResult] = []
    for begin in range(0, len(queries), PROGRESS_BATCH):
        results += validator.validate_batch(queries[begin : begin + PROGRESS_BATCH])
        progress.update(len(results))
    progress.finish()
    return results


def run_check(args: argparse.Namespace, out: TextIO, err: TextIO, stdin: TextIO) -> int:
    if args.example:
        if args.files or args.schema:
            raise UsageError("--example takes neither --schema nor files")
        schema_path = short_path(quorvane.EXAMPLE_SCHEMA)
        paths = [short_path(quorvane.EXAMPLE_QUERIES)]
        err.write(f"quorvane: checking {paths[0]}\nquorvane: against the schema {schema_path}\n")
    else:
        if not args.schema:
            raise UsageError("check needs --schema SCHEMA.json (or --example)")
        if not args.files:
            raise UsageError("check needs at least one FILE ('-' reads standard input)")
        schema_path, paths = args.schema, args.files
    schema = open_schema(schema_path)
    sources = read_sources(paths, stdin)

    jobs = [(source.name, st) for source in sources for st in source.statements]
    progress = None
    if len(jobs) > PROGRESS_BATCH and err.isatty():
        progress = Progress(err, len(jobs))
    validator = CypherValidator(schema, language=args.language)
    results = validate_all(validator, [st.text for _, st in jobs], progress)

    with_errors = syntax_count = semantic_count = warning_count = 0
    for (name, statement), result in zip(jobs, results, strict=True):
        is_valid = result.is_valid
        if args.format == "json":
            record = {
                "file": name,
                "line": statement.line,
                "column": statement.column,
                "query": statement.text,
                "is_valid": is_valid,
                "syntax_errors": result.syntax_errors,
                "semantic_errors": result.semantic_errors,
                "warnings": result.warnings,
            }
            out.write(json.dumps(record, ensure_ascii=False) + "\n")
        warning_count += len(result.warnings)
        if is_valid and not result.warnings:
            continue
        with_errors += not is_valid
        syntax_count += len(result.syntax_errors)
        semantic_count += len(result.semantic_errors)
        if args.format == "text":
            for finding in result_findings(statement, result):
                print_finding(out, name, finding)

    if args.format == "text":
        summary = f"{plural(len(jobs), 'query', 'queries')} checked"
        if with_errors:
            counts = []
            if syntax_count:
                counts.append(plural(syntax_count, "syntax error"))
            if semantic_count:
                counts.append(plural(semantic_count, "schema error"))
            summary += f", {with_errors} with errors: " + ", ".join(counts)
        else:
            summary += ", no errors"
        if warning_count:
            summary += f" ({plural(warning_count, 'warning')})"
        out.write(summary + "\n")
    return EXIT_FINDINGS if with_errors else EXIT_OK


# -------------------------------------------------------------- inspect


def run_inspect(args: argparse.Namespace, out: TextIO, err: TextIO, stdin: TextIO) -> int:
    if args.query is not None:
        if args.files:
            raise UsageError("inspect takes either -q/--query or files, not both")
        # A query with nothing in it is still inspected, to show why it fails.
        statements = split_statements(args.query) or [Statement(args.query, 1, 1, 0)]
        sources = [Source(QUERY_ARG_NAME, statements)]
    elif args.files:
        sources = read_sources(args.files, stdin)
    else:
        raise UsageError("inspect needs -q QUERY or at least one FILE ('-' reads standard input)")

    failed = 0
    for source in sources:
        for statement in source.statements:
            info = parse_query(statement.text, language=args.language)
            if not info.is_valid:
                failed += 1
            if args.format == "json":
                record = {
                    "file": source.name,
                    "line": statement.line,
                    "column": statement.column,
                    "query": statement.text,
                    "is_valid": info.is_valid,
                    "labels_used": info.labels_used,
                    "rel_types_used": info.rel_types_used,
                    "properties_used": info.properties_used,
                    "errors": info.errors,
                }
                out.write(json.dumps(record, ensure_ascii=False) + "\n")
            elif not info.is_valid:
                for message in info.errors:
                    print_finding(out, source.name, syntax_finding(statement, message))
            else:
                out.write(f"{source.name}:{statement.line}:{statement.column}:\n")
                for title, names in (
                    ("labels", info.labels_used),
                    ("relationship types", info.rel_types_used),
                    ("properties", info.properties_used),
                ):
                    out.write(f"  {title + ':':<20}{', '.join(names) if names else '-'}\n")
    return EXIT_FINDINGS if failed else EXIT_OK


# ------------------------------------------------------------- generate


def seed_value(text: str) -> int:
    try:
        seed = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not an integer: {text!r}") from None
    if not 0 <= seed < 2**64:
        raise argparse.ArgumentTypeError(f"must be from 0 to 2**64 - 1, not {seed}")
    return seed


def count_value(text: str) -> int:
    try:
        count = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not an integer: {text!r}") from None
    if count < 0:
        raise argparse.ArgumentTypeError(f"must not be negative: {count}")
    return count


def generator_class() -> type[_quorvane.CypherGenerator]:
    try:
        return _quorvane.CypherGenerator
    except AttributeError:
        raise UsageError(
            f"the _quorvane module at {_quorvane.__file__} has no CypherGenerator"
        ) from None


def run_generate(args: argparse.Namespace, out: TextIO, err: TextIO, stdin: TextIO) -> int:
    generator_type = generator_class()
    types = generator_type.supported_types()
    if args.list_types:
        out.write("".join(t + "\n" for t in types))
        return EXIT_OK
    if args.type is None:
        raise UsageError("generate needs --type TYPE (see --list-types)")
    if args.type not in types:
        raise UsageError(f"unknown query type {args.type!r}; the types are: {', '.join(types)}")
    if args.example:
        if args.schema:
            raise UsageError("--example and --schema exclude each other")
        schema_path = str(quorvane.EXAMPLE_SCHEMA)
    elif args.schema:
        schema_path = args.schema
    else:
        raise UsageError("generate needs --schema SCHEMA.json (or --example)")
    generator = generator_type(open_schema(schema_path), args.seed)
    for _ in range(args.n):
        out.write(generator.generate(args.type) + ";\n")
    return EXIT_OK


# --------------------------------------------------------------- server

SERVER_INSTALL_HINT = 'the language server needs its extra packages: pip install "quorvane[server]"'


def run_server(args: argparse.Namespace, out: TextIO, err: TextIO, stdin: TextIO) -> int:
    """Runs the language server over standard input and output."""
    try:
        from quorvane.server.lsp import serve  # only this command needs pygls
    except ModuleNotFoundError as e:
        if e.name is None or e.name.split(".")[0] not in ("pygls", "lsprotocol", "cattrs"):
            raise
        err.write(f"quorvane: {SERVER_INSTALL_HINT}\n")
        return EXIT_USAGE
    serve()
    return EXIT_OK


# --------------------------------------------------------------- parser


LANGUAGE_HELP = (
    "the Cypher the queries are read as: 'extended' (the default here) accepts current Cypher "
    "(subqueries, pattern predicates, label expressions, map projections, quantified paths and "
    "more); 'subset' is the fixed language that the Python API reads by default"
)


def add_language_option(command: argparse.ArgumentParser) -> None:
    command.add_argument(
        "--language", choices=["subset", "extended"], default="extended", help=LANGUAGE_HELP
    )


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="quorvane",
        description="Check Cypher queries against a property-graph schema.",
        epilog="Run 'quorvane COMMAND --help' for the options of one command. "
        "'quorvane check --example' shows a first run on bundled example files.",
    )
    parser.add_argument("--version", action="version", version=f"quorvane {quorvane.__version__}")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND")
    commands.required = True

    check = commands.add_parser(
        "check",
        help="validate query files against a schema",
        description="Validate every query of the given files against a schema. A file holds "
        "one query, or several separated by ';'. Findings print as FILE:LINE:COL: error: "
        "MESSAGE (warnings as FILE:LINE:COL: warning: MESSAGE). Exit status: 0 when all queries "
        "are valid, 1 when any has an error, 2 for unreadable input or a bad schema.",
    )
    check.add_argument("--schema", metavar="SCHEMA.json", help="the schema file (JSON)")
    check.add_argument("files", nargs="*", metavar="FILE", help="query files; '-' reads standard input")
    check.add_argument(
        "--example",
        action="store_true",
        help="check the bundled example queries against the bundled movie schema",
    )
    check.add_argument(
        "--format",
        choices=["text", "json"],
        default="text",
        help="text: compiler-style findings and a summary (default); json: one JSON object per query",
    )
    add_language_option(check)
    check.set_defaults(run=run_check)

    inspect = commands.add_parser(
        "inspect",
        help="list the labels, relationship types and properties queries use",
        description="Parse queries without a schema and list the node labels, relationship "
        "types and property keys each one uses. Exit status 1 when a query does not parse.",
    )
    inspect.add_argument("-q", "--query", help="a query given on the command line")
    inspect.add_argument("files", nargs="*", metavar="FILE", help="query files; '-' reads standard input")
    inspect.add_argument(
        "--format", choices=["text", "json"], default="text", help="output format (default: text)"
    )
    add_language_option(inspect)
    inspect.set_defaults(run=run_inspect)

    generate = commands.add_parser(
        "generate",
        help="print random example queries that fit a schema",
        description="Print random queries of one type that fit a schema, one per line, each "
        "ending in ';' so that the output can be fed to 'quorvane check'.",
    )
    generate.add_argument("--schema", metavar="SCHEMA.json", help="the schema file (JSON)")
    generate.add_argument("--example", action="store_true", help="use the bundled movie schema")
    generate.add_argument("--type", metavar="TYPE", help="the query type (see --list-types)")
    generate.add_argument(
        "-n", type=count_value, default=1, metavar="N", help="how many queries (default: 1)"
    )
    generate.add_argument(
        "--seed",
        type=seed_value,
        metavar="S",
        help="seed from 0 to 2**64-1; the same seed and schema give the same queries",
    )
    generate.add_argument("--list-types", action="store_true", help="list the query types and exit")
    generate.set_defaults(run=run_generate)

    server = commands.add_parser(
        "server",
        help="run the language server for editors (LSP over standard input and output)",
        description="Run the quorvane language server, which talks LSP over standard input and "
        "output: diagnostics, quick fixes, completion and hover for .cypher files. The schema "
        "comes from [tool.quorvane] in the workspace's pyproject.toml or quorvane.toml, or from "
        'the editor\'s settings. Needs pip install "quorvane[server]".',
    )
    server.add_argument("--stdio", action="store_true", help="talk over standard input and output (the default)")
    server.set_defaults(run=run_server)
    return parser


def main(
    argv: Sequence[str] | None = None,
    *,
    stdout: TextIO | None = None,
    stderr: TextIO | None = None,
    stdin: TextIO | None = None,
) -> int:
    """Runs the command line ``argv`` (default: ``sys.argv[1:]``) and returns
    the exit status. The streams default to the process's own."""
    out = stdout if stdout is not None else sys.stdout
    err = stderr if stderr is not None else sys.stderr
    inp = stdin if stdin is not None else sys.stdin
    parser = build_parser()
    saved = sys.stdout, sys.stderr
    sys.stdout, sys.stderr = out, err  # argparse writes help and errors there
    try:
        args = parser.parse_args(argv)
    except SystemExit as e:
        return e.code if isinstance(e.code, int) else EXIT_USAGE
    finally:
        sys.stdout, sys.stderr = saved
    try:
        status: int = args.run(args, out, err, inp)
        out.flush()
        return status
    except UsageError as e:
        err.write(f"quorvane: error: {e}\n")
        return EXIT_USAGE
    except BrokenPipeError:
        # The reader went away (for example `quorvane check ... | head`): the
        # output is incomplete, so the run did not succeed. Point stdout at
        # /dev/null so that the interpreter's final flush stays quiet.
        if sys.__stdout__ is not None and out is sys.__stdout__:
            devnull = os.open(os.devnull, os.O_WRONLY)
            os.dup2(devnull, sys.__stdout__.fileno())
        return EXIT_FINDINGS
    except KeyboardInterrupt:
        err.write("\nquorvane: interrupted\n")
        return 130
