"""Splitting a text that holds several Cypher statements.

Statements are separated by a semicolon at the end of a statement. A
semicolon inside a string ('...' or "...", where a backslash protects the
next character), inside a name written in backticks, or inside a comment
(``// ...`` to the end of the line, ``/* ... */``) does not split. A string,
backticked name or block comment that is never closed runs to the end of the
text.

Each statement starts at its first character that is neither whitespace nor
part of a comment; pieces that hold nothing else (an empty text, a trailing
semicolon, comments between statements) are not statements.

Scripts for the shell clients also hold commands that are not Cypher, each
on a line of its own: ``:param name => value``, ``:param {...}``,
``:params``, ``:begin``, ``:commit``, ``:rollback``, ``:use db``,
``:source file``, ``:exit`` (and a few more). They end at the end of their
line, need no semicolon, and are not statements; a statement ends before a
line that starts one. ``:param`` and ``:params`` go on over further lines
while a bracket, string or backticked name they open is still open (a map
written over several lines). ``:auto`` before a statement (as query consoles
write it) is dropped from the statement.

The parameters such commands set are the script's: each statement carries
the names set before it (``Statement.parameters``), or None while no command
has set any.
"""

from __future__ import annotations

import re
from typing import NamedTuple

__all__ = ["Statement", "ScriptParameters", "split_statements"]


class Statement(NamedTuple):
    """One statement of a text, with where it starts in that text."""

    text: str
    """The statement without its closing semicolon and trailing whitespace."""
    line: int
    """The line of its first character, counted from 1."""
    column: int
    """The column of its first character, counted from 1 in characters."""
    offset: int
    """The index of its first character in the text."""
    parameters: frozenset[str] | None = None
    """The names the script's ``:param`` commands set before the statement;
    None when no such command stands before it."""


# The commands of the shell clients, each on a line of its own.
_SHELL_WORDS = "param|params|begin|commit|rollback|use|source|exit|auto|history|clear|sysinfo|connect|disconnect"

# One statement up to its closing semicolon or the end of the text: plain
# text, and everything that can hide a semicolon. Strings, backticked names
# and block comments run to the end of the text when left open; a line
# comment ends before its line feed.
_STATEMENT = re.compile(
    r"""
    (?:
        [^;'"`/\n]+
      | \n(?![ \t]*:(?:"""
    + _SHELL_WORDS
    + r""")\b)
      | '(?:[^'\\]|\\.?)*(?:'|\Z)
      | "(?:[^"\\]|\\.?)*(?:"|\Z)
      | `[^`]*(?:`|\Z)
      | //[^\n]*
      | /\*.*?(?:\*/|\Z)
      | /
    )*
    """,
    re.DOTALL | re.VERBOSE,
)

# Whitespace and comments.
_GAP = re.compile(r"(?:[ \t\r\n]+|//[^\n]*|/\*.*?(?:\*/|\Z))*", re.DOTALL)

# A shell command at the start of a line (spaces before it allowed).
_COMMAND = re.compile(r"[ \t]*:(" + _SHELL_WORDS + r")\b")

# What a command setting parameters may open and leave open past its line.
_OPEN_TEXT = re.compile(r"""'(?:[^'\\]|\\.?)*(?:'|\Z)|"(?:[^"\\]|\\.?)*(?:"|\Z)|`[^`]*(?:`|\Z)""", re.DOTALL)


def _command_end(text: str, pos: int) -> int:
    """The end of a ``:param`` command whose word ends at ``pos``: the end of
    its line, or of a later line when a bracket, string or backticked name is
    open at the line end."""
    depth = 0
    size = len(text)
    while pos < size:
        c = text[pos]
        if c == "\n" and depth <= 0:
            return pos
        if c in "{[(":
            depth += 1
        elif c in "}])":
            depth -= 1
        elif c in "'\"`":
            pos = _OPEN_TEXT.match(text, pos).end()  # type: ignore[union-attr]
            continue
        elif c == "/" and text.startswith("//", pos):
            newline = text.find("\n", pos)
            pos = size if newline < 0 else newline
            continue
        pos += 1
    return size


def _leading(text: str, pos: int) -> tuple[int, list[tuple[str, str]]]:
    """Past the whitespace, comments and shell commands at ``pos``: where the
    next statement starts, and the commands passed as (word, argument)."""
    commands: list[tuple[str, str]] = []
    while True:
        pos = _GAP.match(text, pos).end()  # type: ignore[union-attr]
        # A command counts only at the start of a line.
        line_start = text.rfind("\n", 0, pos) + 1
        if text[line_start:pos].strip(" \t"):
            return pos, commands
        command = _COMMAND.match(text, line_start)
        if command is None:
            return pos, commands
        word = command.group(1)
        if word == "auto":  # the statement follows on the same line
            pos = command.end()
            continue
        end = _command_end(text, command.end()) if word in ("param", "params") else text.find("\n", command.end())
        if end < 0:
            end = len(text)
        commands.append((word, text[command.end() : end]))
        pos = end


# Tokens of a map of parameters: blanks and comments, quoted and backticked
# names, words, and any other single character.
_MAP_TOKEN = re.compile(
    r"""\s+|//[^\n]*|/\*.*?(?:\*/|\Z)|`(?:[^`]|``)*`?|'(?:[^'\\]|\\.)*'?|"(?:[^"\\]|\\.)*"?|\w+|.""",
    re.DOTALL,
)

# One parameter's name before `=>` or `:`.
_ONE_NAME = re.compile(r"\s*(?:`((?:[^`]|``)*)`|([^\s:=`;]+))")


def _unquoted(token: str) -> str:
    if token[:1] == "`":
        return token[1:-1].replace("``", "`")
    if token[:1] in "'\"":
        return re.sub(r"\\(.)", r"\1", token[1:-1])
    return token


def _map_keys(text: str) -> list[str]:
    """The keys of the map that ``text`` starts with (at its top level)."""
    tokens = [t for t in _MAP_TOKEN.findall(text) if not (t.isspace() or t.startswith(("//", "/*")))]
    keys: list[str] = []
    depth = 0
    for i, token in enumerate(tokens):
        if token in ("{", "[", "("):
            depth += 1
        elif token in ("}", "]", ")"):
            depth -= 1
            if depth == 0:
                break
        elif (
            depth == 1
            and i > 0
            and tokens[i - 1] in ("{", ",")
            and i + 1 < len(tokens)
            and tokens[i + 1] == ":"
        ):
            keys.append(_unquoted(token))
    return keys


class ScriptParameters:
    """The parameters a script's shell commands have set so far."""

    def __init__(self) -> None:
        self._names: set[str] | None = None
        self._frozen: frozenset[str] | None = None

    @property
    def names(self) -> frozenset[str] | None:
        """The names set so far; None while no command has set any."""
        return self._frozen

    def apply(self, word: str, argument: str) -> None:
        """Takes one ``:param``/``:params`` command (others change nothing)."""
        if word not in ("param", "params"):
            return
        argument = argument.strip().rstrip(";").strip()
        if argument in ("", "list"):  # listing them sets nothing
            return
        if argument == "clear":
            self._names = set()
        elif argument.startswith("{"):
            # Added to those set before: one client's `:params {...}` replaces
            # them all, but taking the union never warns of a name still set.
            if self._names is None:
                self._names = set()
            self._names.update(_map_keys(argument))
        else:
            match = _ONE_NAME.match(argument)
            if match is None:
                return
            name = match.group(1).replace("``", "`") if match.group(1) is not None else match.group(2)
            if self._names is None:
                self._names = set()
            self._names.add(name)
        self._frozen = frozenset(self._names)


_TRAILING_SPACE = " \t\r\n"


def split_statements(text: str) -> list[Statement]:
    """Split ``text`` into its statements, in order.

    Line and column count line feeds only (a carriage return before a line
    feed belongs to the line end), and columns count characters, as the
    positions in syntax errors do.
    """
    statements: list[Statement] = []
    parameters = ScriptParameters()
    size = len(text)
    # Line bookkeeping moves forward only: `line` is the line number at
    # `counted`, and `line_start` the offset where that line begins.
    line, counted, line_start = 1, 0, 0
    begin = 0
    while begin <= size:
        start, commands = _leading(text, begin)
        for word, argument in commands:
            parameters.apply(word, argument)
        statement = _STATEMENT.match(text, start)
        end = statement.end() if statement else start  # it always matches, if only ""
        body = text[start:end].rstrip(_TRAILING_SPACE)
        if body:
            newlines = text.count("\n", counted, start)
            if newlines:
                line += newlines
                line_start = text.rindex("\n", counted, start) + 1
            counted = start
            statements.append(Statement(body, line, start - line_start + 1, start, parameters.names))
        begin = end + 1  # past the semicolon
    return statements
