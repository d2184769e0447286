"""Positions in a text: string indices to LSP positions and back.

LSP positions are a zero-based line and a character offset counted in code
units of the negotiated encoding: UTF-16 unless client and server agree on
UTF-8 (or UTF-32, which counts code points like a Python string). Lines end
at a line feed; a carriage return before it belongs to the line's text here,
as it does in ``split_statements``.
"""

from __future__ import annotations

import bisect
from typing import Final, Literal

__all__ = ["UTF8", "UTF16", "UTF32", "Encoding", "LineIndex", "code_units"]

Encoding = Literal["utf-8", "utf-16", "utf-32"]

UTF8: Final = "utf-8"
UTF16: Final = "utf-16"
UTF32: Final = "utf-32"


def code_units(text: str, encoding: Encoding) -> int:
    """The length of ``text`` in code units of ``encoding``."""
    if encoding == UTF32 or text.isascii():
        return len(text)
    if encoding == UTF16:
        return len(text) + sum(1 for c in text if ord(c) > 0xFFFF)
    return len(text.encode("utf-8", "surrogatepass"))


def _char_units(c: str, encoding: Encoding) -> int:
    o = ord(c)
    if encoding == UTF16:
        return 2 if o > 0xFFFF else 1
    if encoding == UTF8:
        return 1 if o < 0x80 else 2 if o < 0x800 else 3 if o < 0x10000 else 4
    return 1


class LineIndex:
    """Where the lines of one text start, for converting positions."""

    __slots__ = ("ascii", "starts", "text")

    def __init__(self, text: str) -> None:
        self.text = text
        self.ascii = text.isascii()
        starts = [0]
        find = text.find
        i = find("\n")
        while i >= 0:
            starts.append(i + 1)
            i = find("\n", i + 1)
        self.starts = starts

    def line_of(self, index: int) -> int:
        """The zero-based line that holds the string index ``index``."""
        return bisect.bisect_right(self.starts, index) - 1

    def position(self, index: int, encoding: Encoding) -> tuple[int, int]:
        """The (line, character) of string index ``index`` (clamped to the text)."""
        index = max(0, min(index, len(self.text)))
        line = self.line_of(index)
        start = self.starts[line]
        return line, code_units(self.text[start:index], encoding)

    def index(self, line: int, character: int, encoding: Encoding) -> int:
        """The string index of an LSP position. A line past the end gives the
        end of the text; a character past the end of its line (or inside a
        character that takes several code units) gives the end of the line
        (or the start of that character)."""
        if line < 0:
            return 0
        if line >= len(self.starts):
            return len(self.text)
        start = self.starts[line]
        end = self.starts[line + 1] - 1 if line + 1 < len(self.starts) else len(self.text)
        if encoding == UTF32 or self.ascii:
            return start + max(0, min(character, end - start))
        units = 0
        i = start
        while i < end:
            units += _char_units(self.text[i], encoding)
            if units > character:
                break
            i += 1
        return i
