"""quorvane: check Cypher queries against a property-graph schema.

The classes come from the ``_quorvane`` extension module and are re-exported
here unchanged::

    import quorvane

    schema = quorvane.load_schema("movies.schema.json")
    result = quorvane.CypherValidator(schema).validate("MATCH (m:Movie) RETURN m.title")
    print(result.is_valid, result.errors)

Beside them this package adds schema files (``load_schema``,
``schema_from_json``), schemas in the structured form of LLM graph toolkits
(``schema_from_structured``), splitting of query files into statements
(``split_statements``), queries out of a language model's answer
(``extract_queries``, and ``extract_cypher`` for the one query of an answer) and the ``quorvane`` command-line tool
(``python -m quorvane``).
"""

from pathlib import Path
from typing import Final

from _quorvane import (
    CypherGenerator,
    CypherValidator,
    Diagnostic,
    Edit,
    FixResult,
    QueryInfo,
    Schema,
    ValidationResult,
    parse_query,
)

from quorvane.rules import Rule, rules
from quorvane.schema_file import (
    RelationshipMapping,
    SchemaDict,
    SchemaFileError,
    load_schema,
    schema_from_json,
    schema_from_structured,
)
from quorvane.extract import extract_cypher, extract_queries
from quorvane.statements import Statement, split_statements

__version__: Final = "0.1.0"

EXAMPLES_DIR: Final = Path(__file__).resolve().parent / "examples"
"""The bundled movie-graph example."""
EXAMPLE_SCHEMA: Final = EXAMPLES_DIR / "movies.schema.json"
"""The example schema file: people, movies, genres and how they relate."""
EXAMPLE_QUERIES: Final = EXAMPLES_DIR / "movies.cypher"
"""Example queries for the example schema, some of them with mistakes."""

__all__ = [
    "Schema",
    "CypherValidator",
    "ValidationResult",
    "Diagnostic",
    "Edit",
    "FixResult",
    "CypherGenerator",
    "QueryInfo",
    "parse_query",
    "Rule",
    "rules",
    "SchemaDict",
    "RelationshipMapping",
    "SchemaFileError",
    "load_schema",
    "schema_from_json",
    "schema_from_structured",
    "Statement",
    "split_statements",
    "extract_queries",
    "extract_cypher",
    "EXAMPLES_DIR",
    "EXAMPLE_SCHEMA",
    "EXAMPLE_QUERIES",
    "__version__",
]
