"""The ``quorvane`` command: check, inspect and generate Cypher queries.

``main(argv)`` runs one command and returns its exit status: 0 when every
query is fine, 1 when a query has a mistake, 2 for a usage error, a bad
configuration or input that cannot be read. Messages about the run itself go
to standard error, prefixed "quorvane: "; findings go to standard output.
"""

from __future__ import annotations

import argparse
import contextlib
import importlib
import io
import itertools
import json
import os
import stat
import sys
from collections.abc import Callable, Iterable, Iterator, Sequence
from dataclasses import dataclass
from typing import Any, BinaryIO, TextIO

import _quorvane
from _quorvane import CypherValidator, Schema, parse_query

import quorvane
from quorvane.config import Config, ConfigError, discover_files, load_config, load_config_file
from quorvane.extract import extract_statements
from quorvane.fixing import fix_text, unified_diff
from quorvane.findings import (
    COMMAND_LINE_RULES,
    SYNTAX_ERROR,
    Finding,
    RuleInfo,
    record_findings,
    rule_table,
    statement_findings,
    syntax_block_finding,
)
from quorvane.output import FORMATS, Summary, make_reporter, plural
from quorvane.querylog import DEFAULT_QUERY_FIELD, iter_records
from quorvane.schema_file import SchemaFileError, load_schema
from quorvane.statements import Statement, split_statements
from quorvane.stream import NotUtf8Error, iter_statements, read_chunks

__all__ = ["main"]

EXIT_OK = 0
EXIT_FINDINGS = 1
EXIT_USAGE = 2

STDIN_NAME = "<stdin>"
QUERY_ARG_NAME = "<query>"

# `check` validates this many queries at a time (with validate_batch), and on
# a terminal moves its progress bar after each batch. Only one batch of
# queries and their results is held at a time.
PROGRESS_BATCH = 5000
# The progress bar shows only once a run has taken this many seconds.
PROGRESS_DELAY = 1.0
# ... and redraws itself at most this often (seconds).
PROGRESS_INTERVAL = 0.1

INPUT_FORMATS = ("cypher", "jsonl")

# The worker pool of validate_batch is sized from this variable when the
# process first validates a batch (see README, "Parallelism").
POOL_SIZE_VARIABLE = "RAYON_NUM_THREADS"


class UsageError(Exception):
    """Bad input to the command itself: exit status 2, message on stderr."""


@dataclass(frozen=True)
class Source:
    """One input: its name as shown in messages and its statements."""

    name: str
    statements: list[Statement]


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


def short_path(path: os.PathLike[str] | str) -> str:
    """The path relative to the working directory when it lies below it."""
    try:
        relative = os.path.relpath(path)
    except ValueError:
        return os.fspath(path)
    return os.fspath(path) if relative.startswith(os.pardir) else relative


def open_schema(path: str, configured_in: str | None = None) -> Schema:
    """The schema of a file; ``configured_in`` names the configuration file
    that set its path, for the messages."""
    where = f" (the schema set in {configured_in})" if configured_in else ""
    try:
        return load_schema(path)
    except SchemaFileError as e:
        raise UsageError(f"bad schema: {e}{where}") from None
    except IsADirectoryError:
        raise UsageError(f"{path}: is a directory, not a schema file{where}") from None
    except OSError as e:
        raise UsageError(f"{path}: cannot read schema: {e.strerror or e}{where}") from None


def print_finding(out: TextIO, source: str, finding: Finding) -> None:
    out.write(f"{source}:{finding.line}:{finding.column}: {finding.severity}[{finding.code}] {finding.message}\n")
    if finding.detail is not None:
        out.write(finding.detail + "\n")


# ---------------------------------------------------------------- check


class Counted:
    """A binary stream that counts the bytes read from it (for the progress
    bar)."""

    def __init__(self, stream: BinaryIO) -> None:
        self.stream = stream
        self.count = 0

    def read(self, size: int = -1, /) -> bytes:
        data = self.stream.read(size)
        self.count += len(data)
        return data


def progress_bar(err: TextIO, total: int | None, quiet: bool) -> Any | None:
    """A tqdm progress bar over the bytes of the input, on ``err``; None when
    ``err`` is not a terminal, with ``quiet``, or when tqdm is not installed.
    It appears only once the run has taken PROGRESS_DELAY seconds."""
    if quiet or not err.isatty():
        return None
    try:
        tqdm = importlib.import_module("tqdm").tqdm  # imported only when a bar is wanted
    except ImportError:
        return None
    return tqdm(
        total=total,
        file=err,
        desc="quorvane",
        unit="B",
        unit_scale=True,
        unit_divisor=1024,
        delay=PROGRESS_DELAY,
        mininterval=PROGRESS_INTERVAL,
        leave=False,
        dynamic_ncols=True,
    )


def input_size(paths: Sequence[str]) -> int | None:
    """The bytes of all inputs, when all are regular files."""
    total = 0
    for path in paths:
        if path == "-":
            return None
        try:
            info = os.stat(path)
        except OSError:
            return None
        if not stat.S_ISREG(info.st_mode):
            return None
        total += info.st_size
    return total


def jobs_value(text: str) -> int:
    try:
        jobs = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not an integer: {text!r}") from None
    if jobs < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, not {jobs}")
    return jobs


@contextlib.contextmanager
def pool_size(jobs: int | None) -> Iterator[None]:
    """Sizes the worker pool for ``jobs`` threads while the run lasts. The pool
    reads the setting when the process first validates a batch, so this bounds
    the threads of a fresh process, such as the ``quorvane`` command's."""
    if jobs is None:
        yield
        return
    saved = os.environ.get(POOL_SIZE_VARIABLE)
    os.environ[POOL_SIZE_VARIABLE] = str(jobs)
    try:
        yield
    finally:
        if saved is None:
            del os.environ[POOL_SIZE_VARIABLE]
        else:
            os.environ[POOL_SIZE_VARIABLE] = saved


def batch_validator(validator: CypherValidator, jobs: int | None) -> Callable[[list[Statement]], list[Any]]:
    """Validates a list of statements: on the calling thread alone with one
    job, else with validate_batch on the worker pool. Each statement is
    checked against the parameters its script has set before it, if any."""

    def validate(statements: list[Statement]) -> list[Any]:
        results: list[Any] = []
        # Runs of statements after the same :param commands share one call.
        for parameters, run in itertools.groupby(statements, key=lambda s: s.parameters):
            queries = [statement.text for statement in run]
            if jobs == 1:
                results.extend(validator.validate(query, parameters=parameters) for query in queries)
            else:
                results.extend(validator.validate_batch(queries, parameters=parameters))
        return results

    return validate


def code_list(text: str) -> list[str]:
    """A comma-separated list of codes (an option's value)."""
    return [code.strip() for code in text.split(",") if code.strip()]


@dataclass(frozen=True)
class Settings:
    """What one `check` run does, from its options and configuration."""

    config: Config
    schema: str | None
    language: str
    select: frozenset[str] | None
    ignore: frozenset[str]
    rules: dict[str, RuleInfo]

    def keeps(self, finding: Finding, schema_free: bool) -> bool:
        """Whether a finding is reported. Syntax errors always are."""
        if finding.code == SYNTAX_ERROR:
            return True
        rule = self.rules.get(finding.code)
        if schema_free and rule is not None and rule.needs_schema:
            return False
        if self.select is not None and finding.code not in self.select:
            return False
        return finding.code not in self.ignore


def check_codes(codes: Iterable[str], rules: dict[str, RuleInfo], option: str) -> frozenset[str]:
    chosen = frozenset(codes)
    for code in sorted(chosen):
        if code not in rules:
            raise UsageError(f"{option}: unknown code {code!r}; the codes are: {', '.join(rules)}")
    return chosen


def config_start(args: argparse.Namespace) -> str:
    """Where the search for a configuration file starts: the folder of the
    first file named (or of --stdin-filename for standard input), else the
    working directory."""
    stdin_name: str | None = args.stdin_filename
    files: list[str] = args.files
    for path in files:
        if path != "-":
            return os.path.dirname(os.path.abspath(path))
        if stdin_name:
            return os.path.dirname(os.path.abspath(stdin_name))
    if stdin_name:
        return os.path.dirname(os.path.abspath(stdin_name))
    return os.getcwd()


def settings_for(args: argparse.Namespace) -> Settings:
    rules = rule_table()
    try:
        if args.isolated:
            config = Config(root=os.getcwd())
        elif args.config:
            config = load_config_file(args.config, list(rules))
        else:
            config = load_config(config_start(args), list(rules))
    except ConfigError as e:
        raise UsageError(f"bad configuration: {e}") from None
    select = config.select
    if args.select is not None:
        select = tuple(itertools.chain.from_iterable(map(code_list, args.select)))
    ignore = config.ignore
    if args.ignore is not None:
        ignore = tuple(itertools.chain.from_iterable(map(code_list, args.ignore)))
    if SYNTAX_ERROR in ignore:
        raise UsageError("syntax errors cannot be ignored")
    return Settings(
        config=config,
        schema=args.schema or config.schema,
        language=args.language or config.language or "extended",
        select=None if select is None else check_codes(select, rules, "--select"),
        ignore=check_codes(ignore, rules, "--ignore"),
        rules=rules,
    )


def check_inputs(paths: Sequence[str]) -> None:
    """Refuses unreadable inputs before anything is checked."""
    if list(paths).count("-") > 1:
        raise UsageError("standard input ('-') can be given only once")
    for path in paths:
        if path == "-":
            continue
        try:
            with open(path, "rb"):
                pass
        except IsADirectoryError:
            raise UsageError(f"{path}: is a directory") from None
        except OSError as e:
            raise UsageError(f"{path}: cannot read: {e.strerror or e}") from None


def binary_stdin(stdin: TextIO) -> BinaryIO:
    if hasattr(stdin, "buffer"):
        buffer: BinaryIO = stdin.buffer
        return buffer
    return io.BytesIO(stdin.read().encode("utf-8"))


def items_of(stream: Counted, args: argparse.Namespace) -> Iterator[Statement | Finding]:
    """What one input holds, read piece by piece: its statements, and with
    ``--input-format jsonl`` a finding for each line without a query. With
    ``--extract``, the queries found in a model's answer (a whole Cypher
    input is one answer; each query field of a log is one)."""
    if args.input_format == "jsonl":
        yield from iter_records(read_chunks(stream), args.query_field, args.extract)
    elif args.extract:
        yield from extract_statements("".join(read_chunks(stream)))
    else:
        yield from iter_statements(read_chunks(stream))


def batches(items: Iterable[Statement | Finding], size: int) -> Iterator[list[Statement | Finding]]:
    """The items in lists of ``size`` (the last may be shorter)."""
    iterator = iter(items)
    while batch := list(itertools.islice(iterator, size)):
        yield batch


def run_check(args: argparse.Namespace, out: TextIO, err: TextIO, stdin: TextIO) -> int:
    if args.statistics and args.output_format not in (None, "text", "concise"):
        raise UsageError("--statistics goes with the text and concise formats only")
    if args.input_format == "jsonl" and (args.fix or args.diff):
        raise UsageError("--fix and --diff work on Cypher files only, not with --input-format jsonl")
    if args.query_field is not None and args.input_format != "jsonl":
        raise UsageError("--query-field goes with --input-format jsonl")
    if args.query_field is None:
        args.query_field = DEFAULT_QUERY_FIELD
    # Notes about the run (not errors) go to stderr unless --quiet.
    info: Callable[[str], object] = (lambda _text: None) if args.quiet else err.write
    if args.example:
        if args.files or args.schema or args.config:
            raise UsageError("--example takes neither --schema, --config nor files")
        if args.input_format == "jsonl":
            raise UsageError("--example is a Cypher file; it does not go with --input-format jsonl")
        args.isolated = True
        args.schema = str(quorvane.EXAMPLE_SCHEMA)
        info(
            f"quorvane: checking {short_path(quorvane.EXAMPLE_QUERIES)}\n"
            f"quorvane: against the schema {short_path(args.schema)}\n"
        )
    settings = settings_for(args)
    if args.example:
        paths = [short_path(quorvane.EXAMPLE_QUERIES)]
    elif args.files:
        paths = list(args.files)
    elif args.stdin_filename:
        paths = ["-"]
    else:
        paths = [short_path(p) for p in discover_files(settings.config)]
        if not paths:
            patterns = ", ".join(settings.config.include)
            info(f"quorvane: no query files ({patterns}) found below {short_path(settings.config.root) or '.'}\n")
    check_inputs(paths)

    schema_free = settings.schema is None
    if schema_free:
        schema = Schema({}, {})
        info(
            "quorvane: no schema given (--schema) or configured; schema checks skipped, "
            "only syntax and schema-free checks run\n"
        )
    else:
        assert settings.schema is not None
        from_config = args.schema is None and settings.config.path is not None
        schema = open_schema(settings.schema, short_path(settings.config.path or "") if from_config else None)
    validator = CypherValidator(schema, language=settings.language)  # type: ignore[arg-type]
    if args.diff:
        return show_fixes(validator, paths, args, out, stdin)
    if args.fix:
        apply_fixes(validator, paths, args, out, info, stdin)
        if paths == ["-"]:
            return EXIT_OK

    reporter = make_reporter(
        args.output_format or "text", out, settings.rules, quorvane.__version__, args.statistics
    )
    summary = Summary()
    validate = batch_validator(validator, args.jobs)
    placed = record_findings if args.input_format == "jsonl" else statement_findings
    bar = progress_bar(err, input_size(paths), args.quiet)
    read = 0  # bytes of the inputs read so far, for the bar
    reporter.start()
    try:
        with pool_size(args.jobs):
            for path in paths:
                if path == "-":
                    name = args.stdin_filename or STDIN_NAME
                    stream = Counted(binary_stdin(stdin))
                else:
                    name = path
                    stream = Counted(open(path, "rb"))  # closed below
                summary.files += 1
                reporter.begin_file(name)
                before = summary.queries
                try:
                    for batch in batches(items_of(stream, args), PROGRESS_BATCH):
                        results = iter(validate([item for item in batch if isinstance(item, Statement)]))
                        for item in batch:
                            if isinstance(item, Finding):
                                if settings.keeps(item, schema_free):
                                    summary.add_bad_input(item)
                                    reporter.bad_input(name, item)
                                continue
                            result = next(results)
                            findings = [f for f in placed(item, result) if settings.keeps(f, schema_free)]
                            summary.add(findings)
                            reporter.query(name, item, result, findings)
                        if bar is not None:
                            bar.set_postfix_str(plural(summary.queries, "query", "queries"), refresh=False)
                            moved = read + stream.count - bar.n
                            if moved:
                                bar.update(moved)
                            else:  # the same bytes, more queries
                                bar.refresh()
                except NotUtf8Error as e:
                    raise UsageError(f"{name}: {e}") from None
                finally:
                    if path != "-":
                        stream.stream.close()
                read += stream.count
                reporter.end_file(name, summary.queries - before)
    finally:
        if bar is not None:
            bar.close()
    reporter.finish(summary)
    if args.exit_zero:
        return EXIT_OK
    return EXIT_FINDINGS if summary.failed else EXIT_OK


def fixed_inputs(
    validator: CypherValidator, paths: Sequence[str], args: argparse.Namespace, stdin: TextIO
) -> Iterator[tuple[str, str, str, int]]:
    """Each input's name, text and text with the safe fixes applied, and how
    many findings those fix."""
    for path in paths:
        name, text = read_text(path, stdin)
        if path == "-" and args.stdin_filename:
            name = args.stdin_filename
        fixed = fix_text(validator, text)
        yield name, text, fixed.text, fixed.applied


def show_fixes(
    validator: CypherValidator, paths: Sequence[str], args: argparse.Namespace, out: TextIO, stdin: TextIO
) -> int:
    """--diff: the changes --fix would make, as a unified diff; status 1 when
    there are any."""
    changed = False
    for name, text, fixed, _ in fixed_inputs(validator, paths, args, stdin):
        if fixed != text:
            changed = True
            out.write(unified_diff(name, text, fixed))
    return EXIT_FINDINGS if changed else EXIT_OK


def apply_fixes(
    validator: CypherValidator,
    paths: Sequence[str],
    args: argparse.Namespace,
    out: TextIO,
    info: Callable[[str], object],
    stdin: TextIO,
) -> None:
    """--fix: rewrites each file with its safe fixes (standard input goes to
    standard output, fixed); what remains is then checked as usual. ``info``
    writes the note about each file fixed."""
    for (name, text, fixed, applied), path in zip(fixed_inputs(validator, paths, args, stdin), paths, strict=True):
        if path == "-":
            out.write(fixed)
            continue
        if fixed == text:
            continue
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(fixed)
        info(f"quorvane: {name}: fixed {plural(applied, 'finding')}\n")


# ---------------------------------------------------------------- rules


def run_rules(args: argparse.Namespace, out: TextIO, err: TextIO, stdin: TextIO) -> int:
    table = [*quorvane.rules(), *COMMAND_LINE_RULES]
    if args.format == "json":
        json.dump([rule._asdict() for rule in table], out, indent=2)
        out.write("\n")
        return EXIT_OK
    width = max(len(rule.code) for rule in table)
    for rule in table:
        schema = "  (needs a schema)" if rule.needs_schema else ""
        out.write(f"{rule.code:<{width}}  {rule.severity:<7}  {rule.summary}{schema}\n")
        out.write(f"{'':<{width}}  {'':<7}  e.g. {rule.example}\n")
    return EXIT_OK


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
                    print_finding(out, source.name, syntax_block_finding(statement, message))
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


def add_language_option(command: argparse.ArgumentParser, default: str | None = "extended") -> None:
    command.add_argument("--language", choices=["subset", "extended"], default=default, help=LANGUAGE_HELP)


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
        "one query, or several separated by ';'. With no FILE, the *.cypher and *.cql files below "
        "the configuration's folder (or the working directory) are checked. Settings come from "
        "[tool.quorvane] in the nearest pyproject.toml or a quorvane.toml, searched upward; options "
        "override them. Without a schema only syntax and schema-free checks run. Findings print as "
        "FILE:LINE:COL: SEVERITY[CODE] MESSAGE. Exit status: 0 when no query has an error (or with "
        "--exit-zero), 1 when any has one, 2 for a usage error, a bad configuration, unreadable "
        "input or a bad schema.",
    )
    check.add_argument("--schema", metavar="SCHEMA.json", help="the schema file (JSON)")
    check.add_argument(
        "files", nargs="*", metavar="FILE", help="query files; '-' reads standard input"
    )
    check.add_argument(
        "--example",
        action="store_true",
        help="check the bundled example queries against the bundled movie schema",
    )
    check.add_argument(
        "--output-format",
        "--format",
        dest="output_format",
        choices=FORMATS,
        default=None,
        help="text: findings with the pointer block of syntax errors, and a summary (default); "
        "concise: one line per finding; json: one document with each file's diagnostics; "
        "json-lines: one JSON object per query; sarif: SARIF 2.1.0; github: GitHub Actions "
        "annotations",
    )
    check.add_argument(
        "--select",
        action="append",
        metavar="CODES",
        help="report only these codes (comma-separated; syntax errors are always reported)",
    )
    check.add_argument(
        "--ignore", action="append", metavar="CODES", help="do not report these codes (comma-separated)"
    )
    check.add_argument(
        "--exit-zero", action="store_true", help="exit with status 0 even when queries have errors"
    )
    check.add_argument(
        "--statistics",
        action="store_true",
        help="print how often each code was reported instead of the findings",
    )
    check.add_argument(
        "--stdin-filename",
        metavar="PATH",
        help="the name of standard input in messages and for finding the configuration",
    )
    check.add_argument(
        "--extract",
        action="store_true",
        help="the files hold answers of a language model: check the Cypher in their code "
        "fences (or the whole text when it reads as a query)",
    )
    check.add_argument(
        "--input-format",
        choices=INPUT_FORMATS,
        default="cypher",
        help="cypher: files of Cypher statements separated by ';' (default); jsonl: JSON Lines, "
        "one JSON object per line whose query field holds a query (a query log); findings are "
        "placed at the object's line, their column counted in the query string, and a line "
        "that holds no query is reported as bad-input-line",
    )
    check.add_argument(
        "--query-field",
        metavar="NAME",
        help=f"with --input-format jsonl, the field that holds the query (default: {DEFAULT_QUERY_FIELD})",
    )
    check.add_argument(
        "-j",
        "--jobs",
        type=jobs_value,
        metavar="N",
        help="validate with N threads (default: one per usable core); 1 validates on the main thread",
    )
    check.add_argument(
        "-q",
        "--quiet",
        action="store_true",
        help="no progress bar and no notes on standard error (errors are still reported)",
    )
    check.add_argument(
        "--config",
        metavar="FILE",
        help="read the settings from this quorvane.toml or pyproject.toml instead of searching",
    )
    check.add_argument(
        "--isolated", action="store_true", help="ignore configuration files"
    )
    fixing = check.add_mutually_exclusive_group()
    fixing.add_argument(
        "--fix",
        action="store_true",
        help="rewrite the files with every safe fix applied (misspelt names with one close "
        "candidate, relationships drawn backwards), then report what remains; standard input "
        "is written fixed to standard output",
    )
    fixing.add_argument(
        "--diff",
        action="store_true",
        help="print the changes --fix would make as a unified diff, without writing; exit "
        "status 1 when there are any",
    )
    add_language_option(check, default=None)
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

    rules_command = commands.add_parser(
        "rules",
        help="list the diagnostic codes",
        description="List every diagnostic code with its usual severity, what it finds and an "
        "example query it reports.",
    )
    rules_command.add_argument(
        "--format", choices=["text", "json"], default="text", help="output format (default: text)"
    )
    rules_command.set_defaults(run=run_rules)

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
