"""Reading a query file statement by statement, without holding it whole.

``iter_statements(chunks)`` splits a text that arrives in pieces exactly as
``split_statements`` splits the whole text: the same statements with the same
line, column and offset. Only the statement being read and one piece of
input are held at a time (a statement longer than a piece is held whole).

``read_chunks(stream)`` decodes a binary stream as UTF-8 (a leading byte
order mark is dropped) piece by piece; an invalid byte raises
``NotUtf8Error`` with its offset in the whole stream.
"""

from __future__ import annotations

import codecs
from collections.abc import Iterable, Iterator
from typing import Protocol

from quorvane.statements import _STATEMENT, _TRAILING_SPACE, ScriptParameters, Statement, _leading

__all__ = ["CHUNK_SIZE", "NotUtf8Error", "Readable", "iter_statements", "read_chunks"]

CHUNK_SIZE = 1 << 20  # bytes read at a time


class NotUtf8Error(ValueError):
    """Input that is not UTF-8; ``offset`` is the first bad byte's."""

    def __init__(self, offset: int) -> None:
        super().__init__(f"not UTF-8 text (invalid byte at offset {offset})")
        self.offset = offset


class Readable(Protocol):
    """What ``read_chunks`` reads from: a binary stream's ``read``."""

    def read(self, size: int = -1, /) -> bytes: ...


def read_chunks(stream: Readable, size: int | None = None) -> Iterator[str]:
    size = size or CHUNK_SIZE
    decoder = codecs.getincrementaldecoder("utf-8")()
    consumed = 0  # bytes handed to the decoder so far
    first = True
    while True:
        data = stream.read(size)
        final = not data
        if first and data:
            # A byte order mark may itself arrive split; wait for three bytes.
            while len(data) < 3:
                more = stream.read(size)
                if not more:
                    break
                data += more
            if data.startswith(codecs.BOM_UTF8):
                data = data[3:]
                consumed = 3
            first = False
        pending = len(decoder.getstate()[0])
        try:
            text = decoder.decode(data, final)
        except UnicodeDecodeError as e:
            raise NotUtf8Error(consumed - pending + e.start) from None
        consumed += len(data)
        if text:
            yield text
        if final:
            return


def iter_statements(chunks: Iterable[str]) -> Iterator[Statement]:
    """The statements of the concatenated chunks, in order, as
    ``split_statements`` finds them in the whole text."""
    pieces = iter(chunks)
    buffer = ""
    base = 0  # offset of buffer[0] in the whole text
    # Line bookkeeping moves forward only: `line` is the line number at
    # buffer[counted], and `line_start` the whole-text offset where it begins.
    line, counted, line_start = 1, 0, 0
    at_end = False
    parameters = ScriptParameters()

    def more(want: int) -> None:
        nonlocal buffer, at_end
        grown = 0
        for piece in pieces:
            buffer += piece
            grown += len(piece)
            if grown >= want:
                return
        at_end = True

    def count_lines(upto: int) -> None:
        nonlocal line, line_start, counted
        newlines = buffer.count("\n", counted, upto)
        if newlines:
            line += newlines
            line_start = base + buffer.rindex("\n", counted, upto) + 1
        counted = upto

    more(1)
    begin = 0
    while True:
        start, commands = _leading(buffer, begin)
        match = _STATEMENT.match(buffer, start)
        end = match.end() if match else start  # it always matches, if only ""
        if end >= len(buffer) and not at_end:
            # The statement (or a command before it) may go on in the next
            # piece: read at least as much again as it holds so far and match
            # it again, so that a long statement is matched a bounded number
            # of times.
            more(max(1, len(buffer) - begin))
            continue
        for word, argument in commands:
            parameters.apply(word, argument)
        body = buffer[start:end].rstrip(_TRAILING_SPACE)
        if body:
            count_lines(start)
            yield Statement(body, line, base + start - line_start + 1, base + start, parameters.names)
        if end >= len(buffer):
            return
        begin = end + 1  # past the semicolon
        if begin >= CHUNK_SIZE:
            # Drop the text already split, keeping the line count.
            count_lines(begin)
            buffer = buffer[begin:]
            base += begin
            begin = counted = 0

