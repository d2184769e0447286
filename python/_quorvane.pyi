"""Type information for the _quorvane extension module.

The module checks Cypher queries against a property-graph schema. Every class
is final, and none of them changes after construction.
"""

from collections.abc import Iterable, Mapping, Sequence
from typing import Any, Literal, TypedDict, final

Language = Literal["subset", "extended"]

class _RelationshipMapping(TypedDict):
    """A relationship type that joins several label pairs, or none."""

    endpoints: list[tuple[str, str]] | None
    properties: list[str] | dict[str, str | None]

class _TypedNode(TypedDict):
    """A node label whose keys have declared types (None for a key without one)."""

    properties: dict[str, str | None]

class _SchemaDict(TypedDict):
    """The dictionary form of a schema, as returned by ``Schema.to_dict()``."""

    nodes: dict[str, list[str] | _TypedNode]
    relationships: dict[str, tuple[str, str, list[str] | dict[str, str | None]] | _RelationshipMapping]

# A relationship value as the constructor accepts it: the three-element form
# (a tuple, or a list as JSON gives it back), or a mapping with "endpoints" (a non-empty sequence of (source, target)
# pairs, or None) and optionally "properties".
_RelationshipValue = tuple[str, str, Sequence[str] | Mapping[str, str | None]] | list[Any] | Mapping[str, Any]
# A node label's value: its property keys, or {"properties": {key: type or None}}.
_NodeValue = Sequence[str] | Mapping[str, Mapping[str, str | None]]

@final
class Schema:
    """A property-graph schema: node labels with their property keys, and
    relationship types with the (source, target) label pairs they join and
    property keys.

    ``nodes`` must be a dict from label to a list (or tuple) of property keys;
    ``relationships`` a dict from relationship type to a tuple
    ``(source_label, target_label, property_keys)`` for a type that joins one
    pair, or to a dict ``{"endpoints": [(source, target), ...], "properties":
    [...]}`` for a type that joins several (``"endpoints": None`` declares a
    type whose ends are not known). Wherever a list of property keys stands, a
    dict may give each key its declared type (``{"freight": "FLOAT",
    "note": None}``); a node label then takes the form ``{"properties":
    {...}}``. Types are kept as written and read by ``property_type``; the
    extended language warns where a query uses a typed property as a value of
    another type. Malformed input raises TypeError. Schemas pickle.
    """

    def __new__(
        cls,
        nodes: Mapping[str, _NodeValue],
        relationships: Mapping[str, _RelationshipValue],
    ) -> Schema: ...
    @staticmethod
    def from_dict(d: Mapping[str, Any]) -> Schema:
        """Create a Schema from a dict with the keys "nodes" and "relationships".

        A missing key raises KeyError; values of the wrong shape raise TypeError.
        """
    def node_labels(self) -> list[str]: ...
    def rel_types(self) -> list[str]: ...
    def has_node_label(self, label: str) -> bool: ...
    def has_rel_type(self, rel_type: str) -> bool: ...
    def node_properties(self, label: str) -> list[str]:
        """Return the list of properties declared for a node label."""
    def rel_properties(self, rel_type: str) -> list[str]:
        """Return the list of properties declared for a relationship type."""
    def rel_endpoints(self, rel_type: str) -> tuple[str, str] | None:
        """Return `(src_label, tgt_label)` for a relationship type, or None if unknown.

        For a type that joins several pairs this is the first one; for a type
        declared without ends it is None."""
    def property_type(self, label_or_type: str, key: str) -> str | None:
        """Return the type the schema declares for a property of a node label
        (or else of a relationship type of that name), as written; None when
        the key has no declared type."""
    def to_dict(self) -> _SchemaDict:
        """Export the schema as a plain Python dict compatible with the Schema constructor."""
    def rel_endpoint_pairs(self, rel_type: str) -> list[tuple[str, str]]:
        """Return every `(src_label, tgt_label)` pair declared for a relationship type, in
        order; an empty list if unknown."""

@final
class CypherValidator:
    """Validates Cypher queries against a copy of a schema.

    ``language`` selects the Cypher that queries are read as: ``"subset"``
    (the default) or ``"extended"`` (subqueries, pattern predicates and
    comprehensions, label expressions, map projections, quantified paths and
    more). Validators pickle with their schema and language, so they can be
    shipped to worker processes."""

    def __new__(cls, schema: Schema, *, language: Language = "subset") -> CypherValidator: ...
    @property
    def language(self) -> Language:
        """The language queries are read as: ``"subset"`` or ``"extended"``."""
    def validate(self, query: str, *, parameters: Iterable[str] | None = None) -> ValidationResult:
        """Validate one query. Never raises for a query text: problems are
        reported in the result.

        ``parameters`` names the parameters that will be set (any iterable of
        str; a dict gives its keys). Each other ``$name`` the query reads is
        then an ``unknown-parameter`` warning, with the closest name proposed.
        """
    def fix(self, query: str) -> FixResult:
        """Apply every safe fix (misspelt names, relationships drawn backwards) and return a FixResult."""
    def validate_batch(
        self, queries: Sequence[str], *, parameters: Iterable[str] | None = None
    ) -> list[ValidationResult]:
        """Validate multiple queries at once and return one ``ValidationResult``
        per query, in input order.

        The queries are validated in parallel on a pool of worker threads, and
        the Python GIL is released for the duration of the batch, so other
        Python threads can run concurrently. A single ``str`` is refused with
        TypeError. ``parameters`` applies to every query, as in ``validate``.
        """

@final
class ValidationResult:
    """The outcome of validating one query. Truthy exactly when the query is
    valid; ``len()`` is the number of errors. Results pickle."""

    @property
    def is_valid(self) -> bool: ...
    @property
    def errors(self) -> list[str]:
        """All errors (syntax + semantic) combined."""
    @property
    def syntax_errors(self) -> list[str]:
        """Parse/syntax errors only."""
    @property
    def semantic_errors(self) -> list[str]:
        """Schema-level semantic errors only."""
    @property
    def warnings(self) -> list[str]:
        """Warnings: findings that do not make the query invalid."""
    @property
    def diagnostics(self) -> list[Diagnostic]:
        """Every finding as a Diagnostic: the errors in the order of errors, then the warnings."""
    def to_dict(self) -> dict[str, Any]:
        """The result as a dict of plain values, ready for JSON."""
    def __bool__(self) -> bool: ...
    def __len__(self) -> int: ...

@final
class Edit:
    """One change that fixes a finding: replace query[start:end] with replacement."""

    @property
    def start(self) -> int:
        """Index in the query str where the replaced text starts."""
    @property
    def end(self) -> int:
        """Index in the query str just past the replaced text."""
    @property
    def replacement(self) -> str:
        """The text that replaces query[start:end]."""
    def to_dict(self) -> dict[str, Any]:
        """The edit as a dict: start, end, replacement."""

@final
class Diagnostic:
    """One finding about a query: its code, severity, message, where the offending text is and the edits that fix it."""

    @property
    def code(self) -> str:
        """The rule's stable kebab-case code."""
    @property
    def severity(self) -> Literal["error", "warning"]:
        """'error' or 'warning'."""
    @property
    def message(self) -> str:
        """What is wrong, in one line."""
    @property
    def start(self) -> int:
        """Index in the query str where the offending text starts."""
    @property
    def end(self) -> int:
        """Index in the query str just past the offending text."""
    @property
    def line(self) -> int:
        """Line of start, from 1."""
    @property
    def column(self) -> int:
        """Column of start in characters, from 1."""
    @property
    def end_line(self) -> int:
        """Line of end, from 1."""
    @property
    def end_column(self) -> int:
        """Column of end in characters, from 1."""
    @property
    def suggestion(self) -> str | None:
        """The name a did-you-mean proposes, or None."""
    @property
    def edits(self) -> list[Edit]:
        """The edits that fix the finding; empty when none is safe."""
    def to_dict(self) -> dict[str, Any]:
        """The finding as a dict of plain values, ready for JSON."""

@final
class FixResult:
    """What CypherValidator.fix made of a query."""

    @property
    def query(self) -> str:
        """The query with every safe fix applied (the input if none)."""
    @property
    def applied(self) -> list[Diagnostic]:
        """The findings whose edits were applied."""
    @property
    def result(self) -> ValidationResult:
        """The ValidationResult of the fixed query."""

@final
class CypherGenerator:
    """Generates random example queries that fit a schema.

    With a ``seed`` (an integer from 0 to 2**64 - 1) the sequence of queries is
    reproducible; without one the generator is seeded from the operating system.
    A pickled or copied generator carries its random state and goes on with the
    same sequence as the original.
    """

    def __new__(cls, schema: Schema, seed: int | None = None) -> CypherGenerator: ...
    def generate(self, query_type: str) -> str:
        """Return one random query of the given type. An unknown type raises
        ValueError."""
    @staticmethod
    def supported_types() -> list[str]:
        """The names of the thirteen query types, in a fixed order."""

@final
class QueryInfo:
    """What a query mentions, as found by ``parse_query``. Truthy exactly when
    the query parsed. Records pickle."""

    @property
    def is_valid(self) -> bool:
        """True if the query is syntactically valid."""
    @property
    def labels_used(self) -> list[str]:
        """Node labels referenced in the query."""
    @property
    def rel_types_used(self) -> list[str]:
        """Relationship types referenced in the query."""
    @property
    def properties_used(self) -> list[str]:
        """Property keys accessed in the query (e.g. ``["name", "age"]``)."""
    @property
    def errors(self) -> list[str]:
        """Syntax error messages (empty if valid)."""
    def __bool__(self) -> bool: ...

def parse_query(query: str, *, language: Language = "subset") -> QueryInfo:
    """Parse a Cypher query and return structural information without requiring a schema.

    ``language`` selects the Cypher the query is read as: ``"subset"`` (the
    default) or ``"extended"``, which also lists the names used inside
    subqueries, predicates and every other clause.

    Example::

        info = parse_query("MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name")
        info.is_valid        # True
        info.labels_used     # ["Movie", "Person"]
        info.rel_types_used  # ["ACTED_IN"]
        info.properties_used # ["name"]
    """

def _rule_table() -> list[tuple[str, str, str, str, bool]]:
    """Every diagnostic code as (code, severity, summary, example, needs_schema)."""
