"""Completion and hover: what the text around a position asks for, and what
the schema has to offer there.

Everything works on string indices into a document's text; nothing here
knows about editors or the protocol. ``context_at`` reads the statement up to
a position (brackets, strings and comments are tracked, so a ``:`` inside a
property map or a string is no label) and ``completions`` and ``hover_text``
answer from a ``SchemaView``.
"""

from __future__ import annotations

import re
from collections.abc import Iterable
from dataclasses import dataclass, field
from typing import Final, Literal

from _quorvane import Schema

from quorvane.statements import split_statements

__all__ = [
    "FUNCTIONS",
    "KEYWORDS",
    "Candidate",
    "Context",
    "SchemaView",
    "completions",
    "context_at",
    "hover_text",
    "variable_owners",
    "word_at",
]

KEYWORDS: Final = (
    "MATCH", "OPTIONAL MATCH", "WHERE", "RETURN", "WITH", "UNWIND", "ORDER BY", "SKIP", "LIMIT",
    "CREATE", "MERGE", "ON CREATE SET", "ON MATCH SET", "SET", "REMOVE", "DELETE", "DETACH DELETE",
    "CALL", "YIELD", "UNION", "UNION ALL", "DISTINCT", "AS", "AND", "OR", "XOR", "NOT", "IN",
    "IS NULL", "IS NOT NULL", "STARTS WITH", "ENDS WITH", "CONTAINS", "CASE", "WHEN", "THEN",
    "ELSE", "END", "EXISTS", "ASC", "DESC", "true", "false", "null",
)  # fmt: skip

FUNCTIONS: Final = (
    "abs", "acos", "asin", "atan", "atan2", "avg", "ceil", "coalesce", "collect", "cos", "cot",
    "count", "date", "datetime", "degrees", "duration", "e", "elementId", "endNode", "exp",
    "floor", "head", "id", "keys", "labels", "last", "left", "length", "localdatetime",
    "localtime", "log", "log10", "ltrim", "max", "min", "nodes", "percentileCont",
    "percentileDisc", "pi", "point", "properties", "radians", "rand", "range", "reduce",
    "relationships", "replace", "reverse", "right", "round", "rtrim", "sign", "sin", "size",
    "split", "sqrt", "startNode", "stDev", "stDevP", "substring", "sum", "tail", "tan", "time",
    "timestamp", "toBoolean", "toFloat", "toInteger", "toLower", "toString", "toUpper", "trim",
    "type",
)  # fmt: skip

Kind = Literal["label", "type", "property", "map-key", "keyword", "none"]
Owner = Literal["node", "relationship"]

_IDENTIFIER: Final = re.compile(r"[A-Za-z_][A-Za-z0-9_]*\Z")
_WORD_BEFORE: Final = re.compile(r"\w*\Z")
_WORD_AFTER: Final = re.compile(r"\w*")
_VARIABLE_BEFORE_DOT: Final = re.compile(r"([A-Za-z_]\w*|`[^`]*`)\s*\Z")
_NAME: Final = re.compile(r"`([^`]*)`|(\w+)")
_BACKTICKED: Final = re.compile(r"`[^`\n]*`")


def _name(text: str) -> str:
    return text[1:-1] if text.startswith("`") and text.endswith("`") else text


def _quoted(name: str) -> str:
    """A name as it is written in a query: in backticks unless an identifier."""
    return name if _IDENTIFIER.match(name) else "`" + name.replace("`", "``") + "`"


class SchemaView:
    """The parts of a schema that completion and hover read."""

    def __init__(self, schema: Schema | None) -> None:
        self.nodes: dict[str, list[str]] = {}
        self.relationships: dict[str, tuple[list[tuple[str, str]] | None, list[str]]] = {}
        if schema is None:
            return
        data = schema.to_dict()
        self.nodes = {label: list(keys) for label, keys in data["nodes"].items()}
        for rel_type, value in data["relationships"].items():
            if isinstance(value, dict):
                pairs = value["endpoints"]
                self.relationships[rel_type] = (
                    None if pairs is None else [(s, t) for s, t in pairs],
                    list(value["properties"]),
                )
            else:
                source, target, keys = value
                self.relationships[rel_type] = ([(source, target)], list(keys))

    def properties(self, owner: Owner, names: Iterable[str]) -> list[str]:
        """The property keys of the given labels (or types), in declaration
        order, each once."""
        keys: dict[str, None] = {}
        for name in names:
            if owner == "node":
                keys.update(dict.fromkeys(self.nodes.get(name, ())))
            else:
                keys.update(dict.fromkeys(self.relationships.get(name, (None, []))[1]))
        return list(keys)

    def all_properties(self, owner: Owner) -> list[str]:
        return self.properties(owner, self.nodes if owner == "node" else self.relationships)


@dataclass(frozen=True)
class Context:
    """What is being written at a position."""

    kind: Kind
    prefix: str = ""
    """The part of the name before the position."""
    start: int = 0
    """Where that name starts in the document (string index)."""
    owner: Owner = "node"
    """For properties and map keys: of nodes or of relationships."""
    owners: tuple[str, ...] = field(default=())
    """For properties and map keys: the labels or types of the variable or
    pattern; empty when none is known."""


# --------------------------------------------------------- scanning


def _scan(text: str) -> list[int] | None:
    """The indices of the brackets still open at the end of ``text``, or None
    when the end lies inside a string, a backticked name or a comment."""
    stack: list[int] = []
    i, size = 0, len(text)
    closing = {")": "(", "]": "[", "}": "{"}
    while i < size:
        c = text[i]
        if c in "'\"":
            i += 1
            while i < size and text[i] != c:
                i += 2 if text[i] == "\\" else 1
            if i >= size:
                return None
        elif c == "`":
            i = text.find("`", i + 1)
            if i < 0:
                return None
        elif text.startswith("//", i):
            i = text.find("\n", i)
            if i < 0:
                return None
        elif text.startswith("/*", i):
            i = text.find("*/", i + 2)
            if i < 0:
                return None
            i += 1
        elif c in "([{":
            stack.append(i)
        elif c in ")]}":
            if stack and text[stack[-1]] == closing[c]:
                stack.pop()
        i += 1
    return stack


def _statement_bounds(document: str, index: int) -> tuple[int, int]:
    """The start and end of the statement that ``index`` lies in or after."""
    start, end = 0, len(document)
    for statement in split_statements(document):
        if statement.offset > index:
            end = statement.offset
            break
        start = statement.offset
        stop = statement.offset + len(statement.text)
        if stop < index and ";" in document[stop:index]:
            start = index
    return start, min(end, len(document))


_ELEMENT_NODE: Final = r"\(\s*{var}\s*((?::\s*(?:\w+|`[^`]*`)\s*|[|&]\s*(?:\w+|`[^`]*`)\s*)+)"
_ELEMENT_REL: Final = r"\[\s*{var}\s*((?::\s*(?:\w+|`[^`]*`)\s*|[|]\s*:?\s*(?:\w+|`[^`]*`)\s*)+)"
_LABEL_TEST: Final = r"(?<![\w.`]){var}\s*((?::\s*(?:\w+|`[^`]*`)\s*)+)"


def _names(expression: str) -> list[str]:
    return [m.group(1) if m.group(1) is not None else m.group(2) for m in _NAME.finditer(expression)]


def variable_owners(statement: str, variable: str) -> tuple[Owner, tuple[str, ...]]:
    """Whether ``variable`` is a node or a relationship in ``statement``, and
    the labels (or types) it is given there: in patterns ``(var:Label)`` and
    ``[var:TYPE]``, and in label tests ``var:Label``."""
    var = re.escape(variable) if _IDENTIFIER.match(variable) else re.escape(_quoted(variable))
    names: dict[str, None] = {}
    for m in re.finditer(_ELEMENT_REL.format(var=var), statement):
        names.update(dict.fromkeys(_names(m.group(1))))
    if names or re.search(r"\[\s*" + var + r"\s*[\]{*]", statement):
        return "relationship", tuple(names)
    for pattern in (_ELEMENT_NODE, _LABEL_TEST):
        for m in re.finditer(pattern.format(var=var), statement):
            names.update(dict.fromkeys(_names(m.group(1))))
    return "node", tuple(names)


def _element_owners(head: str, opening: str, statement: str) -> tuple[Owner, tuple[str, ...]] | None:
    """The owner of a property map from the pattern element text before its
    ``{``, such as ``(p:Person `` or ``[r:ACTED_IN ``; None when ``head`` is
    no pattern element."""
    m = re.fullmatch(r"\s*(\w+|`[^`]*`)?\s*((?::?\s*(?:\w+|`[^`]*`)\s*|[|&!:]\s*)*)", head)
    if m is None or opening not in "([":
        return None
    owner: Owner = "node" if opening == "(" else "relationship"
    labels = tuple(_names(m.group(2)))
    if not labels and m.group(1):
        found_owner, labels = variable_owners(statement, _name(m.group(1)))
        if labels:
            owner = found_owner
    return owner, labels


def context_at(document: str, index: int) -> Context:
    """What is being written at string index ``index`` of ``document``."""
    start, end = _statement_bounds(document, index)
    statement = document[start:end]
    before = document[start:index]
    prefix = _WORD_BEFORE.search(before)
    word = prefix.group(0) if prefix else ""
    if word[:1].isdigit():
        return Context("none", word, index - len(word))
    head = before[: len(before) - len(word)]
    word_start = index - len(word)
    stack = _scan(head)
    if stack is None:
        return Context("none", word, word_start)
    stripped = head.rstrip()
    last = stripped[-1:] if stripped else ""
    opening = head[stack[-1]] if stack else ""

    if last == ".":
        variable = _VARIABLE_BEFORE_DOT.search(stripped[:-1])
        if variable is not None:
            if variable.group(1)[0].isdigit():
                return Context("none", word, word_start)
            owner, owners = variable_owners(statement, _name(variable.group(1)))
            return Context("property", word, word_start, owner, owners)
        if opening == "{" and stripped[:-1].rstrip()[-1:] in ("{", ","):
            # A map projection: variable {.key, .other}
            projected = _VARIABLE_BEFORE_DOT.search(head[: stack[-1]])
            if projected is not None:
                owner, owners = variable_owners(statement, _name(projected.group(1)))
                return Context("property", word, word_start, owner, owners)
        return Context("none", word, word_start)

    if last in (":", "|", "&", "!") and opening != "{":
        region = head[stack[-1] + 1 :] if stack else head
        if last != ":" and ":" not in region:
            return Context("keyword", word, word_start)
        if opening == "[" and re.search(r"-\s*\Z", head[: stack[-1]]) is not None:
            return Context("type", word, word_start)
        if opening == "[" and ":" in region and re.match(r"\s*(\w+|`[^`]*`)?\s*:", region):
            return Context("type", word, word_start)
        return Context("label", word, word_start)

    if opening == "{" and last in ("{", ","):
        outer = stack[-2] if len(stack) > 1 else None
        if outer is not None:
            found = _element_owners(head[outer + 1 : stack[-1]], head[outer], statement)
            if found is not None:
                return Context("map-key", word, word_start, found[0], found[1])
        return Context("none", word, word_start)

    return Context("keyword", word, word_start)


# -------------------------------------------------------- candidates


@dataclass(frozen=True)
class Candidate:
    """One completion: the text shown and inserted, its kind and a detail."""

    label: str
    kind: Literal["label", "type", "property", "keyword", "function"]
    detail: str
    insert: str


def _pattern(source: str, rel_type: str, target: str) -> str:
    return f"(:{_quoted(source)})-[:{_quoted(rel_type)}]->(:{_quoted(target)})"


def completions(context: Context, schema: SchemaView) -> list[Candidate]:
    """The candidates for ``context``, starting with its prefix (ignoring
    case); the schema's names in declaration order."""
    prefix = context.prefix.lower()
    found: list[Candidate] = []
    if context.kind == "label":
        for label, keys in schema.nodes.items():
            found.append(Candidate(label, "label", "node label" + (": " + ", ".join(keys) if keys else ""), _quoted(label)))
    elif context.kind == "type":
        for rel_type, (pairs, _) in schema.relationships.items():
            joins = ", ".join(_pattern(s, rel_type, t) for s, t in pairs) if pairs else "any labels"
            found.append(Candidate(rel_type, "type", "relationship type: " + joins, _quoted(rel_type)))
    elif context.kind in ("property", "map-key"):
        owners = [o for o in context.owners if o in (schema.nodes if context.owner == "node" else schema.relationships)]
        keys = schema.properties(context.owner, owners) if owners else schema.all_properties(context.owner)
        sign = ":" if context.owner == "node" else ""
        where = ", ".join(f"{sign}{o}" if sign else f"[:{o}]" for o in owners) if owners else "the schema"
        for key in keys:
            found.append(Candidate(key, "property", f"property of {where}", _quoted(key)))
    elif context.kind == "keyword":
        found += [Candidate(k, "keyword", "keyword", k) for k in KEYWORDS]
        found += [Candidate(f, "function", "function", f) for f in FUNCTIONS]
    return [c for c in found if c.label.lower().startswith(prefix)]


# -------------------------------------------------------------- hover


def word_at(document: str, index: int) -> tuple[int, int] | None:
    """The span of the name at (or just before) ``index``: a word, or a name
    in backticks; None when there is none."""
    line_start = document.rfind("\n", 0, index) + 1
    line_end = document.find("\n", index)
    line_end = len(document) if line_end < 0 else line_end
    for quoted in _BACKTICKED.finditer(document, line_start, line_end):
        if quoted.start() < index < quoted.end():
            return quoted.start(), quoted.end()
    before = _WORD_BEFORE.search(document, line_start, index)
    after = _WORD_AFTER.match(document, index, line_end)
    start = index - len(before.group(0)) if before else index
    end = index + len(after.group(0)) if after else index
    return (start, end) if start < end else None


def _code_list(names: Iterable[str]) -> str:
    return ", ".join(f"`{n}`" for n in names) or "none declared"


def _label_hover(name: str, schema: SchemaView) -> str:
    if name not in schema.nodes:
        return f"`:{_quoted(name)}` is not a node label of the schema."
    lines = [f"**:{_quoted(name)}** — node label", "", f"Properties: {_code_list(schema.nodes[name])}"]
    joins = [
        _pattern(s, t, e)
        for t, (pairs, _) in schema.relationships.items()
        for s, e in pairs or ()
        if name in (s, e)
    ]
    if joins:
        lines += ["", "Relationships:"] + [f"- `{j}`" for j in joins]
    return "\n".join(lines)


def _type_hover(name: str, schema: SchemaView) -> str:
    if name not in schema.relationships:
        return f"`:{_quoted(name)}` is not a relationship type of the schema."
    pairs, keys = schema.relationships[name]
    lines = [f"**[:{_quoted(name)}]** — relationship type", ""]
    if pairs is None:
        lines.append("Joins any labels (its ends are not declared).")
    else:
        lines += ["Joins:"] + [f"- `{_pattern(s, name, t)}`" for s, t in pairs]
    lines += ["", f"Properties: {_code_list(keys)}"]
    return "\n".join(lines)


def _property_hover(key: str, context: Context, schema: SchemaView) -> str:
    on_nodes = [f"`:{_quoted(label)}`" for label, keys in schema.nodes.items() if key in keys]
    on_rels = [f"`[:{_quoted(t)}]`" for t, (_, keys) in schema.relationships.items() if key in keys]
    lines = [f"**.{_quoted(key)}** — property key", ""]
    known = [o for o in context.owners if o in (schema.nodes if context.owner == "node" else schema.relationships)]
    if known and key not in schema.properties(context.owner, known):
        what = ", ".join(f"`:{_quoted(o)}`" if context.owner == "node" else f"`[:{_quoted(o)}]`" for o in known)
        lines += [f"Not declared on {what}.", ""]
    if on_nodes or on_rels:
        lines.append("Declared on: " + ", ".join(on_nodes + on_rels))
    else:
        lines.append("Not declared on any label or relationship type of the schema.")
    return "\n".join(lines)


def hover_text(document: str, index: int, schema: SchemaView) -> tuple[str, tuple[int, int]] | None:
    """Markdown about the label, relationship type or property key at
    ``index`` and the span it covers, or None when there is none there."""
    span = word_at(document, index)
    if span is None:
        return None
    start, end = span
    if document[start] == "`":
        # Read the context up to the opening backtick; the name is inside.
        context = context_at(document, start)
        name = document[start + 1 : end - 1]
    else:
        context = context_at(document, end)
        name = document[start:end]
    if context.kind == "label":
        text = _label_hover(name, schema)
    elif context.kind == "type":
        text = _type_hover(name, schema)
    elif context.kind in ("property", "map-key"):
        text = _property_hover(name, context, schema)
    else:
        return None
    return text, span
