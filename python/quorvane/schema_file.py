"""Schemas stored as JSON files.

A schema file holds the dictionary form of a schema, with each relationship
written as a JSON array ``[source_label, target_label, [property_keys]]``::

    {
      "nodes": {"Person": ["name", "born"], "Movie": ["title"]},
      "relationships": {"ACTED_IN": ["Person", "Movie", ["roles"]]}
    }

Keys other than "nodes" and "relationships" are ignored, so a file may carry
a description or a "$schema" link.
"""

from __future__ import annotations

import json
import os
from typing import Any, TypedDict

from _quorvane import Schema

__all__ = ["SchemaDict", "SchemaFileError", "load_schema", "schema_from_json"]


class SchemaDict(TypedDict):
    """The dictionary form of a schema, as ``Schema.to_dict()`` returns it."""

    nodes: dict[str, list[str]]
    relationships: dict[str, tuple[str, str, list[str]]]


class SchemaFileError(ValueError):
    """A schema file that is not valid JSON or not a schema.

    ``source`` names the file, ``entry`` the offending part of it (such as
    ``nodes["Person"]``, or None when the problem concerns the whole file),
    ``detail`` says what is wrong. ``str()`` gives all three on one line.
    """

    def __init__(self, source: str, detail: str, entry: str | None = None) -> None:
        self.source = source
        self.entry = entry
        self.detail = detail
        where = f"{source}: {entry}" if entry else source
        super().__init__(f"{where}: {detail}")


class _Object(dict[str, Any]):
    """A JSON object that remembers the keys it saw more than once."""

    duplicates: list[str]


def _object_pairs(pairs: list[tuple[str, Any]]) -> _Object:
    obj = _Object()
    obj.duplicates = []
    for key, value in pairs:
        if key in obj and key not in obj.duplicates:
            obj.duplicates.append(key)
        obj[key] = value
    return obj


def _describe(value: Any) -> str:
    """How a JSON value reads in a message: its kind and a short excerpt."""
    if isinstance(value, dict):
        return "an object"
    if isinstance(value, list):
        return "an array" if value else "an empty array"
    if isinstance(value, str):
        text = json.dumps(value, ensure_ascii=False)
        return "the string " + (text if len(text) <= 40 else text[:37] + '..."')
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "true" if value else "false"
    return f"the number {value}"


def _key(name: str) -> str:
    return json.dumps(name, ensure_ascii=False)


def _property_keys(source: str, entry: str, value: Any) -> list[str]:
    if not isinstance(value, list):
        raise SchemaFileError(
            source, f"expected an array of property keys, found {_describe(value)}", entry
        )
    for i, item in enumerate(value):
        if not isinstance(item, str):
            raise SchemaFileError(
                source, f"expected a property key (a string), found {_describe(item)}", f"{entry}[{i}]"
            )
    return value


def _section(source: str, document: _Object, name: str, what: str) -> _Object:
    if name not in document:
        raise SchemaFileError(source, f'missing "{name}": {what}')
    if name in document.duplicates:
        raise SchemaFileError(source, f'"{name}" appears twice')
    section = document[name]
    if not isinstance(section, _Object):
        raise SchemaFileError(source, f"expected an object ({what}), found {_describe(section)}", name)
    if section.duplicates:
        raise SchemaFileError(source, f"{_key(section.duplicates[0])} is declared twice", name)
    return section


def schema_from_json(text: str, source: str = "<string>") -> Schema:
    """Build a Schema from the JSON text of a schema file.

    ``source`` names the text in error messages. Raises SchemaFileError when
    the text is not JSON or does not have the shape of a schema.
    """
    try:
        document = json.loads(text, object_pairs_hook=_object_pairs)
    except json.JSONDecodeError as e:
        raise SchemaFileError(f"{source}:{e.lineno}:{e.colno}", f"not valid JSON: {e.msg}") from None
    if not isinstance(document, _Object):
        raise SchemaFileError(
            source,
            'expected an object with "nodes" and "relationships", found ' + _describe(document),
        )
    nodes_section = _section(source, document, "nodes", "node labels and their property keys")
    rels_section = _section(
        source,
        document,
        "relationships",
        "relationship types with [source, target, [property keys]]",
    )

    nodes: dict[str, list[str]] = {}
    for label, value in nodes_section.items():
        nodes[label] = _property_keys(source, f"nodes[{_key(label)}]", value)

    relationships: dict[str, tuple[str, str, list[str]]] = {}
    for rel_type, value in rels_section.items():
        entry = f"relationships[{_key(rel_type)}]"
        shape = "expected [source label, target label, [property keys]]"
        if not isinstance(value, list) or len(value) != 3:
            raise SchemaFileError(source, f"{shape}, found {_describe(value)}", entry)
        src, tgt, keys = value
        for i, end in ((0, src), (1, tgt)):
            if not isinstance(end, str):
                raise SchemaFileError(
                    source, f"expected a label (a string), found {_describe(end)}", f"{entry}[{i}]"
                )
        relationships[rel_type] = (src, tgt, _property_keys(source, f"{entry}[2]", keys))

    return Schema(nodes, relationships)


def load_schema(path: str | os.PathLike[str]) -> Schema:
    """Read a schema file (JSON, UTF-8) and return the Schema it describes.

    Raises OSError when the file cannot be read and SchemaFileError when its
    content is not a schema; both messages name the file.
    """
    name = os.fspath(path)
    with open(name, "rb") as f:
        data = f.read()
    try:
        text = data.decode("utf-8-sig")
    except UnicodeDecodeError as e:
        raise SchemaFileError(name, f"not UTF-8 text (invalid byte at offset {e.start})") from None
    return schema_from_json(text, name)
