"""Schemas stored as JSON files, and schemas in the structured form that LLM
graph toolkits produce.

A schema file holds the dictionary form of a schema, with each relationship
written as a JSON array ``[source_label, target_label, [property_keys]]``, or,
for a type that joins several label pairs, as an object with the pairs and
the property keys::

    {
      "nodes": {"Person": ["name", "born"], "Movie": ["title"], "Actor": []},
      "relationships": {
        "DIRECTED": ["Person", "Movie", []],
        "ACTED_IN": {"endpoints": [["Actor", "Movie"], ["Person", "Movie"]],
                     "properties": ["roles"]}
      }
    }

(``"endpoints": null`` declares a type whose ends are not known.) Wherever a
list of property keys stands, an object may give each key its type instead
(``null`` for a key without one); a node label then takes the object form
``{"properties": {...}}``::

    "nodes": {"Order": {"properties": {"freight": "FLOAT", "orderDate": "DATE"}}}

Keys other than "nodes" and "relationships" are ignored, so a file may carry
a description or a "$schema" link.

A schema file may instead hold a structured schema, the dictionary that graph
toolkits for LLMs (LangChain's graph classes and similar) build from a live
database; it is recognised by its "node_props" or "rel_props" key, or by a
"relationships" array::

    {
      "node_props": {"Person": [{"property": "name", "type": "STRING"}]},
      "rel_props": {"ACTED_IN": [{"property": "roles", "type": "LIST"}]},
      "relationships": [{"start": "Person", "type": "ACTED_IN", "end": "Movie"}],
      "metadata": {"constraint": [], "index": []}
    }

``schema_from_structured`` builds a Schema from such a dictionary.
"""

from __future__ import annotations

import json
import os
from collections.abc import Mapping
from typing import Any, TypedDict

from _quorvane import Schema

__all__ = [
    "RelationshipMapping",
    "SchemaDict",
    "SchemaFileError",
    "TypedNode",
    "load_schema",
    "schema_from_json",
    "schema_from_structured",
]


class RelationshipMapping(TypedDict):
    """A relationship type that joins several label pairs (or none, when
    ``endpoints`` is None), as ``Schema.to_dict()`` writes it."""

    endpoints: list[tuple[str, str]] | None
    properties: list[str] | dict[str, str | None]


class TypedNode(TypedDict):
    """A node label whose keys have declared types (None for a key without
    one), as ``Schema.to_dict()`` writes it."""

    properties: dict[str, str | None]


class SchemaDict(TypedDict):
    """The dictionary form of a schema, as ``Schema.to_dict()`` returns it."""

    nodes: dict[str, list[str] | TypedNode]
    relationships: dict[str, tuple[str, str, list[str] | dict[str, str | None]] | RelationshipMapping]


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
    if isinstance(value, Mapping):
        return "an object"
    if isinstance(value, (list, tuple)):
        return "an array" if value else "an empty array"
    if isinstance(value, str):
        text = json.dumps(value, ensure_ascii=False)
        return "the string " + (text if len(text) <= 40 else text[:37] + '..."')
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, (int, float)):
        return f"the number {value}"
    return f"a {type(value).__name__}"


def _key(name: str) -> str:
    return json.dumps(name, ensure_ascii=False)


def _property_keys(source: str, entry: str, value: Any) -> list[str] | dict[str, str | None]:
    """A list of keys, or an object of each key to its type or null."""
    if isinstance(value, _Object):
        if value.duplicates:
            raise SchemaFileError(source, f"{_key(value.duplicates[0])} appears twice", entry)
        for key, declared in value.items():
            if declared is not None and not isinstance(declared, str):
                raise SchemaFileError(
                    source, f"expected a type (a string) or null, found {_describe(declared)}", f"{entry}[{_key(key)}]"
                )
        return dict(value)
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


_RELATIONSHIP_SHAPE = "expected [source label, target label, [property keys]]"
_MAPPING_SHAPE = 'expected "endpoints": [[source label, target label], ...] or null'


def _label(source: str, entry: str, value: Any) -> str:
    if not isinstance(value, str):
        raise SchemaFileError(source, f"expected a label (a string), found {_describe(value)}", entry)
    return value


def _relationship_mapping(source: str, entry: str, value: _Object) -> dict[str, Any]:
    """The object form of a relationship type: its pairs and property keys."""
    if value.duplicates:
        raise SchemaFileError(source, f"{_key(value.duplicates[0])} appears twice", entry)
    for key in value:
        if key not in ("endpoints", "properties"):
            raise SchemaFileError(
                source, f'unknown key {_key(key)}: expected "endpoints" and "properties"', entry
            )
    if "endpoints" not in value:
        raise SchemaFileError(source, 'missing "endpoints": [[source label, target label], ...] or null', entry)
    endpoints = value["endpoints"]
    pairs: list[tuple[str, str]] | None = None
    if endpoints is not None:
        if not isinstance(endpoints, list) or not endpoints:
            raise SchemaFileError(
                source, f"{_MAPPING_SHAPE}, found {_describe(endpoints)}", f"{entry}.endpoints"
            )
        pairs = []
        for i, pair in enumerate(endpoints):
            where = f"{entry}.endpoints[{i}]"
            if not isinstance(pair, list) or len(pair) != 2:
                raise SchemaFileError(
                    source, f"expected [source label, target label], found {_describe(pair)}", where
                )
            pairs.append((_label(source, f"{where}[0]", pair[0]), _label(source, f"{where}[1]", pair[1])))
    keys = _property_keys(source, f"{entry}.properties", value.get("properties", []))
    return {"endpoints": pairs, "properties": keys}


def _dictionary_form(source: str, document: _Object) -> Schema:
    nodes_section = _section(source, document, "nodes", "node labels and their property keys")
    rels_section = _section(
        source,
        document,
        "relationships",
        "relationship types with [source, target, [property keys]]",
    )

    nodes: dict[str, Any] = {}
    for label, value in nodes_section.items():
        entry = f"nodes[{_key(label)}]"
        if isinstance(value, _Object):
            if "properties" not in value:
                raise SchemaFileError(source, "expected an array of property keys, found an object", entry)
            if list(value) != ["properties"]:
                raise SchemaFileError(source, 'expected only "properties" beside the label', entry)
            nodes[label] = {"properties": _property_keys(source, f"{entry}.properties", value["properties"])}
            continue
        nodes[label] = _property_keys(source, entry, value)

    relationships: dict[str, Any] = {}
    for rel_type, value in rels_section.items():
        entry = f"relationships[{_key(rel_type)}]"
        if isinstance(value, _Object):
            relationships[rel_type] = _relationship_mapping(source, entry, value)
            continue
        if not isinstance(value, list) or len(value) != 3:
            raise SchemaFileError(source, f"{_RELATIONSHIP_SHAPE}, found {_describe(value)}", entry)
        src, tgt, keys = value
        relationships[rel_type] = (
            _label(source, f"{entry}[0]", src),
            _label(source, f"{entry}[1]", tgt),
            _property_keys(source, f"{entry}[2]", keys),
        )

    return Schema(nodes, relationships)


# ------------------------------------------------------ structured schemas


def _is_structured(document: Mapping[str, Any]) -> bool:
    """A structured schema: "node_props" or "rel_props", or a "relationships"
    array, and no "nodes"."""
    if "nodes" in document:
        return False
    return (
        "node_props" in document
        or "rel_props" in document
        or isinstance(document.get("relationships"), (list, tuple))
    )


def _structured_part(source: str, data: Mapping[str, Any], name: str, kind: type) -> Any:
    if name not in data:
        return kind()
    if isinstance(data, _Object) and name in data.duplicates:
        raise SchemaFileError(source, f'"{name}" appears twice')
    part = data[name]
    expected = (Mapping,) if kind is dict else (list, tuple)
    if not isinstance(part, expected):
        what = "an object" if kind is dict else "an array"
        raise SchemaFileError(source, f"expected {what}, found {_describe(part)}", name)
    return part


def _structured_properties(source: str, entry: str, value: Any) -> dict[str, str | None]:
    """A list of {"property": key, "type": ...} objects: each key, once, with
    its type (None when the entry gives no type as a string)."""
    if not isinstance(value, (list, tuple)):
        raise SchemaFileError(
            source, f'expected an array of {{"property": key}} objects, found {_describe(value)}', entry
        )
    keys: dict[str, str | None] = {}
    for i, item in enumerate(value):
        where = f"{entry}[{i}]"
        if not isinstance(item, Mapping) or "property" not in item:
            raise SchemaFileError(
                source, f'expected an object with a "property" key, found {_describe(item)}', where
            )
        key = item["property"]
        if not isinstance(key, str):
            raise SchemaFileError(
                source, f"expected a property key (a string), found {_describe(key)}", f"{where}.property"
            )
        if key not in keys:
            declared = item.get("type")
            keys[key] = declared if isinstance(declared, str) else None
    return keys


def _name_keys(source: str, entry: str, section: Mapping[Any, Any]) -> None:
    for name in section:
        if not isinstance(name, str):
            raise SchemaFileError(source, f"expected names (strings) as keys, found {_describe(name)}", entry)
    if isinstance(section, _Object) and section.duplicates:
        raise SchemaFileError(source, f"{_key(section.duplicates[0])} is declared twice", entry)


def schema_from_structured(data: Mapping[str, Any], source: str = "<structured schema>") -> Schema:
    """Build a Schema from a structured schema dictionary.

    The dictionary is the one LLM graph toolkits (LangChain's graph classes
    and similar) build from a database: ``node_props`` maps each label to a
    list of ``{"property": key, "type": ..., ...}`` objects, ``rel_props`` does
    the same for relationship types, and ``relationships`` lists
    ``{"start": label, "type": TYPE, "end": label}`` objects. Other keys (such
    as ``metadata``) and the extra fields of each entry are ignored. Property
    types are kept (``Schema.property_type``): the extended language warns
    where a query compares a typed property with a value of another type.

    Labels that appear only as relationship ends become labels without
    properties. Every ``(start, end)`` of a type becomes one of its endpoint
    pairs, in order. A type that appears only in ``rel_props`` has its
    properties and no pairs, so the ends of its relationships are not
    checked. A missing part counts as empty.

    Raises SchemaFileError (a ValueError) naming ``source`` and the offending
    entry, such as ``relationships[2].start``, for anything of another shape.
    """
    if not isinstance(data, Mapping):
        raise SchemaFileError(
            source,
            'expected a structured schema (an object with "node_props", "rel_props" and '
            f'"relationships"), found {_describe(data)}',
        )
    node_props = _structured_part(source, data, "node_props", dict)
    rel_props = _structured_part(source, data, "rel_props", dict)
    rels = _structured_part(source, data, "relationships", list)
    _name_keys(source, "node_props", node_props)
    _name_keys(source, "rel_props", rel_props)

    nodes: dict[str, Any] = {}
    for label, value in node_props.items():
        nodes[label] = {"properties": _structured_properties(source, f"node_props[{_key(label)}]", value)}

    pairs: dict[str, list[tuple[str, str]]] = {}
    for i, rel in enumerate(rels):
        entry = f"relationships[{i}]"
        if not isinstance(rel, Mapping):
            raise SchemaFileError(
                source,
                f'expected an object with "start", "type" and "end", found {_describe(rel)}',
                entry,
            )
        fields = []
        for field in ("start", "type", "end"):
            if field not in rel:
                raise SchemaFileError(source, f'missing "{field}"', entry)
            value = rel[field]
            if not isinstance(value, str):
                what = "a relationship type" if field == "type" else "a label"
                raise SchemaFileError(
                    source, f"expected {what} (a string), found {_describe(value)}", f"{entry}.{field}"
                )
            fields.append(value)
        start, rel_type, end = fields
        for label in (start, end):
            nodes.setdefault(label, [])
        type_pairs = pairs.setdefault(rel_type, [])
        if (start, end) not in type_pairs:
            type_pairs.append((start, end))

    relationships: dict[str, dict[str, Any]] = {}
    for rel_type, type_pairs in pairs.items():
        relationships[rel_type] = {"endpoints": type_pairs, "properties": []}
    for rel_type, value in rel_props.items():
        keys = _structured_properties(source, f"rel_props[{_key(rel_type)}]", value)
        relationships.setdefault(rel_type, {"endpoints": None})["properties"] = keys
    return Schema(nodes, relationships)


# ------------------------------------------------------------ JSON text


def schema_from_json(text: str, source: str = "<string>") -> Schema:
    """Build a Schema from the JSON text of a schema file.

    The text holds the dictionary form of a schema, or a structured schema
    (see ``schema_from_structured``), told apart by their keys. ``source``
    names the text in error messages. Raises SchemaFileError when the text is
    not JSON or does not have the shape of either.
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
    if _is_structured(document):
        return schema_from_structured(document, source)
    if not any(key in document for key in ("nodes", "relationships")):
        raise SchemaFileError(
            source,
            'missing "nodes" and "relationships" (a schema), or "node_props", "rel_props" and '
            '"relationships" (a structured schema)',
        )
    return _dictionary_form(source, document)


def load_schema(path: str | os.PathLike[str]) -> Schema:
    """Read a schema file (JSON, UTF-8) and return the Schema it describes.

    The file holds the dictionary form of a schema or a structured schema.

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
