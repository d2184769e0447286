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
line that starts one. ``:auto`` before a statement (as query consoles write
it) is dropped from the statement.
"""

from __future__ import annotations

import re
from typing import NamedTuple

__all__ = ["Statement", "split_statements"]


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

# Whitespace, comments and shell commands before the first token of a
# statement. A command counts only at the start of a line; `:auto` only drops
# itself, the statement follows it.
_LEADING = re.compile(
    r"(?:(?<![^\n])[ \t]*:auto\b|(?<![^\n])[ \t]*:(?:"
    + _SHELL_WORDS
    + r")\b[^\n]*|[ \t\r]*\n|[ \t\r]+|//[^\n]*|/\*.*?(?:\*/|\Z))*",
    re.DOTALL,
)

_TRAILING_SPACE = " \t\r\n"


def split_statements(text: str) -> list[Statement]:
    """Split ``text`` into its statements, in order.

    Line and column count line feeds only (a carriage return before a line
    feed belongs to the line end), and columns count characters, as the
    positions in syntax errors do.
    """
    statements: list[Statement] = []
    size = len(text)
    # Line bookkeeping moves forward only: `line` is the line number at
    # `counted`, and `line_start` the offset where that line begins.
    line, counted, line_start = 1, 0, 0
    begin = 0
    while begin <= size:
        statement = _STATEMENT.match(text, begin)
        end = statement.end() if statement else begin  # it always matches, if only ""
        leading = _LEADING.match(text, begin, end)
        start = leading.end() if leading else begin  # likewise
        body = text[start:end].rstrip(_TRAILING_SPACE)
        if body:
            newlines = text.count("\n", counted, start)
            if newlines:
                line += newlines
                line_start = text.rindex("\n", counted, start) + 1
            counted = start
            statements.append(Statement(body, line, start - line_start + 1, start))
        begin = end + 1  # past the semicolon
    return statements
