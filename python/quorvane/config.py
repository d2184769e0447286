"""The command line's configuration file, found as ruff and mypy find theirs.

From a starting folder upward, the first folder that holds a
``quorvane.toml`` (settings at its top level) or a ``pyproject.toml`` with a
``[tool.quorvane]`` table gives the settings; a ``pyproject.toml`` without
that table is passed over. ``quorvane.toml`` wins when a folder has both.

Settings::

    schema = "graph/movies.schema.json"   # relative to the configuration file
    language = "extended"                 # or "subset"
    select = ["unknown-label"]            # report only these codes
    ignore = ["unknown-function"]         # never report these codes
    include = ["*.cypher", "*.cql"]       # files checked when none are named
    exclude = ["generated/", "tests/fixtures/**"]

Patterns: one without a ``/`` matches a file or folder name at any depth; one
with a ``/`` matches the path from the configuration's folder; ``*`` and
``?`` stay within one name, ``**`` spans folders, and a trailing ``/`` matches
folders only.
"""

from __future__ import annotations

import os
import re
import tomllib
from collections.abc import Iterator, Sequence
from dataclasses import dataclass, field
from typing import Any

__all__ = [
    "CONFIG_NAMES",
    "Config",
    "ConfigError",
    "DEFAULT_INCLUDE",
    "discover_files",
    "find_config",
    "load_config",
    "matches",
]

CONFIG_NAMES = ("quorvane.toml", "pyproject.toml")
DEFAULT_INCLUDE = ("*.cypher", "*.cql")
LANGUAGES = ("subset", "extended")
KEYS = ("schema", "language", "select", "ignore", "include", "exclude")


class ConfigError(ValueError):
    """A configuration file that cannot be read or has a bad setting."""

    def __init__(self, path: str, detail: str, key: str | None = None) -> None:
        self.path = path
        self.key = key
        self.detail = detail
        super().__init__(f"{path}: {key}: {detail}" if key else f"{path}: {detail}")


@dataclass(frozen=True)
class Config:
    """Settings from a configuration file (None and empty where unset)."""

    path: str | None = None
    """The file, or None when there is none."""
    root: str = "."
    """The folder of the file (the working directory when there is none):
    relative paths in it, and the include and exclude patterns, start here."""
    schema: str | None = None
    """The schema file, as an absolute path or relative to ``root``."""
    language: str | None = None
    select: tuple[str, ...] | None = None
    ignore: tuple[str, ...] = ()
    include: tuple[str, ...] = DEFAULT_INCLUDE
    exclude: tuple[str, ...] = field(default=())


def _table(path: str) -> dict[str, Any] | None:
    """The settings table of one file, or None when it has none."""
    try:
        with open(path, "rb") as f:
            document = tomllib.load(f)
    except tomllib.TOMLDecodeError as e:
        raise ConfigError(path, f"not valid TOML: {e}") from None
    except OSError as e:
        raise ConfigError(path, f"cannot read: {e.strerror or e}") from None
    if os.path.basename(path) != "pyproject.toml":
        return document
    tool = document.get("tool")
    if not isinstance(tool, dict) or "quorvane" not in tool:
        return None
    table = tool["quorvane"]
    if not isinstance(table, dict):
        raise ConfigError(path, "[tool.quorvane] must be a table")
    return table


def find_config(start: str) -> tuple[str, dict[str, Any]] | None:
    """The nearest configuration file at or above the folder ``start``, with
    its settings table."""
    folder = os.path.abspath(start)
    while True:
        for name in CONFIG_NAMES:
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                table = _table(path)
                if table is not None:
                    return path, table
        parent = os.path.dirname(folder)
        if parent == folder:
            return None
        folder = parent


def _strings(path: str, key: str, value: Any) -> tuple[str, ...]:
    if not isinstance(value, list) or not all(isinstance(item, str) for item in value):
        raise ConfigError(path, "expected a list of strings", key)
    return tuple(value)


def parse_table(path: str, table: dict[str, Any], known_codes: Sequence[str] | None = None) -> Config:
    """Checks the settings of the file at ``path`` and makes them a Config.
    Codes in select and ignore must be among ``known_codes`` when given."""
    key_name = (lambda key: f"[tool.quorvane] {key}") if path.endswith("pyproject.toml") else (lambda key: key)
    for key in table:
        if key not in KEYS:
            raise ConfigError(path, f"unknown setting; the settings are: {', '.join(KEYS)}", key_name(key))
    root = os.path.dirname(os.path.abspath(path))
    values: dict[str, Any] = {}
    if "schema" in table:
        schema = table["schema"]
        if not isinstance(schema, str) or not schema:
            raise ConfigError(path, "expected the path of a schema file (a string)", key_name("schema"))
        values["schema"] = os.path.join(root, schema)
    if "language" in table:
        language = table["language"]
        if language not in LANGUAGES:
            raise ConfigError(path, f"expected 'subset' or 'extended', found {language!r}", key_name("language"))
        values["language"] = language
    for key in ("select", "ignore"):
        if key in table:
            codes = _strings(path, key_name(key), table[key])
            if known_codes is not None:
                for code in codes:
                    if code not in known_codes:
                        raise ConfigError(
                            path, f"unknown code {code!r}; the codes are: {', '.join(known_codes)}", key_name(key)
                        )
            values[key] = codes
    for key in ("include", "exclude"):
        if key in table:
            values[key] = _strings(path, key_name(key), table[key])
    return Config(path=path, root=root, **values)


def load_config(start: str, known_codes: Sequence[str] | None = None) -> Config:
    """The configuration that applies in the folder ``start``; an empty one
    rooted there when no file is found."""
    found = find_config(start)
    if found is None:
        return Config(root=os.path.abspath(start))
    return parse_table(*found, known_codes=known_codes)


def load_config_file(path: str, known_codes: Sequence[str] | None = None) -> Config:
    """The settings of one named file (a ``pyproject.toml`` must have a
    ``[tool.quorvane]`` table)."""
    table = _table(path)
    if table is None:
        raise ConfigError(path, "has no [tool.quorvane] table")
    return parse_table(path, table, known_codes)


# ------------------------------------------------------------- patterns


def _translate(pattern: str) -> str:
    out = []
    i = 0
    while i < len(pattern):
        c = pattern[i]
        if pattern.startswith("**/", i):
            out.append("(?:.*/)?")
            i += 3
            continue
        if pattern.startswith("**", i):
            out.append(".*")
            i += 2
            continue
        if c == "*":
            out.append("[^/]*")
        elif c == "?":
            out.append("[^/]")
        elif c == "[":
            close = pattern.find("]", i + 2)
            if close == -1:
                out.append(re.escape(c))
            else:
                body = pattern[i + 1 : close]
                if body.startswith("!"):
                    body = "^" + body[1:]
                out.append("[" + body.replace("\\", "\\\\") + "]")
                i = close + 1
                continue
        else:
            out.append(re.escape(c))
        i += 1
    return "".join(out)


def matches(pattern: str, relative: str, is_dir: bool) -> bool:
    """Whether the pattern matches a path relative to the configuration's
    folder (with ``/`` between names)."""
    if pattern.endswith("/"):
        if not is_dir:
            return False
        pattern = pattern.rstrip("/")
    pattern = pattern.removeprefix("./")
    if "/" not in pattern:
        return re.fullmatch(_translate(pattern), relative.rsplit("/", 1)[-1]) is not None
    return re.fullmatch(_translate(pattern.lstrip("/")), relative) is not None


def discover_files(config: Config, start: str | None = None) -> Iterator[str]:
    """The files below ``start`` (default: the configuration's folder) that an
    include pattern matches and no exclude pattern does, in sorted order;
    hidden folders and files (names starting with '.') are skipped, as are
    excluded folders with all they hold."""
    top = os.path.abspath(start if start is not None else config.root)
    for folder, dirs, files in os.walk(top):
        relative_folder = os.path.relpath(folder, config.root).replace(os.sep, "/")
        prefix = "" if relative_folder == "." else relative_folder + "/"
        dirs[:] = sorted(
            d
            for d in dirs
            if not d.startswith(".") and not any(matches(p, prefix + d, True) for p in config.exclude)
        )
        for name in sorted(files):
            relative = prefix + name
            if name.startswith("."):
                continue
            if not any(matches(p, relative, False) for p in config.include):
                continue
            if any(matches(p, relative, False) for p in config.exclude):
                continue
            yield os.path.join(folder, name)
