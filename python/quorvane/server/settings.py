"""The server's settings: the schema file and the language.

They come, each later source overriding the earlier ones key by key, from

1. the workspace's configuration file: ``quorvane.toml`` (keys at the top
   level) or else the ``[tool.quorvane]`` table of ``pyproject.toml``, where a
   relative ``schema`` path counts from the file's directory;
2. the editor: ``initializationOptions`` and later
   ``workspace/didChangeConfiguration``, with the same keys (``schema``,
   ``language``), either at the top level or under ``"quorvane"``; a relative
   ``schema`` path counts from the workspace root.

``load_config_file`` is the only place that reads configuration files, so a
shared loader can take its place.
"""

from __future__ import annotations

import os
import tomllib
from collections.abc import Mapping
from dataclasses import dataclass, replace
from pathlib import Path
from typing import Any, Final, Literal, cast

__all__ = [
    "CONFIG_FILES",
    "DEFAULT_LANGUAGE",
    "LANGUAGES",
    "Language",
    "Settings",
    "SettingsError",
    "apply_options",
    "find_config_file",
    "load_config_file",
]

Language = Literal["subset", "extended"]
LANGUAGES: Final = ("extended", "subset")
DEFAULT_LANGUAGE: Final[Language] = "extended"

# Looked for in this order in the workspace root; the first found is used.
CONFIG_FILES: Final = ("quorvane.toml", "pyproject.toml")


class SettingsError(ValueError):
    """A configuration file or editor option that cannot be used."""


@dataclass(frozen=True)
class Settings:
    """What the server works with."""

    schema: Path | None = None
    """The schema file, an absolute path, or None to check without a schema."""
    language: Language = DEFAULT_LANGUAGE
    """The Cypher the documents are read as."""
    config_file: Path | None = None
    """The configuration file the settings were read from, if any."""


def _language(value: Any, where: str) -> Language:
    if value not in LANGUAGES:
        raise SettingsError(f"{where}: language must be 'extended' or 'subset', not {value!r}")
    return cast(Language, value)


def _apply(settings: Settings, table: Mapping[str, Any], base: Path, where: str) -> Settings:
    if "schema" in table:
        schema = table["schema"]
        if schema is None or schema == "":
            settings = replace(settings, schema=None)
        elif isinstance(schema, str):
            path = Path(os.path.expanduser(schema))
            settings = replace(settings, schema=path if path.is_absolute() else base / path)
        else:
            raise SettingsError(f"{where}: schema must be a path (a string), not {schema!r}")
    if "language" in table:
        settings = replace(settings, language=_language(table["language"], where))
    return settings


def find_config_file(root: Path) -> Path | None:
    """The configuration file of the workspace at ``root``: quorvane.toml, or
    pyproject.toml when it has a ``[tool.quorvane]`` table."""
    for name in CONFIG_FILES:
        path = root / name
        if not path.is_file():
            continue
        if name == "pyproject.toml":
            try:
                with open(path, "rb") as f:
                    if b"[tool.quorvane]" not in f.read():
                        continue
            except OSError:
                continue
        return path
    return None


def load_config_file(path: Path) -> Settings:
    """The settings of one configuration file (quorvane.toml, or the
    ``[tool.quorvane]`` table of pyproject.toml). Raises SettingsError naming
    the file when it cannot be read or holds bad values."""
    try:
        with open(path, "rb") as f:
            document = tomllib.load(f)
    except OSError as e:
        raise SettingsError(f"{path}: cannot read: {e.strerror or e}") from None
    except tomllib.TOMLDecodeError as e:
        raise SettingsError(f"{path}: not valid TOML: {e}") from None
    table: Any = document
    if path.name == "pyproject.toml":
        table = document.get("tool", {}).get("quorvane", {})
    where = f"{path} [tool.quorvane]" if path.name == "pyproject.toml" else str(path)
    if not isinstance(table, dict):
        raise SettingsError(f"{where}: expected a table")
    return _apply(Settings(config_file=path), table, path.parent, where)


def apply_options(settings: Settings, options: Any, root: Path | None) -> Settings:
    """``settings`` with the editor's options on top: a mapping with ``schema``
    and ``language``, at its top level or under ``"quorvane"``. Anything that
    is not a mapping counts as no options."""
    if not isinstance(options, Mapping):
        return settings
    section = options.get("quorvane")
    table = section if isinstance(section, Mapping) else options
    return _apply(settings, table, root or Path.cwd(), "editor settings")
